#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

#include "learn/review_cache.h"

namespace sentiment {

// One NBSVM fit over dense feature numbers 0..features-1.
struct SvmFit {
    std::vector<float> r, w;  // NB ratio and SVM weight per feature
    double bias = 0;
    double mean_abs = 0;  // mean |w| over the features seen
    std::vector<double> alpha;  // dual variable per review (0 outside the fit)
};

struct SvmSettings {
    double c = 0.01;          // cost of a margin violation (squared hinge)
    double smoothing = 1.0;   // of the NB counts
    std::uint64_t seed = 1;
    int max_iter = 200;
    // Leave out reviews far on the right side of the margin until the rest
    // converge: much faster on large sets, a slightly different stopping point.
    bool shrinking = false;
};

// Squared-hinge SVM on the NB-scaled features by dual coordinate descent
// (Hsieh et al. 2008), the solver NBSVM uses; the bias is a feature of
// constant value 1. Learns from the reviews i with in_fit[i] (all if
// in_fit is empty). Touches only its own state, so fits can run side by
// side. permille, if given, follows the share of the iteration budget used.
SvmFit fit_nbsvm(const ReviewCache& cache, const std::vector<std::uint8_t>& labels, std::size_t features,
                 const std::vector<bool>& in_fit, const SvmSettings& settings, std::atomic<int>* permille);

// Platt scaling: p = sigmoid(a s + c), so that scores become probabilities
// and c moves the decision threshold, which matters when one class dominates.
struct Platt {
    double a = 1, c = 0;
};
// Fits a and c by Newton's method on margins of reviews the scorer had not learnt.
Platt fit_platt(const std::vector<double>& scores, const std::vector<std::uint8_t>& labels);

// What scoring one review needs for any NB interpolation beta:
//     bias + (1 - beta) mean_abs sum_r + beta sum_wr.
struct ScoreParts {
    double bias = 0, mean_abs = 0;
    double sum_r = 0, sum_wr = 0;  // over the review's features: r, and w r
};

struct Calibration {
    double beta = 0.25;
    Platt platt;
    double accuracy = -1;  // of the calibrated scores
};

// Picks the interpolation whose Platt-scaled scores have the least log loss
// on reviews the scorers had not learnt.
Calibration calibrate(const std::vector<ScoreParts>& parts, const std::vector<std::uint8_t>& labels);

}  // namespace sentiment
