#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "learn/nbsvm_solver.h"

using namespace sentiment;

namespace {

// Five features, one of them never seen (r = 0), and four reviews over them.
const std::vector<float> kRatios = {0.5f, -1.25f, 2.0f, 0.0f, 0.75f};
const std::vector<std::vector<std::uint32_t>> kIds = {{0, 2, 4}, {1, 2}, {0, 1}, {4}};
const std::vector<std::uint8_t> kLabels = {1, 0, 1, 0};
constexpr double kC = 0.05;

Doc doc(std::size_t i) { return Doc{kIds[i].data(), static_cast<std::uint32_t>(kIds[i].size()), kLabels[i]}; }

double y(std::size_t i) { return kLabels[i] ? 1.0 : -1.0; }

// z_i . z_k over the features the two reviews share.
double dot(std::size_t i, std::size_t k) {
    double s = 0;
    for (std::uint32_t a : kIds[i])
        for (std::uint32_t b : kIds[k])
            if (a == b) s += double(kRatios[a]) * kRatios[a];
    return s;
}

// The dual's gradient along review k for these alphas, from its definition
// rather than from weights kept up to date.
template <class Alpha>
double gradient_from_alphas(const std::vector<Alpha>& alpha, std::size_t k) {
    double score = 0;
    for (std::size_t i = 0; i < alpha.size(); ++i) score += double(alpha[i]) * y(i) * (1 + dot(i, k));
    return y(k) * score - 1 + 0.5 / kC * double(alpha[k]);
}

// A few passes of steps, as both learners take them.
template <class Alpha>
std::vector<Alpha> solve(NbsvmSolver& solver, int passes) {
    std::vector<Alpha> alpha(kIds.size(), Alpha(0));
    for (int p = 0; p < passes; ++p)
        for (std::size_t i = 0; i < kIds.size(); ++i)
            solver.step(doc(i), solver.curvature(doc(i)), solver.gradient(doc(i), alpha[i]), alpha[i]);
    return alpha;
}

template <class Alpha>
class Solver : public ::testing::Test {};
using AlphaTypes = ::testing::Types<double, float>;
TYPED_TEST_SUITE(Solver, AlphaTypes);

// The weights stay w = sum a_i y_i z_i and b = sum a_i y_i, with the alpha
// as stored: every gradient the solver reports is the dual's.
TYPED_TEST(Solver, KeepsTheWeightsInStepWithTheStoredAlphas) {
    for (int passes : {1, 2, 5}) {
        NbsvmSolver fresh(kRatios, kC);
        const std::vector<TypeParam> alpha = solve<TypeParam>(fresh, passes);
        for (std::size_t k = 0; k < kIds.size(); ++k)
            EXPECT_NEAR(fresh.gradient(doc(k), alpha[k]), gradient_from_alphas(alpha, k), 1e-12)
                << "review " << k << " after " << passes << " passes";
    }
}

// A step minimises the dual along its variable: the gradient there is 0
// afterwards, unless alpha would go below 0, where it stops at 0.
TYPED_TEST(Solver, StepMinimisesAlongItsVariableAndStaysAtLeastZero) {
    NbsvmSolver solver(kRatios, kC);
    TypeParam alpha = 0;
    const double g = solver.gradient(doc(0), alpha);
    EXPECT_EQ(solver.step(doc(0), solver.curvature(doc(0)), g, alpha), g);  // below 0: moves
    EXPECT_GT(alpha, 0);
    EXPECT_NEAR(solver.gradient(doc(0), alpha), 0.0, 1e-6);
    // Pushed back hard: alpha stops at 0, and so do the weights it made.
    solver.step(doc(0), solver.curvature(doc(0)), 1e6, alpha);
    EXPECT_EQ(alpha, 0);
    EXPECT_NEAR(solver.gradient(doc(0), alpha), -1.0, 1e-12);
    // At 0 with a positive gradient the projected gradient is 0: no step.
    EXPECT_EQ(solver.step(doc(1), solver.curvature(doc(1)), 0.5, alpha), 0.0);
    EXPECT_EQ(alpha, 0);
}

TEST(Solver, FinishGivesMeanAbsOverTheFeaturesSeen) {
    NbsvmSolver solver(kRatios, kC);
    const std::vector<double> alpha = solve<double>(solver, 3);
    const NbsvmFit fit = std::move(solver).finish();
    ASSERT_EQ(fit.cells.size(), kRatios.size());
    double sum = 0, bias = 0;
    for (std::size_t j = 0; j < kRatios.size(); ++j) {
        EXPECT_EQ(fit.cells[j].r, kRatios[j]);
        if (kRatios[j] != 0) sum += std::abs(fit.cells[j].w);
    }
    EXPECT_EQ(fit.cells[3].w, 0.0);  // never seen, never moved
    EXPECT_NEAR(fit.mean_abs, sum / 4, 1e-15);
    for (std::size_t i = 0; i < alpha.size(); ++i) bias += alpha[i] * y(i);
    EXPECT_NEAR(fit.bias, bias, 1e-12);
}

// What calibration judges (score parts under an interpolation and scale)
// must be what the model it builds computes, wherever its buckets lie.
struct ModelCase {
    const char* name;
    std::vector<std::uint32_t> bucket_of;  // empty: feature j in bucket j
    friend void PrintTo(const ModelCase& c, std::ostream* os) { *os << c.name; }
};

class FitToModel : public ::testing::TestWithParam<ModelCase> {};

TEST_P(FitToModel, ScoresAsCalibrationSawThem) {
    NbsvmSolver solver(kRatios, kC);
    solve<double>(solver, 4);
    const NbsvmFit fit = std::move(solver).finish();
    FeatureOptions features;
    features.bits = 8;
    const std::vector<std::uint32_t>& bucket_of = GetParam().bucket_of;
    for (const Calibration& cal : {Calibration{0.25, {}, -1}, Calibration{0.7, Platt{1.8, -0.4}, -1}}) {
        const Model m = to_model(fit, cal, features, bucket_of);
        ASSERT_EQ(m.weights.size(), 256u);
        for (std::size_t i = 0; i < kIds.size(); ++i) {
            const ScoreParts p = score_parts(fit, doc(i));
            const double expected =
                cal.platt.a * (p.bias + (1 - cal.beta) * p.mean_abs * p.sum_r + cal.beta * p.sum_wr) + cal.platt.c;
            std::vector<std::uint32_t> buckets;
            for (std::uint32_t j : kIds[i]) buckets.push_back(bucket_of.empty() ? j : bucket_of[j]);
            EXPECT_NEAR(m.score(buckets), expected, 1e-5) << "review " << i << ", beta " << cal.beta;
        }
        // Features never seen leave their bucket empty.
        EXPECT_EQ(m.weights[bucket_of.empty() ? 3 : bucket_of[3]], 0.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(NbsvmSolver, FitToModel,
                         ::testing::Values(ModelCase{"identity", {}},
                                           ModelCase{"scattered", {200, 7, 131, 64, 255}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
