#pragma once
#include <cstddef>
#include <cstdint>

namespace sentiment {

// A number in [0, 1) fixed by the seed and the review's features, not its
// place: copies of a review always fall on the same side of a split, so a
// model is never judged on a review whose twin it has learnt (a corpus
// repeated 200 times would otherwise score 100 %).
double review_draw(const std::uint32_t* ids, std::size_t count, std::uint64_t seed);

}  // namespace sentiment
