#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "features/model.h"

namespace sentiment {

// A review as the feature ids it holds.
struct Doc {
    const std::uint32_t* ids;
    std::uint32_t size;
    std::uint8_t label;  // 1 = positive
};

// Per feature, the number of negative [0] and positive [1] reviews holding
// it, side by side so counting touches one cache line per feature.
using NbCounts = Table<std::array<std::uint32_t, 2>>;

inline void count_review(NbCounts& counts, const Doc& d) {
    for (std::uint32_t k = 0; k < d.size; ++k) ++counts[d.ids[k]][d.label];
}

// Naive Bayes log-count ratio of each feature,
//     r_j = log((a + p_j) / |a + p|_1) - log((a + q_j) / |a + q|_1),
// over the features seen; 0 for the others.
std::vector<float> nb_ratios(const NbCounts& counts, double smoothing);

// Reviews kept in memory as feature ids, one run per review.
struct ReviewCache {
    std::vector<std::uint32_t> ids;
    std::vector<std::uint64_t> offsets{0};  // review i: ids[offsets[i], offsets[i + 1])
    std::size_t size() const { return offsets.size() - 1; }
    Doc doc(std::size_t i, const std::vector<std::uint8_t>& labels) const {
        return Doc{ids.data() + offsets[i], static_cast<std::uint32_t>(offsets[i + 1] - offsets[i]), labels[i]};
    }
};

}  // namespace sentiment
