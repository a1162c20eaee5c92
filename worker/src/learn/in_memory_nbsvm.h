#pragma once
#include <cstdint>
#include <vector>

#include "learn/progress_sink.h"
#include "learn/review_cache.h"
#include "learn/training.h"
#include "learn/training_plan.h"

namespace sentiment {

// NBSVM on reviews held in memory. When the plan says so, k-fold
// cross-validation picks the NB interpolation and fits Platt scaling on every
// review's out-of-fold score; the model is then fit on all reviews. The
// cache's ids are renumbered densely in place.
TrainResult train_nbsvm(ReviewCache& cache, const std::vector<std::uint8_t>& labels, const TrainOptions& options,
                        const TrainingPlan& plan, ProgressSink& progress);

}  // namespace sentiment
