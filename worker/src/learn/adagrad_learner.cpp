// AdaGrad on the logistic loss over NB-scaled features, with L2 applied to
// the features of each example as it is seen.
#include "learn/adagrad_learner.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "features/model.h"
#include "learn/nb_counts.h"
#include "learn/seeded_shuffle.h"
#include "learn/svm_solver.h"

namespace sentiment {

namespace {

class AdaGrad {
public:
    AdaGrad(const TrainOptions& o, const NbCounts& counts, double prior_logit)
        : o_(o), cells_(counts.size()), bias_(prior_logit) {
        const std::vector<float> r = nb_ratios(counts, o.nb_smoothing);
        for (std::size_t j = 0; j < cells_.size(); ++j) cells_[j] = Cell{static_cast<float>(o.nb_weight), 0.0f, r[j], 0.0f};
    }

    double score(const Doc& d) const {
        double s = bias_;
        for (std::uint32_t k = 0; k < d.size; ++k) {
            const Cell& c = cells_[d.ids[k]];
            s += double(c.w) * c.r;
        }
        return s;
    }

    void step(const Doc& d) {
        const double p = sigmoid(score(d));
        const float g = static_cast<float>(p - d.label);
        const float lr = static_cast<float>(o_.learning_rate), l2 = static_cast<float>(o_.l2),
                    w0 = static_cast<float>(o_.nb_weight);
        for (std::uint32_t k = 0; k < d.size; ++k) {
            Cell& c = cells_[d.ids[k]];
            const float grad = g * c.r + l2 * (c.w - w0);
            c.g2 += grad * grad;
            c.w -= lr * grad / (std::sqrt(c.g2) + 1e-8f);
        }
        bias_g2_ += double(g) * g;
        bias_ -= o_.learning_rate * g / (std::sqrt(bias_g2_) + 1e-8);
    }

    Model fold(const FeatureOptions& features) const {
        Model m;
        m.features = features;
        m.bias = static_cast<float>(bias_);
        m.weights.resize(cells_.size());
        for (std::size_t j = 0; j < cells_.size(); ++j) m.weights[j] = cells_[j].w * cells_[j].r;
        return m;
    }

private:
    // Weight, squared-gradient sum and ratio share one 16-byte cell: the
    // updates hit buckets at random, and one cache miss per feature instead
    // of three is most of their cost.
    struct Cell {
        float w, g2, r, unused;
    };
    const TrainOptions& o_;
    Table<Cell> cells_;
    double bias_ = 0, bias_g2_ = 0;
};

double prior_logit(const std::vector<std::uint8_t>& labels, const std::vector<bool>& skip) {
    double pos = 0, neg = 0;
    for (std::size_t i = 0; i < labels.size(); ++i)
        if (skip.empty() || !skip[i]) (labels[i] ? pos : neg) += 1;
    return std::log((pos + 1) / (neg + 1));
}

}  // namespace

TrainResult train_adagrad_cached(const ReviewCache& cache, const std::vector<std::uint8_t>& labels,
                                 const TrainOptions& o, ProgressSink& progress) {
    const std::size_t n = cache.size();
    const std::size_t buckets = std::size_t{1} << o.features.bits;
    std::vector<bool> held(n);
    std::size_t held_count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Doc d = cache.doc(i, labels);
        held[i] = held_out(d.ids, d.size, n, o);
        held_count += held[i];
    }
    auto counts_of = [&](bool all) {
        NbCounts counts(buckets, {0, 0});
        for (std::size_t i = 0; i < n; ++i)
            if (all || !held[i]) count_review(counts, cache.doc(i, labels));
        return counts;
    };
    // One pass of updates in shuffled order; returns the held-out log loss
    // and number right.
    auto epoch = [&](AdaGrad& learner, std::uint64_t& rng, bool all, double begin, double width, std::size_t& correct) {
        std::vector<std::uint32_t> order;
        order.reserve(n);
        for (std::size_t i = 0; i < n; ++i)
            if (all || !held[i]) order.push_back(static_cast<std::uint32_t>(i));
        seeded_shuffle(order, rng);
        for (std::size_t k = 0; k < order.size(); ++k) {
            learner.step(cache.doc(order[k], labels));
            if ((k & 4095) == 0) progress(begin + width * double(k) / double(order.size()));
        }
        double loss = 0;
        correct = 0;
        for (std::size_t i = 0; i < n && !all; ++i) {
            if (!held[i]) continue;
            const double p = sigmoid(learner.score(cache.doc(i, labels)));
            loss -= std::log(labels[i] ? std::max(p, 1e-12) : std::max(1 - p, 1e-12));
            correct += (p >= 0.5) == (labels[i] == 1);
        }
        return loss;
    };

    TrainResult result;
    result.path = SolverPath::InMemoryAdaGrad;
    const int max_epochs = std::max(1, o.max_epochs);
    int best_epoch = max_epochs;
    if (held_count > 0) {
        AdaGrad learner(o, counts_of(false), prior_logit(labels, held));
        std::uint64_t rng = o.seed;
        double best_loss = std::numeric_limits<double>::infinity();
        std::size_t best_correct = 0;
        best_epoch = 0;
        for (int e = 1; e <= max_epochs; ++e) {
            std::size_t correct = 0;
            const double loss = epoch(learner, rng, false, 0.35 + 0.4 * (e - 1) / max_epochs, 0.4 / max_epochs, correct);
            if (loss < best_loss) {
                best_loss = loss;
                best_correct = correct;
                best_epoch = e;
            } else if (e - best_epoch >= 2) {
                break;
            }
        }
        result.validation = Validation::HeldOut;
        result.accuracy = double(best_correct) / double(held_count);
        result.validated = held_count;
    }
    // The epoch count is known; now let the held-out reviews teach too.
    AdaGrad learner(o, counts_of(true), prior_logit(labels, {}));
    std::uint64_t rng = o.seed;
    const double begin = held_count > 0 ? 0.75 : 0.35, span = 0.99 - begin;
    for (int e = 1; e <= best_epoch; ++e) {
        std::size_t unused = 0;
        epoch(learner, rng, true, begin + span * (e - 1) / best_epoch, span / best_epoch, unused);
    }
    result.epochs = best_epoch;
    result.model = learner.fold(o.features);
    return result;
}

}  // namespace sentiment
