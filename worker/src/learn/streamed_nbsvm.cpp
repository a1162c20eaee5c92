#include "learn/streamed_nbsvm.h"

#include <algorithm>
#include <cmath>

#include "learn/block_pipeline.h"
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
constexpr double kTolerance = 0.1;

// Weight and NB ratio of a bucket side by side (one cache miss, not two).
struct Cell {
    double w = 0;
    float r = 0;
};

// Bytes of text per block so that every block in flight, with its feature
// ids, fits what the budget leaves after the tables.
std::size_t block_bytes_for(std::uint64_t budget, std::uint64_t tables, std::size_t slots) {
    constexpr std::uint64_t kSlack = 24 << 20;  // program, stacks, buffers of the reader
    constexpr std::uint64_t kPerTextByte = 8;  // the text, its ids (4 bytes each), offsets, room to grow
    const std::uint64_t left = budget > tables + kSlack ? budget - tables - kSlack : 0;
    return static_cast<std::size_t>(
        std::clamp<std::uint64_t>(left / (slots * kPerTextByte), std::uint64_t{16} << 10, std::uint64_t{32} << 20));
}

}  // namespace

TrainResult train_streamed(TextSource& src, const std::vector<std::uint8_t>& labels, const TrainOptions& o,
                           const TrainingPlan& plan, ProgressSink& progress) {
    const std::size_t n = labels.size();
    const std::size_t buckets = std::size_t{1} << plan.features.bits;
    TrainResult result;
    result.path = SolverPath::Streamed;
    // Set aside by content in the counting pass, remembered for the rest.
    std::vector<bool> held(n);
    auto is_held = [&](std::size_t i) { return bool(held[i]); };
    // The weights and, while they are built, the NB ratios; per review its
    // label, alpha, and for the held-out tenth its scores (32 bytes) for the
    // calibration.
    const std::uint64_t tables = (sizeof(Cell) + sizeof(float)) * buckets + 9 * std::uint64_t(n);
    BlockPipeline pipe(src, n, plan.features, std::size_t{1} << 20, plan.threads,
                       block_bytes_for(plan.budget, tables, BlockPipeline::slots_for(plan.threads)));
    const double base = progress.reported();
    const double width = (0.99 - base) / (kMaxFilePasses + 2);
    auto move = [&](double pass, const FeatureBlock& b) {
        progress(base + width * (pass + double(b.first + b.count) / double(n)));
    };

    std::vector<float> r;
    {
        NbCounts counts(buckets, {0, 0});
        pipe.run([&](const FeatureBlock& b) {
            for (std::size_t k = 0; k < b.count; ++k) {
                held[b.first + k] = held_out(b.ids.data() + b.offsets[k], b.offsets[k + 1] - b.offsets[k], n, o);
                if (is_held(b.first + k)) continue;
                const int y = labels[b.first + k];
                for (std::uint64_t j = b.offsets[k]; j < b.offsets[k + 1]; ++j) ++counts[b.ids[j]][y];
            }
            move(0, b);
        });
        r = nb_ratios(counts, o.nb_smoothing);
    }
    // Built once the counts are gone, so the two never take memory together.
    std::vector<Cell> cells(buckets);
    for (std::size_t j = 0; j < buckets; ++j) cells[j].r = r[j];
    std::vector<float>().swap(r);

    // Squared-hinge dual coordinate descent as in the in-memory solver, one
    // block at a time; alpha is all that is kept per review.
    std::vector<float> alpha(n, 0.0f);
    double bias = 0;
    const double diag = 0.5 / o.svm_c;
    std::uint64_t rng = o.seed;
    std::vector<std::uint32_t> order;
    std::vector<double> qii;
    int passes = 0;
    for (int pass = 1; pass <= kMaxFilePasses; ++pass) {
        double pg_max = -1e300, pg_min = 1e300;
        pipe.run([&](const FeatureBlock& b) {
            order.clear();
            qii.assign(b.count, 0.0);
            for (std::size_t k = 0; k < b.count; ++k) {
                held[b.first + k] = held_out(b.ids.data() + b.offsets[k], b.offsets[k + 1] - b.offsets[k], n, o);
                if (is_held(b.first + k)) continue;
                order.push_back(static_cast<std::uint32_t>(k));
                double q = 1.0 + diag;
                for (std::uint64_t j = b.offsets[k]; j < b.offsets[k + 1]; ++j) q += double(cells[b.ids[j]].r) * cells[b.ids[j]].r;
                qii[k] = q;
            }
            for (int inner = 0; inner < kBlockPasses; ++inner) {
                seeded_shuffle(order, rng);
                for (std::uint32_t k : order) {
                    const std::size_t i = b.first + k;
                    const double y = labels[i] ? 1.0 : -1.0;
                    double s = bias;
                    for (std::uint64_t j = b.offsets[k]; j < b.offsets[k + 1]; ++j) s += cells[b.ids[j]].w * cells[b.ids[j]].r;
                    const double g = y * s - 1.0 + diag * alpha[i];
                    const double pg = alpha[i] == 0.0f ? std::min(g, 0.0) : g;
                    if (inner == 0) {
                        pg_max = std::max(pg_max, pg);
                        pg_min = std::min(pg_min, pg);
                    }
                    if (pg == 0.0) continue;
                    const double old = alpha[i];
                    const float next = static_cast<float>(std::max(old - g / qii[k], 0.0));
                    const double step = (double(next) - old) * y;
                    alpha[i] = next;
                    for (std::uint64_t j = b.offsets[k]; j < b.offsets[k + 1]; ++j) cells[b.ids[j]].w += step * cells[b.ids[j]].r;
                    bias += step;
                }
            }
            move(pass, b);
        });
        passes = pass;
        if (pg_max - pg_min < kTolerance) break;
    }
    std::vector<float>().swap(alpha);

    double sum = 0;
    std::size_t seen = 0;
    for (const Cell& c : cells)
        if (c.r != 0.0f) {
            sum += std::abs(c.w);
            ++seen;
        }
    const double mean_abs = seen ? sum / double(seen) : 0.0;
    Calibration cal;
    cal.beta = o.interpolation;
    if (std::find(held.begin(), held.end(), true) != held.end()) {
        // One more pass scores the held-out reviews for every interpolation.
        std::vector<ScoreParts> parts;
        std::vector<std::uint8_t> held_labels;
        // Sized once: growing would hold two copies at a time.
        const auto held_count = std::size_t(std::count(held.begin(), held.end(), true));
        parts.reserve(held_count);
        held_labels.reserve(held_count);
        pipe.run([&](const FeatureBlock& b) {
            for (std::size_t k = 0; k < b.count; ++k) {
                if (!is_held(b.first + k)) continue;
                ScoreParts p{bias, mean_abs, 0, 0};
                for (std::uint64_t j = b.offsets[k]; j < b.offsets[k + 1]; ++j) {
                    p.sum_r += cells[b.ids[j]].r;
                    p.sum_wr += cells[b.ids[j]].w * cells[b.ids[j]].r;
                }
                parts.push_back(p);
                held_labels.push_back(labels[b.first + k]);
            }
            move(kMaxFilePasses + 1, b);
        });
        if (!parts.empty()) {
            cal = calibrate(parts, held_labels);
            result.validation = Validation::HeldOut;
            result.accuracy = cal.accuracy;
            result.validated = parts.size();
        }
    }
    Model m;
    m.features = plan.features;
    m.weights.assign(buckets, 0.0f);
    for (std::size_t j = 0; j < buckets; ++j)
        if (cells[j].r != 0.0f)
            m.weights[j] = static_cast<float>(cal.platt.a * ((1 - cal.beta) * mean_abs + cal.beta * cells[j].w) * cells[j].r);
    m.bias = static_cast<float>(cal.platt.a * bias + cal.platt.c);
    result.model = std::move(m);
    result.interpolation = cal.beta;
    result.epochs = passes;
    return result;
}

}  // namespace sentiment
