#pragma once
// NBSVM (Wang & Manning 2012, "Baselines and Bigrams: Simple, Good Sentiment
// and Topic Classification"). With x_i the binary feature vector of review
// i, y_i = +-1 its label, r the naive Bayes log-count ratio and
// z_i = r o x_i the features scaled by it, the weights and bias minimise the
// squared-hinge SVM objective
//     1/2 (|w|^2 + b^2) + C sum_i max(0, 1 - y_i (b + w . z_i))^2,
// the bias being the weight of a feature of constant value 1. The solver is
// dual coordinate descent (Hsieh, Chang, Lin, Keerthi & Sundararajan 2008,
// "A Dual Coordinate Descent Method for Large-scale Linear SVM", the method
// of LIBLINEAR): it minimises the dual
//     1/2 a' (Q + I / 2C) a - sum_i a_i  over a >= 0,  Q_ij = y_i y_j (1 + z_i . z_j),
// one a_i at a time, keeping w = sum_i a_i y_i z_i and b = sum_i a_i y_i.
// Reviews too many for memory are solved a block at a time (Yu, Hsieh,
// Chang & Lin 2010, "Large Linear Classification When Data Cannot Fit in
// Memory"). The model then mixes the SVM with naive Bayes,
//     w' = (1 - beta) mean|w| + beta w,
// and Platt scaling (Platt 1999) turns its scores into probabilities; beta
// and the scale are chosen on reviews the fit had not learnt.
#include <cstdint>
#include <vector>

#include "features/model.h"
#include "learn/doc.h"

namespace sentiment {

// A weight beside the NB ratio it scales: the solver reaches features at
// random, and one cache miss per feature instead of two is most of its time.
struct Cell {
    double w = 0;
    float r = 0;
};

// Solving stops once the projected gradients of all reviews lie this close
// together.
inline constexpr double kTolerance = 0.1;

// A finished fit over features 0..cells.size()-1.
struct NbsvmFit {
    std::vector<Cell> cells;
    double bias = 0;
    double mean_abs = 0;  // mean |w| over the features seen (r != 0)
};

// The weights of one fit while dual coordinate descent moves them. Fits
// share nothing, so several can run side by side.
class NbsvmSolver {
public:
    // Weights start at 0 beside the ratios r; c is the cost of a margin
    // violation.
    NbsvmSolver(const std::vector<float>& r, double c);

    // Q_ii + 1/2C: the curvature of the dual along a review's variable.
    double curvature(const Doc& d) const;
    // The dual's gradient along a review's variable, y (b + w . z) - 1 + a / 2C.
    double gradient(const Doc& d, double alpha) const;
    // Unless the projected gradient is 0, moves alpha to the least of the
    // dual along it (at least 0), and w and b with it. Alpha is kept as
    // double or float; the weights follow the value as stored. Returns the
    // projected gradient.
    template <class Alpha>
    double step(const Doc& d, double curvature, double gradient, Alpha& alpha);

    NbsvmFit finish() &&;

private:
    std::vector<Cell> cells_;
    double bias_ = 0;
    double diag_;  // 1/2C
};

extern template double NbsvmSolver::step<double>(const Doc&, double, double, double&);
extern template double NbsvmSolver::step<float>(const Doc&, double, double, float&);

// What scoring one review needs for any NB interpolation beta:
//     bias + (1 - beta) mean_abs sum_r + beta sum_wr.
struct ScoreParts {
    double bias = 0, mean_abs = 0;
    double sum_r = 0, sum_wr = 0;  // over the review's features: r, and w r
};

ScoreParts score_parts(const NbsvmFit& fit, const Doc& d);

// Platt scaling: p = sigmoid(a s + c), so that scores become probabilities
// and c moves the decision threshold, which matters when one class dominates.
struct Platt {
    double a = 1, c = 0;
};
// Fits a and c by Newton's method on margins of reviews the scorer had not learnt.
Platt fit_platt(const std::vector<double>& scores, const std::vector<std::uint8_t>& labels);

struct Calibration {
    double beta = 0.25;
    Platt platt;
    double accuracy = -1;  // of the calibrated scores
};

// Picks the interpolation whose Platt-scaled scores have the least log loss
// on reviews the scorers had not learnt.
Calibration calibrate(const std::vector<ScoreParts>& parts, const std::vector<std::uint8_t>& labels);

// The model of a fit, mixed with naive Bayes and scaled as calibrated.
// Feature j goes to bucket bucket_of[j], or to bucket j when bucket_of is
// empty.
Model to_model(const NbsvmFit& fit, const Calibration& calibration, const FeatureOptions& features,
               const std::vector<std::uint32_t>& bucket_of);

}  // namespace sentiment
