#include "svm_solver.h"

#include <algorithm>
#include <cmath>

#include "seeded_shuffle.h"

namespace sentiment {

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
    const auto& r = fit.r;
    std::vector<double> wd(u, 0.0);
    double bias = 0;
    const double diag = 0.5 / settings.c;
    std::vector<std::uint32_t> order;
    for (std::size_t i = 0; i < n; ++i)
        if (used(i)) order.push_back(static_cast<std::uint32_t>(i));
    std::vector<double> qii(n, 0.0);
    std::vector<double>& alpha = fit.alpha;
    alpha.assign(n, 0.0);
    for (std::uint32_t i : order) {
        Doc d = cache.doc(i, labels);
        double q = 1.0 + diag;
        for (std::uint32_t k = 0; k < d.size; ++k) q += double(r[d.ids[k]]) * r[d.ids[k]];
        qii[i] = q;
    }
    std::uint64_t rng = settings.seed;
    for (int it = 0; it < settings.max_iter; ++it) {
        seeded_shuffle(order, rng);
        double pg_max = -1e300, pg_min = 1e300;
        for (std::uint32_t i : order) {
            Doc d = cache.doc(i, labels);
            const double y = d.label ? 1.0 : -1.0;
            double s = bias;
            for (std::uint32_t k = 0; k < d.size; ++k) s += wd[d.ids[k]] * r[d.ids[k]];
            const double g = y * s - 1.0 + diag * alpha[i];
            const double pg = alpha[i] == 0.0 ? std::min(g, 0.0) : g;
            pg_max = std::max(pg_max, pg);
            pg_min = std::min(pg_min, pg);
            if (pg == 0.0) continue;
            const double old = alpha[i];
            alpha[i] = std::max(old - g / qii[i], 0.0);
            const double step = (alpha[i] - old) * y;
            for (std::uint32_t k = 0; k < d.size; ++k) wd[d.ids[k]] += step * r[d.ids[k]];
            bias += step;
        }
        if (permille) permille->store((it + 1) * 1000 / settings.max_iter);
        if (pg_max - pg_min < 0.1) break;
    }
    if (permille) permille->store(1000);
    fit.w.resize(u);
    double sum = 0;
    std::size_t seen = 0;
    for (std::size_t j = 0; j < u; ++j) {
        fit.w[j] = static_cast<float>(wd[j]);
        if (r[j] != 0.0f) {
            sum += std::abs(wd[j]);
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

}  // namespace sentiment
