#include "learn/in_memory_nbsvm.h"

#include <algorithm>
#include <limits>

#include "learn/calibration_sample.h"
#include "learn/nb_counts.h"
#include "learn/nbsvm_solver.h"
#include "learn/parallel_jobs.h"
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
constexpr int kMaxPasses = 200;

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

// One fit over the reviews of the cache that `in_fit` names (all when it is
// empty), pass after pass until the projected gradients agree.
class CachedFit {
public:
    CachedFit(const ReviewCache& cache, const std::vector<std::uint8_t>& labels, std::size_t features,
              const std::vector<bool>& in_fit, const TrainOptions& o, int fold);
    // One pass over the reviews still active, in shuffled order; true once
    // every review has converged.
    bool pass();
    NbsvmFit finish() &&;

private:
    const ReviewCache& cache_;
    const std::vector<std::uint8_t>& labels_;
    NbsvmSolver solver_;
    std::vector<std::uint32_t> active_, head_;
    std::size_t live_;
    std::vector<double> curvature_, alpha_;
    // Shrinking (as in LIBLINEAR): a review whose dual variable is 0 and
    // whose gradient is above the last pass's largest projected gradient is
    // left out until the remaining ones converge; most reviews are far on
    // the right side of the margin after a few passes. Much faster on large
    // sets, at a slightly different stopping point.
    bool shrinking_;
    double pg_max_old_ = std::numeric_limits<double>::infinity();
    std::uint64_t rng_;
};

std::vector<float> fit_ratios(const ReviewCache& cache, const std::vector<std::uint8_t>& labels, std::size_t features,
                              const std::vector<bool>& in_fit, double smoothing) {
    NbCounts counts(features, {0, 0});
    for (std::size_t i = 0; i < cache.size(); ++i)
        if (in_fit.empty() || in_fit[i]) count_review(counts, cache.doc(i, labels));
    return nb_ratios(counts, smoothing);
}

CachedFit::CachedFit(const ReviewCache& cache, const std::vector<std::uint8_t>& labels, std::size_t features,
                     const std::vector<bool>& in_fit, const TrainOptions& o, int fold)
    : cache_(cache), labels_(labels), solver_(fit_ratios(cache, labels, features, in_fit, o.nb_smoothing), o.svm_c),
      curvature_(cache.size(), 0.0), alpha_(cache.size(), 0.0), shrinking_(cache.size() >= kLargeSet),
      rng_(o.seed + 0x9E3779B97F4A7C15ULL * std::uint64_t(fold + 1)) {
    for (std::size_t i = 0; i < cache.size(); ++i)
        if (in_fit.empty() || in_fit[i]) active_.push_back(static_cast<std::uint32_t>(i));
    live_ = active_.size();
    for (std::uint32_t i : active_) curvature_[i] = solver_.curvature(cache.doc(i, labels));
}

bool CachedFit::pass() {
    head_.assign(active_.begin(), active_.begin() + live_);
    seeded_shuffle(head_, rng_);
    std::copy(head_.begin(), head_.end(), active_.begin());
    double pg_max = -std::numeric_limits<double>::infinity(), pg_min = -pg_max;
    for (std::size_t s = 0; s < live_; ++s) {
        const std::uint32_t i = active_[s];
        const Doc d = cache_.doc(i, labels_);
        const double g = solver_.gradient(d, alpha_[i]);
        if (shrinking_ && alpha_[i] == 0.0 && g > pg_max_old_) {
            std::swap(active_[s], active_[--live_]);
            --s;
            continue;
        }
        const double pg = solver_.step(d, curvature_[i], g, alpha_[i]);
        pg_max = std::max(pg_max, pg);
        pg_min = std::min(pg_min, pg);
    }
    if (pg_max - pg_min < kTolerance) {
        if (live_ == active_.size()) return true;
        // Converged on the active ones: check every review once more.
        live_ = active_.size();
        pg_max_old_ = std::numeric_limits<double>::infinity();
        return false;
    }
    pg_max_old_ = pg_max > 0 ? pg_max : std::numeric_limits<double>::infinity();
    return false;
}

NbsvmFit CachedFit::finish() && {
    NbsvmFit fit = std::move(solver_).finish();
    // In memory the folds are scored and the model is built from weights
    // rounded to float, as its tables once held them; rounding keeps those
    // models byte for byte.
    for (Cell& c : fit.cells) c.w = static_cast<float>(c.w);
    return fit;
}

NbsvmFit fit_cached(const ReviewCache& cache, const std::vector<std::uint8_t>& labels, std::size_t features,
                    const std::vector<bool>& in_fit, const TrainOptions& o, int fold, std::atomic<int>& permille) {
    CachedFit fit(cache, labels, features, in_fit, o, fold);
    for (int pass = 0; pass < kMaxPasses;) {
        const bool done = fit.pass();
        permille.store(++pass * 1000 / kMaxPasses);
        if (done) break;
    }
    permille.store(1000);
    return std::move(fit).finish();
}

// Fits fold f on the other folds' reviews and scores its own with it.
void score_fold(const ReviewCache& cache, const std::vector<std::uint8_t>& labels, std::size_t features,
                const std::vector<std::uint8_t>& fold, int f, const TrainOptions& o, std::atomic<int>& permille,
                std::vector<ScoreParts>& parts) {
    const std::size_t n = cache.size();
    std::vector<bool> in_fit(n);
    for (std::size_t i = 0; i < n; ++i) in_fit[i] = fold[i] != f && fold[i] != kNoFold;
    const NbsvmFit fit = fit_cached(cache, labels, features, in_fit, o, f, permille);
    for (std::size_t i = 0; i < n; ++i)
        if (fold[i] == f) parts[i] = score_parts(fit, cache.doc(i, labels));
}

// Chooses the interpolation and scale on the out-of-fold scores of the
// reviews in a fold.
Calibration calibrate_folds(const std::vector<ScoreParts>& parts, const std::vector<std::uint8_t>& fold,
                            const std::vector<std::uint8_t>& labels, TrainResult& result) {
    std::vector<ScoreParts> sampled;
    std::vector<std::uint8_t> sampled_labels;
    for (std::size_t i = 0; i < parts.size(); ++i)
        if (fold[i] != kNoFold) {
            sampled.push_back(parts[i]);
            sampled_labels.push_back(labels[i]);
        }
    const Calibration cal = calibrate(sampled, sampled_labels);
    result.accuracy = cal.accuracy;
    result.validated = sampled.size();
    result.validation = Validation::CrossValidated;
    return cal;
}

}  // namespace

TrainResult train_nbsvm(ReviewCache& cache, const std::vector<std::uint8_t>& labels, const TrainOptions& o,
                        const TrainingPlan& plan, ProgressSink& progress) {
    const std::size_t n = cache.size();
    const double begin = progress.reported();
    const std::vector<std::uint32_t> dense_to_bucket = densify(cache, plan.features.bits);
    const std::size_t u = dense_to_bucket.size();
    // Fewer folds on large sets: each fold is then cheaper relative to
    // what it learns, and the choice of interpolation and scale is as sure.
    int k = plan.cross_validate ? (n >= kLargeSet ? kFoldsLarge : kFolds) : 0;
    const std::vector<std::uint8_t> fold = assign_folds(cache, labels, k, kMaxCalibrationReviews, o.seed);
    const bool unmeasurable = k > 0 && !folds_measure(fold, labels, k);
    if (unmeasurable) k = 0;
    std::vector<ScoreParts> parts(k ? n : 0);
    NbsvmFit fit;
    // Job 0 is the final fit on all reviews, which does not depend on the
    // folds, so it runs beside them; jobs 1..k are the folds.
    run_jobs(
        std::size_t(k) + 1, plan.threads,
        [&](std::size_t job, std::atomic<int>& done) {
            if (job == 0)
                fit = fit_cached(cache, labels, u, {}, o, -1, done);
            else
                score_fold(cache, labels, u, fold, int(job) - 1, o, done, parts);
        },
        progress, begin, 0.99);
    TrainResult result;
    result.path = SolverPath::InMemoryNbsvm;
    if (unmeasurable) result.validation = Validation::TooFewDistinct;
    const Calibration cal = k > 0 ? calibrate_folds(parts, fold, labels, result) : Calibration{o.interpolation, {}, -1};
    result.model = to_model(fit, cal, plan.features, dense_to_bucket);
    result.interpolation = cal.beta;
    result.epochs = 1;
    return result;
}

}  // namespace sentiment
