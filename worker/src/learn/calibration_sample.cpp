#include "learn/calibration_sample.h"

#include <algorithm>
#include <cmath>

#include "learn/review_split.h"

namespace sentiment {

namespace {

// The draw below which reviews of each class enter the sample.
std::array<double, 2> class_cuts(const std::vector<double>& draws, const std::vector<std::uint8_t>& labels,
                                 double share) {
    std::array<double, 2> cut{share, share};
    if (share >= 1) return cut;
    for (std::uint8_t c = 0; c < 2; ++c) {
        std::vector<double> own;
        for (std::size_t i = 0; i < draws.size(); ++i)
            if (labels[i] == c) own.push_back(draws[i]);
        const auto want = std::min(own.size(), std::max<std::size_t>(1, std::size_t(share * double(own.size()) / 2)));
        if (want == 0) continue;
        std::nth_element(own.begin(), own.begin() + std::ptrdiff_t(want - 1), own.end());
        cut[c] = std::max(share, std::nextafter(own[want - 1], 2.0));
    }
    return cut;
}

}  // namespace

std::vector<std::uint8_t> assign_folds(const ReviewCache& cache, const std::vector<std::uint8_t>& labels, int k,
                                       std::size_t most, std::uint64_t seed) {
    const std::size_t n = cache.size();
    std::vector<std::uint8_t> fold(n, kNoFold);
    if (k <= 0) return fold;
    std::vector<double> draws(n);
    for (std::size_t i = 0; i < n; ++i)
        draws[i] = review_draw(cache.ids.data() + cache.offsets[i], cache.offsets[i + 1] - cache.offsets[i], seed);
    const std::array<double, 2> cut = class_cuts(draws, labels, std::min(1.0, double(most) / double(n)));
    for (std::size_t i = 0; i < n; ++i) {
        const double c = cut[labels[i]];
        if (draws[i] < c) fold[i] = static_cast<std::uint8_t>(std::min(draws[i] / c * k, k - 1.0));
    }
    return fold;
}

HeldOutSample::HeldOutSample(const std::array<std::size_t, 2>& held, std::size_t most)
    : held_(held), wanted_(held) {
    const std::uint64_t all = std::uint64_t(held[0]) + held[1];
    if (all <= most) return;
    for (int c = 0; c < 2; ++c)
        wanted_[c] = std::size_t(std::min<std::uint64_t>(held[c], std::max<std::uint64_t>(1, held[c] * most / all)));
}

bool HeldOutSample::take(std::uint8_t label) {
    const std::uint64_t k = seen_[label]++, want = wanted_[label], held = held_[label];
    return k < held && (k + 1) * want / held > k * want / held;
}

bool folds_measure(const std::vector<std::uint8_t>& fold, const std::vector<std::uint8_t>& labels, int k) {
    std::vector<std::array<std::size_t, 2>> in_fold(std::size_t(std::max(k, 0)));
    std::array<std::size_t, 2> sample{};
    for (std::size_t i = 0; i < fold.size(); ++i)
        if (fold[i] != kNoFold) ++in_fold[fold[i]][labels[i]], ++sample[labels[i]];
    if (k <= 0 || !measures(SplitCounts{sample, sample})) return false;
    for (const auto& own : in_fold) {
        const SplitCounts split{{sample[0] - own[0], sample[1] - own[1]}, sample};
        if (own[0] + own[1] > 0 && !measures(split)) return false;
    }
    return true;
}

}  // namespace sentiment
