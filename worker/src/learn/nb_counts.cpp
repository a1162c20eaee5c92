#include "learn/nb_counts.h"

#include <cmath>

namespace sentiment {

std::vector<float> nb_ratios(const NbCounts& counts, double a) {
    double used = 0, sp = 0, sn = 0;
    for (const auto& c : counts) {
        if (c[0] || c[1]) ++used;
        sn += c[0];
        sp += c[1];
    }
    const double norm = std::log((sn + a * used) / (sp + a * used));
    std::vector<float> r(counts.size(), 0.0f);
    for (std::size_t j = 0; j < counts.size(); ++j)
        if (counts[j][0] || counts[j][1])
            r[j] = static_cast<float>(std::log((a + counts[j][1]) / (a + counts[j][0])) + norm);
    return r;
}

}  // namespace sentiment
