// Objective: NBSVM (Wang & Manning 2012, "Baselines and Bigrams: Simple,
// Good Sentiment and Topic Classification"). With x_i the binary feature
// vector of review i, y_i = +-1 its label and r the naive Bayes log-count
// ratio, the weights minimise the squared-hinge SVM objective
//     1/2 |w|^2 + C sum_i max(0, 1 - y_i (b + sum_j w_j r_j x_ij))^2,
// then are interpolated with naive Bayes, w' = (1 - beta) mean|w| + beta w.
// Cross-validation on the training reviews picks beta and fits Platt scaling
// (Platt 1999) on the out-of-fold scores, which turns scores into
// probabilities and sets the decision threshold.
#include "learn/in_memory_nbsvm.h"

#include <algorithm>
#include <limits>

#include "learn/nbsvm_solver.h"
#include "learn/parallel_jobs.h"
#include "learn/review_split.h"
#include "learn/seeded_shuffle.h"

namespace sentiment {

namespace {

constexpr int kFolds = 5;
constexpr int kFoldsLarge = 3;
// From this many reviews on, fewer folds and a shrinking solver: the
// passes are long, and small sets train in under a second anyway.
constexpr std::size_t kLargeSet = 10000;
// Reviews, at most (about), that cross-validation learns from and judges.
constexpr std::size_t kMaxCalibrationReviews = 100000;
constexpr std::uint8_t kNoFold = 0xFF;

// Features become dense numbers 0..u-1 in order of first appearance, so
// the per-fold tables are as small as the vocabulary. Returns the bucket of
// each dense number.
std::vector<std::uint32_t> densify(ReviewCache& cache, std::uint8_t bits) {
    std::vector<std::uint32_t> map(std::size_t{1} << bits, 0xFFFFFFFFu);
    std::vector<std::uint32_t> dense_to_bucket;
    for (std::uint32_t& id : cache.ids) {
        if (map[id] == 0xFFFFFFFFu) {
            map[id] = static_cast<std::uint32_t>(dense_to_bucket.size());
            dense_to_bucket.push_back(id);
        }
        id = map[id];
    }
    return dense_to_bucket;
}

SvmSettings settings_for(const TrainOptions& o, int fold, std::size_t reviews) {
    SvmSettings s;
    s.shrinking = reviews >= kLargeSet;
    s.c = o.svm_c;
    s.smoothing = o.nb_smoothing;
    s.seed = o.seed + 0x9E3779B97F4A7C15ULL * std::uint64_t(fold + 1);
    return s;
}

}  // namespace

TrainResult train_nbsvm(ReviewCache& cache, const std::vector<std::uint8_t>& labels, const TrainOptions& o,
                        const TrainingPlan& plan, ProgressSink& progress) {
    const std::size_t n = cache.size();
    TrainResult result;
    result.path = SolverPath::InMemoryNbsvm;
    const std::vector<std::uint32_t> dense_to_bucket = densify(cache, plan.features.bits);
    const std::size_t u = dense_to_bucket.size();
    double beta = o.interpolation;
    Platt platt;
    const double begin = progress.reported();
    // Fewer folds on large sets: each fold is then cheaper relative to
    // what it learns, and the choice of interpolation and scale is as sure.
    const int k = plan.cross_validate ? (n >= kLargeSet ? kFoldsLarge : kFolds) : 0;
    // On very large sets the folds cover a sample drawn by content: the
    // interpolation and scale are as sure, and the final fit, not the
    // folds, sets the time.
    const double share = std::min(1.0, double(kMaxCalibrationReviews) / double(n));
    std::vector<std::uint8_t> fold(n, kNoFold);
    for (std::size_t i = 0; i < n && k > 0; ++i) {
        const double draw =
            review_draw(cache.ids.data() + cache.offsets[i], cache.offsets[i + 1] - cache.offsets[i], o.seed);
        if (draw < share) fold[i] = static_cast<std::uint8_t>(std::min(draw / share * k, k - 1.0));
    }
    std::vector<ScoreParts> parts(k ? n : 0);
    SvmFit fit;
    // Job 0 is the final fit on all reviews, which does not depend on the
    // folds, so it runs beside them; jobs 1..k are the folds.
    run_jobs(
        std::size_t(k) + 1, plan.threads,
        [&](std::size_t job, std::atomic<int>& done) {
            if (job == 0) {
                fit = fit_nbsvm(cache, labels, u, {}, settings_for(o, -1, n), &done);
                return;
            }
            const int f = int(job) - 1;
            std::vector<bool> in_fit(n);
            for (std::size_t i = 0; i < n; ++i) in_fit[i] = fold[i] != f && fold[i] != kNoFold;
            SvmFit part = fit_nbsvm(cache, labels, u, in_fit, settings_for(o, f, n), &done);
            for (std::size_t i = 0; i < n; ++i) {
                if (fold[i] != f) continue;
                Doc d = cache.doc(i, labels);
                double sr = 0, swr = 0;
                for (std::uint32_t q = 0; q < d.size; ++q) {
                    sr += part.r[d.ids[q]];
                    swr += double(part.w[d.ids[q]]) * part.r[d.ids[q]];
                }
                parts[i] = ScoreParts{part.bias, part.mean_abs, sr, swr};
            }
        },
        progress, begin, 0.99);
    if (k > 0) {
        std::vector<ScoreParts> sampled;
        std::vector<std::uint8_t> sampled_labels;
        for (std::size_t i = 0; i < n; ++i)
            if (fold[i] != kNoFold) {
                sampled.push_back(parts[i]);
                sampled_labels.push_back(labels[i]);
            }
        const Calibration cal = calibrate(sampled, sampled_labels);
        beta = cal.beta;
        platt = cal.platt;
        result.accuracy = cal.accuracy;
        result.validated = sampled.size();
        result.validation = Validation::CrossValidated;
    }
    Model m;
    m.features = plan.features;
    m.weights.assign(std::size_t{1} << plan.features.bits, 0.0f);
    for (std::size_t j = 0; j < u; ++j) {
        const double w = (1 - beta) * fit.mean_abs + beta * fit.w[j];
        m.weights[dense_to_bucket[j]] = static_cast<float>(platt.a * w * fit.r[j]);
    }
    m.bias = static_cast<float>(platt.a * fit.bias + platt.c);
    result.interpolation = beta;
    result.epochs = 1;
    result.model = std::move(m);
    return result;
}

}  // namespace sentiment
