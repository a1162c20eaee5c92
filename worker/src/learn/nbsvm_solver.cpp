#include "learn/nbsvm_solver.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "features/model.h"
#include "learn/nb_counts.h"
#include "learn/seeded_shuffle.h"

namespace sentiment {

// Stop when the projected gradients of all reviews lie this close together.
constexpr double kTolerance = 0.1;

namespace {
// Weight and NB ratio of a feature side by side: the solver reaches
// features at random, and one cache miss per feature instead of two is
// most of its time.
struct Cell {
    double w;
    float r;
};
}  // namespace

SvmFit fit_nbsvm(const ReviewCache& cache, const std::vector<std::uint8_t>& labels, std::size_t u,
                 const std::vector<bool>& in_fit, const SvmSettings& settings, std::atomic<int>* permille) {
    const std::size_t n = cache.size();
    auto used = [&](std::size_t i) { return in_fit.empty() || in_fit[i]; };
    SvmFit fit;
    {
        NbCounts counts(u, {0, 0});
        for (std::size_t i = 0; i < n; ++i)
            if (used(i)) count_review(counts, cache.doc(i, labels));
        fit.r = nb_ratios(counts, settings.smoothing);
    }
    std::vector<Cell> cells(u);
    for (std::size_t j = 0; j < u; ++j) cells[j] = Cell{0.0, fit.r[j]};
    double bias = 0;
    const double diag = 0.5 / settings.c;
    std::vector<std::uint32_t> active, head;
    for (std::size_t i = 0; i < n; ++i)
        if (used(i)) active.push_back(static_cast<std::uint32_t>(i));
    std::vector<double> qii(n, 0.0);
    std::vector<double>& alpha = fit.alpha;
    alpha.assign(n, 0.0);
    for (std::uint32_t i : active) {
        Doc d = cache.doc(i, labels);
        double q = 1.0 + diag;
        for (std::uint32_t k = 0; k < d.size; ++k) q += double(cells[d.ids[k]].r) * cells[d.ids[k]].r;
        qii[i] = q;
    }
    // Shrinking (as in LIBLINEAR): a review whose dual variable is 0 and
    // whose gradient is above the last pass's largest projected gradient is
    // left out until the remaining ones converge; most reviews are far on
    // the right side of the margin after a few passes.
    std::size_t live = active.size();
    double pg_max_old = std::numeric_limits<double>::infinity();
    std::uint64_t rng = settings.seed;
    for (int it = 0; it < settings.max_iter; ++it) {
        head.assign(active.begin(), active.begin() + live);
        seeded_shuffle(head, rng);
        std::copy(head.begin(), head.end(), active.begin());
        double pg_max = -std::numeric_limits<double>::infinity(), pg_min = -pg_max;
        for (std::size_t s = 0; s < live; ++s) {
            const std::uint32_t i = active[s];
            Doc d = cache.doc(i, labels);
            const double y = d.label ? 1.0 : -1.0;
            double score = bias;
            for (std::uint32_t k = 0; k < d.size; ++k) {
                const Cell& c = cells[d.ids[k]];
                score += c.w * c.r;
            }
            const double g = y * score - 1.0 + diag * alpha[i];
            double pg = g;
            if (alpha[i] == 0.0) {
                if (settings.shrinking && g > pg_max_old) {
                    std::swap(active[s], active[--live]);
                    --s;
                    continue;
                }
                pg = std::min(g, 0.0);
            }
            pg_max = std::max(pg_max, pg);
            pg_min = std::min(pg_min, pg);
            if (pg == 0.0) continue;
            const double old = alpha[i];
            alpha[i] = std::max(old - g / qii[i], 0.0);
            const double step = (alpha[i] - old) * y;
            for (std::uint32_t k = 0; k < d.size; ++k) {
                Cell& c = cells[d.ids[k]];
                c.w += step * c.r;
            }
            bias += step;
        }
        if (permille) permille->store((it + 1) * 1000 / settings.max_iter);
        if (pg_max - pg_min < kTolerance) {
            if (live == active.size()) break;
            // Converged on the active ones: check every review once more.
            live = active.size();
            pg_max_old = std::numeric_limits<double>::infinity();
            continue;
        }
        pg_max_old = pg_max > 0 ? pg_max : std::numeric_limits<double>::infinity();
    }
    if (permille) permille->store(1000);
    fit.w.resize(u);
    double sum = 0;
    std::size_t seen = 0;
    for (std::size_t j = 0; j < u; ++j) {
        fit.w[j] = static_cast<float>(cells[j].w);
        if (cells[j].r != 0.0f) {
            sum += std::abs(cells[j].w);
            ++seen;
        }
    }
    fit.bias = bias;
    fit.mean_abs = seen ? sum / double(seen) : 0.0;
    return fit;
}

Platt fit_platt(const std::vector<double>& s, const std::vector<std::uint8_t>& y) {
    double a = 1, c = 0;
    for (int it = 0; it < 50; ++it) {
        double ga = 0, gc = 0, haa = 1e-9, hac = 0, hcc = 1e-9;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const double p = sigmoid(a * s[i] + c);
            const double d = p - y[i], h = p * (1 - p);
            ga += d * s[i];
            gc += d;
            haa += h * s[i] * s[i];
            hac += h * s[i];
            hcc += h;
        }
        const double det = haa * hcc - hac * hac;
        if (!(det > 0)) break;
        const double da = (hcc * ga - hac * gc) / det, dc = (haa * gc - hac * ga) / det;
        a -= da;
        c -= dc;
        if (std::abs(da) + std::abs(dc) < 1e-9) break;
    }
    if (!(a > 0) || !std::isfinite(c)) return Platt{};
    return Platt{a, c};
}

Calibration calibrate(const std::vector<ScoreParts>& parts, const std::vector<std::uint8_t>& labels) {
    static constexpr double kBetas[] = {0.1, 0.25, 0.4, 0.55, 0.7, 0.85, 1.0};
    Calibration best;
    double best_loss = std::numeric_limits<double>::infinity();
    const std::size_t n = parts.size();
    std::vector<double> s(n);
    for (double b : kBetas) {
        for (std::size_t i = 0; i < n; ++i)
            s[i] = parts[i].bias + (1 - b) * parts[i].mean_abs * parts[i].sum_r + b * parts[i].sum_wr;
        const Platt p = fit_platt(s, labels);
        double loss = 0;
        std::size_t correct = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double q = sigmoid(p.a * s[i] + p.c);
            loss -= std::log(labels[i] ? std::max(q, 1e-12) : std::max(1 - q, 1e-12));
            correct += (q >= 0.5) == (labels[i] == 1);
        }
        if (loss < best_loss) {
            best_loss = loss;
            best = Calibration{b, p, n ? double(correct) / double(n) : -1};
        }
    }
    return best;
}

}  // namespace sentiment
