#pragma once
#include <cstdint>
#include <string>

#include "features/hashed_features.h"
#include "learn/solver_policy.h"
#include "learn/training.h"

namespace sentiment {

// What a training run will do, settled once before it starts from the
// options, this machine and a sample of the reviews; the learners take
// their features, memory and threads from here, not from the options.
struct TrainingPlan {
    SolverPath path = SolverPath::InMemoryNbsvm;
    FeatureOptions features;     // as asked, or without letter n-grams
    std::string reason;          // why that path and those features, if not the obvious
    std::uint64_t budget = 0;    // bytes training may hold
    std::uint64_t in_memory_bytes = 0;  // what the in-memory path may hold (SolverChoice)
    unsigned threads = 1;        // hashing streamed reviews, running fits
    unsigned fits_at_once = 1;   // fits whose tables the budget holds side by side
    bool cross_validate = false;

    // For reviews whose features turned out not to fit in memory after
    // all: over the budget, or more than the system would give.
    void stream_instead(const char* why);
};

// Threads when the options leave them to this machine: every core, up to 8,
// as hashing is most of the streamed work.
unsigned default_threads();

// Resolves the memory and threads the options leave to this machine, then
// chooses the path and features on the sample.
TrainingPlan plan_training(const ReviewSample& sample, std::size_t reviews, const TrainOptions& options);

}  // namespace sentiment
