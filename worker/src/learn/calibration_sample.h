#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "learn/review_cache.h"

namespace sentiment {

// Marks a review left out of cross-validation.
inline constexpr std::uint8_t kNoFold = 0xFF;

// The fold of each review (0..k-1), or kNoFold for reviews left out of
// cross-validation. On sets over `most` reviews the folds cover a sample
// drawn by content, as sure a guide to the interpolation and scale, and
// the final fit, not the folds, sets the time. Copies of a review fall in
// one fold. The sample is stratified: a class whose draws fall short of
// half its share (a class of few distinct texts, which a content draw
// takes whole or not at all) has its draws taken up to that half.
std::vector<std::uint8_t> assign_folds(const ReviewCache& cache, const std::vector<std::uint8_t>& labels, int k,
                                       std::size_t most, std::uint64_t seed);

// Reviews of each class (index = label) on the side a model learns from
// and on the side it is judged on.
struct SplitCounts {
    std::array<std::size_t, 2> learnt{}, judged{};
};

// Whether such a split measures a model: it learns both classes and is
// judged on both. Draws by content can put all of a class on one side.
inline bool measures(const SplitCounts& c) {
    return c.learnt[0] && c.learnt[1] && c.judged[0] && c.judged[1];
}

// Which held-out reviews a streamed run scores for its calibration: all
// when they are at most `most`, otherwise `most` of them, each class in
// proportion to its share (at least one of each held out), taken evenly
// over the file: the k-th held-out review of a class is taken when
// k * wanted / held steps past a whole number. The same reviews every run.
class HeldOutSample {
public:
    HeldOutSample(const std::array<std::size_t, 2>& held, std::size_t most);
    // For each held-out review in file order, by its label.
    bool take(std::uint8_t label);
    std::size_t size() const { return wanted_[0] + wanted_[1]; }

private:
    std::array<std::size_t, 2> held_, wanted_, seen_{};
};

// Whether cross-validation on these folds measures a model: the sample
// holds both classes and every fold's model learns both.
bool folds_measure(const std::vector<std::uint8_t>& fold, const std::vector<std::uint8_t>& labels, int k);

}  // namespace sentiment
