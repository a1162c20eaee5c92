#pragma once
#include <cstdint>
#include <vector>

#include "learn/progress_sink.h"
#include "learn/review_cache.h"
#include "learn/training.h"

namespace sentiment {

// AdaGrad logistic regression (Duchi, Hazan & Singer 2011) over NB-scaled
// features of reviews held in memory (--sgd): a held-out slice
// picks the number of epochs, then all reviews are learnt for that many.
TrainResult train_adagrad_cached(const ReviewCache& cache, const std::vector<std::uint8_t>& labels,
                                 const TrainOptions& options, ProgressSink& progress);

}  // namespace sentiment
