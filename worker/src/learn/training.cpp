#include "learn/training.h"

#include "learn/review_split.h"

namespace sentiment {

bool held_out(const std::uint32_t* ids, std::size_t count, std::size_t reviews, const TrainOptions& o) {
    if (o.holdout <= 0 || reviews < kMinReviewsToValidate) return false;
    return review_draw(ids, count, o.seed ^ 0x5DEECE66DULL) < o.holdout;
}

}  // namespace sentiment
