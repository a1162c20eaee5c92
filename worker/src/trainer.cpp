// Objective: NBSVM (Wang & Manning 2012, "Baselines and Bigrams: Simple,
// Good Sentiment and Topic Classification"). With x_i the binary feature
// vector of review i, y_i = +-1 its label and r the naive Bayes log-count ratio
//     r_j = log((a + p_j) / |a + p|_1) - log((a + q_j) / |a + q|_1),
// p_j, q_j the number of positive / negative reviews containing feature j,
// the weights minimise the squared-hinge SVM objective
//     1/2 |w|^2 + C sum_i max(0, 1 - y_i (b + sum_j w_j r_j x_ij))^2,
// solved by dual coordinate descent (Hsieh et al. 2008), then interpolated
// with naive Bayes, w' = (1 - beta) mean|w| + beta w. Five-fold
// cross-validation on the training reviews picks beta and fits Platt
// scaling (Platt 1999) on the out-of-fold scores, which turns scores into
// probabilities and sets the decision threshold; the model is then refit
// on all reviews.
// Reviews too many to keep in memory are instead streamed through AdaGrad
// (Duchi, Hazan & Singer 2011) on the logistic loss over the same NB-scaled
// features, with L2 applied to the features of each example as it is seen;
// the number of passes follows the number of reviews.
#include "trainer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <mutex>
#include <thread>

#include "block_pipeline.h"
#include "errors.h"

namespace sentiment {

namespace {

std::uint64_t splitmix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// Fisher-Yates with our own generator: std::shuffle differs between
// standard libraries and the model must not.
template <class T>
void shuffle(std::vector<T>& v, std::uint64_t& state) {
    for (std::size_t i = v.size(); i > 1; --i) {
        state = splitmix64(state);
        std::size_t j = static_cast<std::size_t>(state % i);
        std::swap(v[i - 1], v[j]);
    }
}

struct Doc {
    const std::uint32_t* ids;
    std::uint32_t size;
    std::uint8_t label;
};

// Per-bucket counts of positive and negative reviews holding a feature,
// side by side so counting touches one cache line per feature.
using Counts = Table<std::array<std::uint32_t, 2>>;

class Learner {
public:
    Learner(const TrainOptions& o) : o_(o), buckets_(std::size_t{1} << o.features.bits) {}

    void set_ratios(const Counts& counts) {
        double a = o_.nb_smoothing, used = 0, sp = 0, sn = 0;
        for (std::size_t j = 0; j < buckets_; ++j) {
            const auto& c = counts[j];
            if (c[0] || c[1]) ++used;
            sn += c[0];
            sp += c[1];
        }
        const double norm = std::log((sn + a * used) / (sp + a * used));
        r_.assign(buckets_, 0.0f);
        for (std::size_t j = 0; j < buckets_; ++j) {
            const auto& c = counts[j];
            if (c[0] || c[1]) r_[j] = static_cast<float>(std::log((a + c[1]) / (a + c[0])) + norm);
        }
        cells_.clear();
    }

    // Starts AdaGrad. Its weight, squared-gradient sum and ratio share one
    // 16-byte cell: the updates hit buckets at random, and one cache miss
    // per feature instead of three is most of their cost.
    void reset(double prior_logit) {
        cells_.resize(buckets_);
        for (std::size_t j = 0; j < buckets_; ++j) cells_[j] = Cell{static_cast<float>(o_.nb_weight), 0.0f, r_[j], 0.0f};
        std::vector<float>().swap(r_);
        bias_ = prior_logit;
        bias_g2_ = 0;
    }

    double score(const Doc& d) const {
        double s = bias_;
        for (std::uint32_t k = 0; k < d.size; ++k) {
            const Cell& c = cells_[d.ids[k]];
            s += double(c.w) * c.r;
        }
        return s;
    }

    // One AdaGrad step; returns the probability the model gave the review
    // before learning it.
    double step(const Doc& d) {
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
        return p;
    }

    static double sigmoid(double s) { return 1.0 / (1.0 + std::exp(-s)); }

    Model fold() const {
        Model m;
        m.features = o_.features;
        m.bias = static_cast<float>(bias_);
        m.weights.resize(buckets_);
        for (std::size_t j = 0; j < buckets_; ++j) m.weights[j] = cells_[j].w * cells_[j].r;
        return m;
    }

private:
    struct Cell {
        float w, g2, r, unused;
    };
    const TrainOptions& o_;
    std::size_t buckets_;
    std::vector<float> r_;
    Table<Cell> cells_;
    double bias_ = 0, bias_g2_ = 0;
};

struct HeldOutScore {
    double log_loss = 0;
    std::size_t correct = 0, count = 0;
    void add(double p, std::uint8_t y) {
        const double eps = 1e-12;
        log_loss -= std::log(y ? std::max(p, eps) : std::max(1 - p, eps));
        correct += (p >= 0.5) == (y == 1);
        ++count;
    }
};

class Trainer {
public:
    Trainer(TextSource& src, const std::vector<std::uint8_t>& labels, const TrainOptions& o,
            const std::function<void(double)>& progress)
        : src_(src), labels_(labels), o_(o), progress_(progress), fx_(o.features), learner_(o) {}

    TrainResult run() {
        const std::size_t n = labels_.size();
        held_.assign(n, 0);
        std::size_t held_count = 0;
        if (o_.holdout > 0 && n >= 200) {
            for (std::size_t i = 0; i < n; ++i) {
                double u = double(splitmix64(o_.seed * 0x2545F4914F6CDD1DULL + i) >> 11) * 0x1.0p-53;
                held_[i] = u < o_.holdout;
                held_count += held_[i];
            }
        }
        if (held_count == 0) held_.assign(n, 0);
        count_pass();
        if (!cached_) return run_streamed();
        prior_ = prior_logit(true);
        if (!o_.use_sgd) return run_svm(held_count > 0);

        TrainResult result;
        result.holdout_size = held_count;
        rng_ = o_.seed;
        learner_.reset(prior_);
        int best_epoch = 0;
        double best_loss = std::numeric_limits<double>::infinity();
        std::size_t best_correct = 0;
        const int max_epochs = std::max(1, o_.max_epochs);
        for (int e = 1; e <= max_epochs; ++e) {
            phase_begin_ = 0.35 + 0.4 * (e - 1) / max_epochs;
            phase_width_ = 0.4 / max_epochs;
            HeldOutScore score = epoch(false);
            if (held_count == 0) {
                best_epoch = e;
                continue;
            }
            if (score.log_loss < best_loss) {
                best_loss = score.log_loss;
                best_correct = score.correct;
                best_epoch = e;
            } else if (e - best_epoch >= 2) {
                break;
            }
        }
        if (held_count > 0) result.holdout_accuracy = double(best_correct) / double(held_count);
        if (held_count > 0) {
            // The epoch count is known; now let the held-out reviews teach too.
            std::fill(held_.begin(), held_.end(), 0);
            recount_from_cache();
            learner_.reset(prior_logit(false));
            rng_ = o_.seed;
            for (int e = 1; e <= best_epoch; ++e) {
                phase_begin_ = 0.75 + 0.24 * (e - 1) / best_epoch;
                phase_width_ = 0.24 / best_epoch;
                epoch(true);
            }
        }
        result.epochs = best_epoch;
        result.model = learner_.fold();
        return result;
    }

private:
    void report(double f) {
        reported_ = std::max(reported_, std::min(f, 0.99));
        if (progress_) progress_(reported_);
    }

    double prior_logit(bool train_only) const {
        double pos = 0, neg = 0;
        for (std::size_t i = 0; i < labels_.size(); ++i) {
            if (train_only && held_[i]) continue;
            (labels_[i] ? pos : neg) += 1;
        }
        return std::log((pos + 1) / (neg + 1));
    }

    bool next_line(std::string_view& line, std::size_t i) {
        if (!src_.next(line))
            throw Error("the reviews ended early, at review " + std::to_string(i + 1) + " (was the file changed while training?)",
                        "评论在第 " + std::to_string(i + 1) + " 条提前结束（训练期间文件被修改了吗？）");
        return true;
    }

    void count_pass() {
        const std::size_t n = labels_.size();
        const std::size_t buckets = std::size_t{1} << o_.features.bits;
        // Only AdaGrad on cached reviews uses these counts; the SVM counts
        // per fold and the streamed path starts over.
        Counts counts(o_.use_sgd ? buckets : 0, {0, 0});
        cached_ = true;
        cache_.clear();
        // Pages of the reserve are only touched as they fill, and growth
        // without it would hold two copies at once.
        cache_.reserve(o_.cache_limit);
        offsets_.reserve(n + 1);
        offsets_.assign(1, 0);
        src_.rewind();
        std::string_view line;
        for (std::size_t i = 0; i < n; ++i) {
            next_line(line, i);
            fx_.extract(line, ids_);
            if (o_.use_sgd && !held_[i]) {
                const int y = labels_[i];
                for (std::uint32_t id : ids_) ++counts[id][y];
            }
            // Once the first reviews show the whole set will not fit by far,
            // stream at once instead of filling the cache first.
            const bool hopeless = i + 1 == kSampleLines &&
                                  double(cache_.size() + ids_.size()) / double(i + 1) * double(n) > 2.0 * double(o_.cache_limit);
            if (hopeless || cache_.size() + ids_.size() > o_.cache_limit) {
                // Too many to keep: the streamed path starts over.
                cached_ = false;
                std::vector<std::uint32_t>().swap(cache_);
                std::vector<std::uint64_t>().swap(offsets_);
                return;
            }
            cache_.insert(cache_.end(), ids_.begin(), ids_.end());
            offsets_.push_back(cache_.size());
            if ((i & 1023) == 0) report(0.35 * double(i) / double(n));
        }
        if (o_.use_sgd) learner_.set_ratios(counts);
    }

    void recount_from_cache() {
        const std::size_t buckets = std::size_t{1} << o_.features.bits;
        Counts counts(buckets, {0, 0});
        for (std::size_t i = 0; i < labels_.size(); ++i) {
            const int y = labels_[i];
            for (std::uint64_t k = offsets_[i]; k < offsets_[i + 1]; ++k) ++counts[cache_[k]][y];
        }
        learner_.set_ratios(counts);
    }

    // One pass of updates in shuffled order, then the held-out score.
    HeldOutScore epoch(bool all) {
        const std::size_t n = labels_.size();
        HeldOutScore score;
        std::vector<std::uint32_t> order;
        order.reserve(n);
        for (std::size_t i = 0; i < n; ++i)
            if (all || !held_[i]) order.push_back(static_cast<std::uint32_t>(i));
        shuffle(order, rng_);
        for (std::size_t k = 0; k < order.size(); ++k) {
            learner_.step(cached_doc(order[k]));
            if ((k & 4095) == 0) report(phase_begin_ + phase_width_ * double(k) / double(order.size()));
        }
        for (std::size_t i = 0; i < n && !all; ++i)
            if (held_[i]) score.add(Learner::sigmoid(learner_.score(cached_doc(i))), labels_[i]);
        return score;
    }

    // Reviews too many to keep: features without letter n-grams (they cost
    // most of the hashing time and add little once there is this much
    // data), hashed on all cores, one pass to count, then passes of AdaGrad
    // in file order shuffled within blocks. Their number follows the size of
    // the data: a single pass once it is large enough. Each review is judged
    // before it is learnt in the last pass (progressive validation), which
    // gives a held-out estimate without setting reviews aside.
    TrainResult run_streamed() {
        const std::size_t n = labels_.size();
        TrainResult result;
        result.streamed = true;
        std::fill(held_.begin(), held_.end(), 0);
        FeatureOptions f = o_.features;
        f.char_min = f.char_max = 0;
        const int passes = streamed_passes(n, o_.max_epochs);
        const double base = reported_;
        const double width = (0.99 - base) / (passes + 1);
        BlockPipeline pipe(src_, n, f, kBlockLines, o_.threads ? o_.threads : BlockPipeline::default_workers());
        {
            const std::size_t buckets = std::size_t{1} << f.bits;
            Counts counts(buckets, {0, 0});
            pipe.run([&](const FeatureBlock& b) {
                for (std::size_t k = 0; k < b.count; ++k) {
                    const int y = labels_[b.first + k];
                    for (std::uint64_t j = b.offsets[k]; j < b.offsets[k + 1]; ++j) ++counts[b.ids[j]][y];
                }
                report(base + width * double(b.first + b.count) / double(n));
            });
            learner_.set_ratios(counts);
        }
        learner_.reset(prior_logit(false));
        rng_ = o_.seed;
        HeldOutScore progressive;
        std::vector<std::uint32_t> order;
        for (int e = 1; e <= passes; ++e) {
            const double begin = base + width * e;
            pipe.run([&](const FeatureBlock& b) {
                order.resize(b.count);
                for (std::size_t k = 0; k < b.count; ++k) order[k] = static_cast<std::uint32_t>(k);
                shuffle(order, rng_);
                for (std::uint32_t k : order) {
                    Doc d{b.ids.data() + b.offsets[k], static_cast<std::uint32_t>(b.offsets[k + 1] - b.offsets[k]),
                          labels_[b.first + k]};
                    double p = learner_.step(d);
                    if (e == passes) progressive.add(p, d.label);
                }
                report(begin + width * double(b.first + b.count) / double(n));
            });
        }
        result.epochs = passes;
        result.holdout_accuracy = double(progressive.correct) / double(n);
        result.holdout_size = n;
        result.progressive = true;
        result.model = learner_.fold();
        result.model.features = f;
        return result;
    }

    static int streamed_passes(std::size_t n, int max_epochs) {
        // About half a million updates per feature set is where more passes
        // stop paying for the re-reading.
        constexpr std::size_t kWanted = 500000;
        const std::size_t wanted = (kWanted + n - 1) / n;
        return static_cast<int>(std::clamp<std::size_t>(wanted, 1, std::size_t(std::clamp(max_epochs, 1, 3))));
    }

    // One NBSVM fit on the reviews outside `fold` (all of them for -1), over
    // dense feature numbers. Touches only its own state, so folds can run on
    // threads side by side.
    struct SvmFit {
        std::vector<float> r, w;  // NB ratio and SVM weight per feature
        double bias = 0;
        double mean_abs = 0;      // mean |w| over the features seen
    };

    bool in_fit(std::size_t i, int fold) const { return fold < 0 || fold_[i] != fold; }

    // Squared-hinge SVM on the NB-scaled features by dual coordinate descent
    // (Hsieh et al. 2008), the solver NBSVM uses; the bias is a feature of
    // constant value 1. done receives the share of the iteration budget used.
    SvmFit fit_svm(int fold, std::atomic<int>* done_permille) const {
        const std::size_t n = labels_.size(), u = dense_to_bucket_.size();
        SvmFit fit;
        {
            Counts counts(u, {0, 0});
            for (std::size_t i = 0; i < n; ++i) {
                if (!in_fit(i, fold)) continue;
                const int y = labels_[i];
                for (std::uint64_t k = offsets_[i]; k < offsets_[i + 1]; ++k) ++counts[cache_[k]][y];
            }
            fit.r = nb_ratios(counts, o_.nb_smoothing);
        }
        const auto& r = fit.r;
        std::vector<double> wd(u, 0.0);
        double bias = 0;
        const double diag = 0.5 / o_.svm_c;
        std::vector<std::uint32_t> order;
        for (std::size_t i = 0; i < n; ++i)
            if (in_fit(i, fold)) order.push_back(static_cast<std::uint32_t>(i));
        std::vector<double> qii(n, 0.0), alpha(n, 0.0);
        for (std::uint32_t i : order) {
            Doc d = cached_doc(i);
            double q = 1.0 + diag;
            for (std::uint32_t k = 0; k < d.size; ++k) q += double(r[d.ids[k]]) * r[d.ids[k]];
            qii[i] = q;
        }
        std::uint64_t rng = o_.seed + 0x9E3779B97F4A7C15ULL * std::uint64_t(fold + 1);
        const int max_iter = 200;
        for (int it = 0; it < max_iter; ++it) {
            shuffle(order, rng);
            double pg_max = -1e300, pg_min = 1e300;
            for (std::uint32_t i : order) {
                Doc d = cached_doc(i);
                const double y = d.label ? 1.0 : -1.0;
                double s = bias;
                for (std::uint32_t k = 0; k < d.size; ++k) s += wd[d.ids[k]] * r[d.ids[k]];
                const double g = y * s - 1.0 + diag * alpha[i];
                double pg = alpha[i] == 0.0 ? std::min(g, 0.0) : g;
                pg_max = std::max(pg_max, pg);
                pg_min = std::min(pg_min, pg);
                if (pg == 0.0) continue;
                const double old = alpha[i];
                alpha[i] = std::max(old - g / qii[i], 0.0);
                const double step = (alpha[i] - old) * y;
                for (std::uint32_t k = 0; k < d.size; ++k) wd[d.ids[k]] += step * r[d.ids[k]];
                bias += step;
            }
            if (done_permille) done_permille->store((it + 1) * 1000 / max_iter);
            if (pg_max - pg_min < 0.1) break;
        }
        if (done_permille) done_permille->store(1000);
        fit.w.resize(u);
        double sum = 0;
        std::size_t used = 0;
        for (std::size_t j = 0; j < u; ++j) {
            fit.w[j] = static_cast<float>(wd[j]);
            if (r[j] != 0.0f) {
                sum += std::abs(wd[j]);
                ++used;
            }
        }
        fit.bias = bias;
        fit.mean_abs = used ? sum / double(used) : 0.0;
        return fit;
    }

    static std::vector<float> nb_ratios(const Counts& counts, double a) {
        double used = 0, sp = 0, sn = 0;
        for (const auto& c : counts) {
            if (c[0] || c[1]) ++used;
            sn += c[0];
            sp += c[1];
        }
        const double norm = std::log((sn + a * used) / (sp + a * used));
        std::vector<float> r(counts.size(), 0.0f);
        for (std::size_t j = 0; j < counts.size(); ++j)
            if (counts[j][0] || counts[j][1])
                r[j] = static_cast<float>(std::log((a + counts[j][1]) / (a + counts[j][0])) + norm);
        return r;
    }

    // Platt scaling: p = sigmoid(a s + c) fitted by Newton's method on
    // held-out margins, so the printed probabilities mean something; c also
    // moves the decision threshold, which matters when one class dominates.
    static void fit_platt(const std::vector<double>& s, const std::vector<std::uint8_t>& y, double& a, double& c) {
        a = 1;
        c = 0;
        for (int it = 0; it < 50; ++it) {
            double ga = 0, gc = 0, haa = 1e-9, hac = 0, hcc = 1e-9;
            for (std::size_t i = 0; i < s.size(); ++i) {
                double p = Learner::sigmoid(a * s[i] + c);
                double d = p - y[i], h = p * (1 - p);
                ga += d * s[i];
                gc += d;
                haa += h * s[i] * s[i];
                hac += h * s[i];
                hcc += h;
            }
            double det = haa * hcc - hac * hac;
            if (!(det > 0)) break;
            double da = (hcc * ga - hac * gc) / det, dc = (haa * gc - hac * ga) / det;
            a -= da;
            c -= dc;
            if (std::abs(da) + std::abs(dc) < 1e-9) break;
        }
        if (!(a > 0) || !std::isfinite(c)) {
            a = 1;
            c = 0;
        }
    }

    // Features become dense numbers 0..u-1 in order of first appearance, so
    // the per-fold tables are as small as the vocabulary.
    void densify() {
        std::vector<std::uint32_t> map(std::size_t{1} << o_.features.bits, 0xFFFFFFFFu);
        dense_to_bucket_.clear();
        for (std::uint32_t& id : cache_) {
            if (map[id] == 0xFFFFFFFFu) {
                map[id] = static_cast<std::uint32_t>(dense_to_bucket_.size());
                dense_to_bucket_.push_back(id);
            }
            id = map[id];
        }
    }

    // k-fold cross-validation picks the NB interpolation and fits Platt
    // scaling on every review's out-of-fold score; the model is then fit
    // on all reviews. Folds run on all cores; each has its own seed, so the
    // result does not depend on the thread count.
    TrainResult run_svm(bool cross_validate) {
        const std::size_t n = labels_.size();
        TrainResult result;
        densify();
        static constexpr double kBetas[] = {0.1, 0.25, 0.4, 0.55, 0.7, 0.85, 1.0};
        double beta = o_.interpolation, a = 1, c = 0;
        const double cv_begin = reported_, cv_end = cross_validate ? cv_begin + 0.75 * (0.99 - cv_begin) : cv_begin;
        if (cross_validate) {
            const int k = kFolds;
            fold_.resize(n);
            for (std::size_t i = 0; i < n; ++i)
                fold_[i] = static_cast<std::uint8_t>(splitmix64(o_.seed * 0x2545F4914F6CDD1DULL + i) % k);
            // Per review: sum of r over its features and of w r, enough to
            // score it for every interpolation.
            std::vector<double> sum_r(n), sum_wr(n);
            std::vector<double> fold_bias(k), fold_mean(k);
            std::vector<std::atomic<int>> done(k);
            for (auto& d : done) d.store(0);
            std::atomic<int> next{0};
            std::exception_ptr error;
            std::mutex error_mu;
            auto work = [&] {
                for (;;) {
                    const int f = next.fetch_add(1);
                    if (f >= k) return;
                    try {
                        SvmFit fit = fit_svm(f, &done[f]);
                        for (std::size_t i = 0; i < n; ++i) {
                            if (fold_[i] != f) continue;
                            Doc d = cached_doc(i);
                            double sr = 0, swr = 0;
                            for (std::uint32_t q = 0; q < d.size; ++q) {
                                sr += fit.r[d.ids[q]];
                                swr += double(fit.w[d.ids[q]]) * fit.r[d.ids[q]];
                            }
                            sum_r[i] = sr;
                            sum_wr[i] = swr;
                        }
                        fold_bias[f] = fit.bias;
                        fold_mean[f] = fit.mean_abs;
                    } catch (...) {
                        std::lock_guard<std::mutex> lock(error_mu);
                        if (!error) error = std::current_exception();
                        done[f].store(1000);
                    }
                }
            };
            const unsigned threads = std::min<unsigned>(k, o_.threads ? o_.threads : BlockPipeline::default_workers());
            std::vector<std::thread> pool;
            for (unsigned t = 0; t < threads; ++t) pool.emplace_back(work);
            for (;;) {
                int total = 0;
                for (auto& d : done) total += d.load();
                report(cv_begin + (cv_end - cv_begin) * double(total) / (1000.0 * k));
                if (total == 1000 * k) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            for (auto& t : pool) t.join();
            if (error) std::rethrow_exception(error);

            double best_loss = std::numeric_limits<double>::infinity();
            std::vector<double> s(n);
            for (double b : kBetas) {
                for (std::size_t i = 0; i < n; ++i) {
                    const int f = fold_[i];
                    s[i] = fold_bias[f] + (1 - b) * fold_mean[f] * sum_r[i] + b * sum_wr[i];
                }
                double pa, pc;
                fit_platt(s, labels_, pa, pc);
                HeldOutScore score;
                for (std::size_t i = 0; i < n; ++i) score.add(Learner::sigmoid(pa * s[i] + pc), labels_[i]);
                if (score.log_loss < best_loss) {
                    best_loss = score.log_loss;
                    beta = b;
                    a = pa;
                    c = pc;
                    result.holdout_accuracy = double(score.correct) / double(n);
                }
            }
            result.holdout_size = n;
            result.cross_validated = true;
            std::vector<std::uint8_t>().swap(fold_);
        }
        std::atomic<int> done{0};
        const double final_begin = cv_end;
        SvmFit fit;
        {
            std::exception_ptr error;
            std::thread t([&] {
                try {
                    fit = fit_svm(-1, &done);
                } catch (...) {
                    error = std::current_exception();
                    done.store(1000);
                }
            });
            while (done.load() < 1000) {
                report(final_begin + (0.99 - final_begin) * done.load() / 1000.0);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            t.join();
            if (error) std::rethrow_exception(error);
        }
        Model m;
        m.features = o_.features;
        m.weights.assign(std::size_t{1} << o_.features.bits, 0.0f);
        for (std::size_t j = 0; j < dense_to_bucket_.size(); ++j) {
            const double w = (1 - beta) * fit.mean_abs + beta * fit.w[j];
            m.weights[dense_to_bucket_[j]] = static_cast<float>(a * w * fit.r[j]);
        }
        m.bias = static_cast<float>(a * fit.bias + c);
        result.interpolation = beta;
        result.epochs = 1;
        result.model = std::move(m);
        return result;
    }

    Doc cached_doc(std::size_t i) const {
        return Doc{cache_.data() + offsets_[i], static_cast<std::uint32_t>(offsets_[i + 1] - offsets_[i]), labels_[i]};
    }

    TextSource& src_;
    const std::vector<std::uint8_t>& labels_;
    const TrainOptions& o_;
    const std::function<void(double)>& progress_;
    FeatureExtractor fx_;
    Learner learner_;
    std::vector<std::uint8_t> held_;
    std::vector<std::uint32_t> ids_;
    bool cached_ = true;
    std::vector<std::uint32_t> cache_;
    std::vector<std::uint64_t> offsets_;
    std::vector<std::uint32_t> dense_to_bucket_;
    std::vector<std::uint8_t> fold_;
    double prior_ = 0;
    std::uint64_t rng_ = 0;
    double phase_begin_ = 0, phase_width_ = 0;
    double reported_ = 0;
    static constexpr std::size_t kBlockLines = 8192;
    static constexpr std::size_t kSampleLines = 2000;
    static constexpr int kFolds = 5;
};

}  // namespace

TrainResult train_model(TextSource& reviews, const std::vector<std::uint8_t>& labels, const TrainOptions& options,
                        const std::function<void(double)>& progress) {
    check_feature_options(options.features);
    if (labels.empty()) throw Error("no reviews to learn from", "没有可供学习的评论");
    Trainer t(reviews, labels, options, progress);
    return t.run();
}

}  // namespace sentiment
