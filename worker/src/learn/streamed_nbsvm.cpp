#include "learn/streamed_nbsvm.h"

#include <algorithm>

#include "learn/alpha_store.h"
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
// Nothing is kept per review but its label and, in memory or on disk, its
// dual variable: whether a review is held out follows from its content
// each time it is read.
class StreamedPasses {
public:
    StreamedPasses(TextSource& source, const std::vector<std::uint8_t>& labels, const TrainOptions& options,
                   const TrainingPlan& plan, ProgressSink& progress);
    // Sets aside the reviews held out, by content, unless `keep_all`, and
    // returns the NB ratios of the others and how the classes split.
    std::vector<float> count_ratios(bool keep_all, SplitCounts& split);
    // Block minimisation over the reviews not held out; returns the passes
    // over the file it took.
    int solve(NbsvmSolver& solver);
    // Scores a sample of the held-out reviews (all when the budget holds
    // their scores) for every interpolation and chooses the interpolation
    // and scale on them.
    Calibration calibrate_held_out(const NbsvmFit& fit, const SplitCounts& split, TrainResult& result);

private:
    void moved(int pass, const FeatureBlock& b);
    bool held(const Doc& d) const { return !keep_all_ && held_out(d.ids, d.size, labels_.size(), options_); }

    const std::vector<std::uint8_t>& labels_;
    const TrainOptions& options_;
    const TrainingPlan& plan_;
    const std::size_t buckets_;
    bool keep_all_ = false;
    BlockPipeline pipe_;
    ProgressSink& progress_;
    double base_, width_;
};

StreamedPasses::StreamedPasses(TextSource& source, const std::vector<std::uint8_t>& labels, const TrainOptions& options,
                               const TrainingPlan& plan, ProgressSink& progress)
    : labels_(labels), options_(options), plan_(plan), buckets_(std::size_t{1} << plan.features.bits),
      // The weights and, while they are built, the NB ratios; per review at
      // most 9 bytes: its label, its dual variable and the scores of the
      // held-out tenth. Kept at that, so the blocks, and the models, stay
      // as they were where the dual variables move to a file.
      pipe_(source, labels.size(), plan.features, std::size_t{1} << 20, plan.threads,
            block_bytes_for(plan.budget, (sizeof(Cell) + sizeof(float)) * buckets_ + 9 * std::uint64_t(labels.size()),
                            BlockPipeline::slots_for(plan.threads))),
      progress_(progress), base_(progress.reported()), width_((0.99 - base_) / (kMaxFilePasses + 2)) {}

void StreamedPasses::moved(int pass, const FeatureBlock& b) {
    progress_(base_ + width_ * (pass + double(b.first + b.count) / double(labels_.size())));
}

std::vector<float> StreamedPasses::count_ratios(bool keep_all, SplitCounts& split) {
    keep_all_ = keep_all;
    NbCounts counts(buckets_, {0, 0});
    split = SplitCounts{};
    pipe_.run([&](const FeatureBlock& b) {
        for (std::size_t k = 0; k < b.count; ++k) {
            const Doc d = b.doc(k, labels_);
            const bool aside = held(d);
            ++(aside ? split.judged : split.learnt)[d.label];
            if (!aside) count_review(counts, d);
        }
        moved(0, b);
    });
    return nb_ratios(counts, options_.nb_smoothing);
}

int StreamedPasses::solve(NbsvmSolver& solver) {
    AlphaStore alpha(labels_.size(), streamed_alpha_in_memory(plan_.budget, labels_.size(), plan_.features.bits),
                     options_.scratch_dir);
    std::uint64_t rng = options_.seed;
    std::vector<std::uint32_t> order;
    std::vector<double> curvature;
    for (int pass = 1; pass <= kMaxFilePasses; ++pass) {
        double pg_max = -1e300, pg_min = 1e300;
        alpha.start_pass();
        pipe_.run([&](const FeatureBlock& b) {
            order.clear();
            curvature.assign(b.count, 0.0);
            for (std::size_t k = 0; k < b.count; ++k) {
                if (held(b.doc(k, labels_))) continue;
                order.push_back(static_cast<std::uint32_t>(k));
                curvature[k] = solver.curvature(b.doc(k, labels_));
            }
            float* const block_alpha = alpha.load(b.first, b.count);
            for (int inner = 0; inner < kBlockPasses; ++inner) {
                seeded_shuffle(order, rng);
                for (std::uint32_t k : order) {
                    const Doc d = b.doc(k, labels_);
                    const double pg = solver.step(d, curvature[k], solver.gradient(d, block_alpha[k]), block_alpha[k]);
                    if (inner == 0) {
                        pg_max = std::max(pg_max, pg);
                        pg_min = std::min(pg_min, pg);
                    }
                }
            }
            alpha.store();
            moved(pass, b);
        });
        if (pg_max - pg_min < kTolerance) return pass;
    }
    return kMaxFilePasses;
}

Calibration StreamedPasses::calibrate_held_out(const NbsvmFit& fit, const SplitCounts& split, TrainResult& result) {
    HeldOutSample sample(split.judged,
                         calibration_sample_most(plan_.budget, labels_.size(), plan_.features.bits));
    std::vector<ScoreParts> parts;
    std::vector<std::uint8_t> held_labels;
    // Sized once: growing would hold two copies at a time.
    parts.reserve(sample.size());
    held_labels.reserve(sample.size());
    pipe_.run([&](const FeatureBlock& b) {
        for (std::size_t k = 0; k < b.count; ++k) {
            const Doc d = b.doc(k, labels_);
            if (!held(d) || !sample.take(d.label)) continue;
            parts.push_back(score_parts(fit, d));
            held_labels.push_back(d.label);
        }
        moved(kMaxFilePasses + 1, b);
    });
    const Calibration cal = calibrate(parts, held_labels);
    result.validation = Validation::HeldOut;
    result.accuracy = cal.accuracy;
    result.validated = parts.size();
    result.set_aside = split.judged[0] + split.judged[1];
    return cal;
}

}  // namespace

TrainResult train_streamed(TextSource& reviews, const std::vector<std::uint8_t>& labels, const TrainOptions& o,
                           const TrainingPlan& plan, ProgressSink& progress) {
    StreamedPasses passes(reviews, labels, o, plan, progress);
    SplitCounts split;
    std::vector<float> ratios = passes.count_ratios(false, split);
    // A slice that misses a class, or takes all of one, measures nothing
    // and may leave a class unlearnt: learn from every review instead.
    const bool unmeasurable = o.holdout > 0 && labels.size() >= kMinReviewsToValidate && !measures(split);
    if (unmeasurable && split.judged[0] + split.judged[1] > 0) ratios = passes.count_ratios(true, split);
    // The ratios are gone once the weights beside them are built, so the
    // counts, the ratios and the weights never take memory all at once.
    NbsvmSolver solver(ratios, o.svm_c);
    std::vector<float>().swap(ratios);
    TrainResult result;
    result.path = SolverPath::Streamed;
    if (unmeasurable) result.validation = Validation::TooFewDistinct;
    result.epochs = passes.solve(solver);
    const NbsvmFit fit = std::move(solver).finish();
    const bool any_held = split.judged[0] + split.judged[1] > 0;
    const Calibration cal =
        any_held ? passes.calibrate_held_out(fit, split, result) : Calibration{o.interpolation, {}, -1};
    result.model = to_model(fit, cal, plan.features, {});
    result.interpolation = cal.beta;
    return result;
}

}  // namespace sentiment
