#pragma once
#include <cstdint>
#include <string>

#include "features/hashed_features.h"
#include "features/model.h"
#include "learn/solver_policy.h"

namespace sentiment {

struct TrainOptions {
    FeatureOptions features;
    std::uint64_t seed = 1;
    double nb_smoothing = 1.0;
    double svm_c = 0.01;          // cost of a margin violation (squared hinge)
    double interpolation = 0.25;  // share of the SVM in the mix with naive Bayes
    // Share of reviews set aside to measure a model learnt block by block
    // from the file; 0 also turns off cross-validation in memory.
    double holdout = 0.1;
    // Bytes training may hold; 0 = a share of this machine's memory. Reviews
    // whose features do not fit are re-read from the file each pass instead.
    std::uint64_t memory_budget = 0;
    // The budget was asked for: rather than exceed it, training refuses up
    // front when it is below what the reviews need (SolverRequest::firm).
    bool firm_budget = false;
    // Where a streamed run whose dual variables do not fit the budget keeps
    // them in a temporary file: beside the model; empty: the current
    // directory.
    std::string scratch_dir;
    // Threads hashing streamed reviews; 0 = one per core. The model does
    // not depend on it.
    unsigned threads = 0;
    // Learn block by block from the file whatever the budget says, to
    // compare the two paths on one set.
    bool stream = false;
};

// Fewer reviews than this are all needed for learning: none is set aside.
constexpr std::size_t kMinReviewsToValidate = 200;

// How the accuracy printed after training was measured; it is always on
// reviews the model judging them had not learnt.
enum class Validation {
    None,            // too few reviews to spare any
    // Too few distinct reviews of a class: copies of a review fall on one
    // side, so no split both learns and judges each class.
    TooFewDistinct,
    HeldOut,         // on a slice set aside from training
    CrossValidated,  // each review by the fold model that left it out
};

struct TrainResult {
    Model model;
    int epochs = 0;                 // passes over the file when streamed; 1 in memory
    SolverPath path = SolverPath::InMemoryNbsvm;
    std::string path_reason;        // why that path and features, if not the obvious
    std::uint64_t budget = 0;       // bytes
    Validation validation = Validation::None;
    double accuracy = -1;           // as measured by validation; -1 for None
    std::size_t validated = 0;      // reviews that figure was measured on
    std::size_t set_aside = 0;      // held out, of which `validated` were judged
    double interpolation = -1;      // NB interpolation chosen by cross-validation
};

// Whether a review with these feature ids, out of `reviews`, is set aside for
// measuring: fixed by the seed and its content; never when there are too
// few reviews to spare.
bool held_out(const std::uint32_t* ids, std::size_t count, std::size_t reviews, const TrainOptions& options);

}  // namespace sentiment
