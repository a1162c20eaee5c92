#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "features/table.h"
#include "learn/doc.h"

namespace sentiment {

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

}  // namespace sentiment
