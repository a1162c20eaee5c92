#pragma once
#include <cstdint>
#include <vector>

#include "io/line_reader.h"
#include "learn/progress_sink.h"
#include "learn/training.h"
#include "learn/training_plan.h"

namespace sentiment {

// NBSVM for reviews too many to keep in memory: dual coordinate descent by
// blocks read from the file ("block minimization", Yu, Hsieh, Chang & Lin
// 2010), keeping only a dual variable per review and the weights. A
// held-out slice chooses the NB interpolation and Platt scaling and gives
// the printed figure. Memory stays within plan.budget whatever the length
// of the reviews, above a floor of the weight tables.
TrainResult train_streamed(TextSource& reviews, const std::vector<std::uint8_t>& labels, const TrainOptions& options,
                           const TrainingPlan& plan, ProgressSink& progress);

}  // namespace sentiment
