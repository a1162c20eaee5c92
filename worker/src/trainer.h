#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "io/line_reader.h"
#include "learn/training.h"

namespace sentiment {

// Trains on the first labels.size() lines of reviews (label 1 = positive).
// Deterministic: the same input, options and seed give the same model.
// progress receives fractions in [0, 1).
TrainResult train_model(TextSource& reviews, const std::vector<std::uint8_t>& labels, const TrainOptions& options,
                        const std::function<void(double)>& progress = {});

}  // namespace sentiment
