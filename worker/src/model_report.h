#pragma once
#include <string>

#include "features/model.h"
#include "features/model_info.h"
#include "features/label_scheme.h"
#include "run_inputs.h"
#include "trainer.h"

namespace sentiment {

// Who trained and when, as the command line settles it.
struct TrainingStamp {
    std::string producer = "sentiment";  // and its version
    TrainingTime time = training_time(nullptr);
};

// What a training run records in its model.
struct TrainingFacts {
    const TrainResult& result;
    const LabelTally& labels;
    const InputSummary& input;
    const TrainOptions& options;
    const TrainingStamp& stamp;
    std::string labels_check;
};
ModelInfo training_record(const TrainingFacts& facts);

// What the model file at `path` is, as "the model trained ... from 4,000
// reviews"; empty when there is none. For train to say what it replaces,
// so that two people training in one folder notice each other.
std::string model_to_replace(const std::string& path);

// What `sentiment info` prints: a line for each thing the model records,
// and for a model of format 1 what it cannot know.
std::string describe_model(const Model& model, const std::string& path);

}  // namespace sentiment
