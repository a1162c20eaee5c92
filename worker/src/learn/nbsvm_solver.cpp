#include "learn/nbsvm_solver.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sentiment {

NbsvmSolver::NbsvmSolver(const std::vector<float>& r, double c) : cells_(r.size()), diag_(0.5 / c) {
    for (std::size_t j = 0; j < r.size(); ++j) cells_[j].r = r[j];
}

double NbsvmSolver::curvature(const Doc& d) const {
    double q = 1.0 + diag_;
    for (std::uint32_t k = 0; k < d.size; ++k) q += double(cells_[d.ids[k]].r) * cells_[d.ids[k]].r;
    return q;
}

double NbsvmSolver::gradient(const Doc& d, double alpha) const {
    double score = bias_;
    for (std::uint32_t k = 0; k < d.size; ++k) {
        const Cell& c = cells_[d.ids[k]];
        score += c.w * c.r;
    }
    const double y = d.label ? 1.0 : -1.0;
    return y * score - 1.0 + diag_ * alpha;
}

template <class Alpha>
double NbsvmSolver::step(const Doc& d, double curvature, double g, Alpha& alpha) {
    const double pg = alpha == 0 ? std::min(g, 0.0) : g;
    if (pg == 0.0) return pg;
    const double old = alpha;
    alpha = static_cast<Alpha>(std::max(old - g / curvature, 0.0));
    const double change = (double(alpha) - old) * (d.label ? 1.0 : -1.0);
    for (std::uint32_t k = 0; k < d.size; ++k) {
        Cell& c = cells_[d.ids[k]];
        c.w += change * c.r;
    }
    bias_ += change;
    return pg;
}

template double NbsvmSolver::step<double>(const Doc&, double, double, double&);
template double NbsvmSolver::step<float>(const Doc&, double, double, float&);

NbsvmFit NbsvmSolver::finish() && {
    NbsvmFit fit;
    double sum = 0;
    std::size_t seen = 0;
    for (const Cell& c : cells_)
        if (c.r != 0.0f) {
            sum += std::abs(c.w);
            ++seen;
        }
    fit.mean_abs = seen ? sum / double(seen) : 0.0;
    fit.bias = bias_;
    fit.cells = std::move(cells_);
    return fit;
}

ScoreParts score_parts(const NbsvmFit& fit, const Doc& d) {
    ScoreParts p{fit.bias, fit.mean_abs, 0, 0};
    for (std::uint32_t k = 0; k < d.size; ++k) {
        const Cell& c = fit.cells[d.ids[k]];
        p.sum_r += c.r;
        p.sum_wr += c.w * c.r;
    }
    return p;
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

Model to_model(const NbsvmFit& fit, const Calibration& cal, const FeatureOptions& features,
               const std::vector<std::uint32_t>& bucket_of) {
    Model m;
    m.features = features;
    m.weights.assign(std::size_t{1} << features.bits, 0.0f);
    for (std::size_t j = 0; j < fit.cells.size(); ++j) {
        const Cell& c = fit.cells[j];
        if (c.r == 0.0f) continue;
        const double w = (1 - cal.beta) * fit.mean_abs + cal.beta * c.w;
        m.weights[bucket_of.empty() ? j : bucket_of[j]] = static_cast<float>(cal.platt.a * w * c.r);
    }
    m.bias = static_cast<float>(cal.platt.a * fit.bias + cal.platt.c);
    return m;
}

}  // namespace sentiment
