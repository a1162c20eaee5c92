#include "learn/streamed_nbsvm.h"

#include <algorithm>

#include "learn/block_pipeline.h"
#include "learn/calibration_sample.h"
#include "learn/nb_counts.h"
#include "learn/nbsvm_solver.h"
#include "learn/seeded_shuffle.h"

namespace sentiment {

namespace {

// Passes over the file, and over each block while it is in memory: a
// block's reviews are solved nearly exactly before moving on, so a few
// passes over the file come close to the in-memory solution.
constexpr int kMaxFilePasses = 3;
constexpr int kBlockPasses = 5;

// Bytes of text per block so that every block in flight, with its feature
// ids, fits what the budget leaves after the tables.
std::size_t block_bytes_for(std::uint64_t budget, std::uint64_t tables, std::size_t slots) {
    constexpr std::uint64_t kSlack = 24 << 20;  // program, stacks, buffers of the reader
    constexpr std::uint64_t kPerTextByte = 8;  // the text, its ids (4 bytes each), offsets, room to grow
    const std::uint64_t left = budget > tables + kSlack ? budget - tables - kSlack : 0;
    return static_cast<std::size_t>(
        std::clamp<std::uint64_t>(left / (slots * kPerTextByte), std::uint64_t{16} << 10, std::uint64_t{32} << 20));
}

// The passes over the file, each moving the progress bar over its share.
class StreamedPasses {
public:
    StreamedPasses(TextSource& source, const std::vector<std::uint8_t>& labels, const TrainingPlan& plan,
                   ProgressSink& progress);
    // Sets aside the reviews held out, by content, unless `keep_all`, and
    // returns the NB ratios of the others and how the classes split.
    std::vector<float> count_ratios(const TrainOptions& o, bool keep_all, std::vector<bool>& held,
                                    SplitCounts& split);
    // Block minimisation over the reviews not held out; returns the passes
    // over the file it took.
    int solve(NbsvmSolver& solver, const std::vector<bool>& held, std::uint64_t seed);
    // Scores the held-out reviews for every interpolation and chooses the
    // interpolation and scale on them.
    Calibration calibrate_held_out(const NbsvmFit& fit, const std::vector<bool>& held, TrainResult& result);

private:
    void moved(int pass, const FeatureBlock& b);

    const std::vector<std::uint8_t>& labels_;
    const std::size_t buckets_;
    BlockPipeline pipe_;
    ProgressSink& progress_;
    double base_, width_;
};

StreamedPasses::StreamedPasses(TextSource& source, const std::vector<std::uint8_t>& labels, const TrainingPlan& plan,
                               ProgressSink& progress)
    : labels_(labels), buckets_(std::size_t{1} << plan.features.bits),
      // The weights and, while they are built, the NB ratios; per review its
      // label, alpha, and for the held-out tenth its scores (32 bytes) for
      // the calibration.
      pipe_(source, labels.size(), plan.features, std::size_t{1} << 20, plan.threads,
            block_bytes_for(plan.budget, (sizeof(Cell) + sizeof(float)) * buckets_ + 9 * std::uint64_t(labels.size()),
                            BlockPipeline::slots_for(plan.threads))),
      progress_(progress), base_(progress.reported()), width_((0.99 - base_) / (kMaxFilePasses + 2)) {}

void StreamedPasses::moved(int pass, const FeatureBlock& b) {
    progress_(base_ + width_ * (pass + double(b.first + b.count) / double(labels_.size())));
}

std::vector<float> StreamedPasses::count_ratios(const TrainOptions& o, bool keep_all, std::vector<bool>& held,
                                                SplitCounts& split) {
    const std::size_t n = labels_.size();
    NbCounts counts(buckets_, {0, 0});
    split = SplitCounts{};
    pipe_.run([&](const FeatureBlock& b) {
        for (std::size_t k = 0; k < b.count; ++k) {
            const Doc d = b.doc(k, labels_);
            held[b.first + k] = !keep_all && held_out(d.ids, d.size, n, o);
            ++(held[b.first + k] ? split.judged : split.learnt)[d.label];
            if (!held[b.first + k]) count_review(counts, d);
        }
        moved(0, b);
    });
    return nb_ratios(counts, o.nb_smoothing);
}

int StreamedPasses::solve(NbsvmSolver& solver, const std::vector<bool>& held, std::uint64_t seed) {
    // alpha is all that is kept per review.
    std::vector<float> alpha(labels_.size(), 0.0f);
    std::uint64_t rng = seed;
    std::vector<std::uint32_t> order;
    std::vector<double> curvature;
    for (int pass = 1; pass <= kMaxFilePasses; ++pass) {
        double pg_max = -1e300, pg_min = 1e300;
        pipe_.run([&](const FeatureBlock& b) {
            order.clear();
            curvature.assign(b.count, 0.0);
            for (std::size_t k = 0; k < b.count; ++k) {
                if (held[b.first + k]) continue;
                order.push_back(static_cast<std::uint32_t>(k));
                curvature[k] = solver.curvature(b.doc(k, labels_));
            }
            for (int inner = 0; inner < kBlockPasses; ++inner) {
                seeded_shuffle(order, rng);
                for (std::uint32_t k : order) {
                    const Doc d = b.doc(k, labels_);
                    float& a = alpha[b.first + k];
                    const double pg = solver.step(d, curvature[k], solver.gradient(d, a), a);
                    if (inner == 0) {
                        pg_max = std::max(pg_max, pg);
                        pg_min = std::min(pg_min, pg);
                    }
                }
            }
            moved(pass, b);
        });
        if (pg_max - pg_min < kTolerance) return pass;
    }
    return kMaxFilePasses;
}

Calibration StreamedPasses::calibrate_held_out(const NbsvmFit& fit, const std::vector<bool>& held,
                                               TrainResult& result) {
    std::vector<ScoreParts> parts;
    std::vector<std::uint8_t> held_labels;
    // Sized once: growing would hold two copies at a time.
    const auto held_count = std::size_t(std::count(held.begin(), held.end(), true));
    parts.reserve(held_count);
    held_labels.reserve(held_count);
    pipe_.run([&](const FeatureBlock& b) {
        for (std::size_t k = 0; k < b.count; ++k) {
            if (!held[b.first + k]) continue;
            parts.push_back(score_parts(fit, b.doc(k, labels_)));
            held_labels.push_back(labels_[b.first + k]);
        }
        moved(kMaxFilePasses + 1, b);
    });
    const Calibration cal = calibrate(parts, held_labels);
    result.validation = Validation::HeldOut;
    result.accuracy = cal.accuracy;
    result.validated = parts.size();
    return cal;
}

}  // namespace

TrainResult train_streamed(TextSource& reviews, const std::vector<std::uint8_t>& labels, const TrainOptions& o,
                           const TrainingPlan& plan, ProgressSink& progress) {
    StreamedPasses passes(reviews, labels, plan, progress);
    std::vector<bool> held(labels.size());
    SplitCounts split;
    std::vector<float> ratios = passes.count_ratios(o, false, held, split);
    // A slice that misses a class, or takes all of one, measures nothing
    // and may leave a class unlearnt: learn from every review instead.
    const bool unmeasurable = o.holdout > 0 && labels.size() >= kMinReviewsToValidate && !measures(split);
    if (unmeasurable && split.judged[0] + split.judged[1] > 0) ratios = passes.count_ratios(o, true, held, split);
    // The ratios are gone once the weights beside them are built, so the
    // counts, the ratios and the weights never take memory all at once.
    NbsvmSolver solver(ratios, o.svm_c);
    std::vector<float>().swap(ratios);
    TrainResult result;
    result.path = SolverPath::Streamed;
    if (unmeasurable) result.validation = Validation::TooFewDistinct;
    result.epochs = passes.solve(solver, held, o.seed);
    const NbsvmFit fit = std::move(solver).finish();
    const bool any_held = std::find(held.begin(), held.end(), true) != held.end();
    const Calibration cal =
        any_held ? passes.calibrate_held_out(fit, held, result) : Calibration{o.interpolation, {}, -1};
    result.model = to_model(fit, cal, plan.features, {});
    result.interpolation = cal.beta;
    return result;
}

}  // namespace sentiment
