#include <gtest/gtest.h>

#include "learn/memory_budget.h"
#include "learn/training_plan.h"

using namespace sentiment;

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// A thousand short reviews, of which the plan sees a sample.
ReviewSample short_reviews() {
    ReviewSample s;
    s.reviews = 1000;
    s.bytes = 100 * 1000;
    s.ids = 150 * 1000;
    s.ids_without_letters = 60 * 1000;
    return s;
}

// Memory and threads left to the machine (0) are resolved here and nowhere
// else; the fits whose tables the budget must hold follow the threads only
// while cross-validation runs folds side by side.
struct PlanCase {
    const char* name;
    std::uint64_t memory;  // asked for; 0: this machine's share
    unsigned threads;      // asked for; 0: one per core
    double holdout;
    std::size_t reviews;
    bool cross_validate;
    unsigned fits_at_once;  // 0: as many as the threads, five at most
    friend void PrintTo(const PlanCase& c, std::ostream* os) { *os << c.name; }
};

class Plan : public ::testing::TestWithParam<PlanCase> {};

TEST_P(Plan, ResolvesMemoryAndThreadsOnce) {
    const PlanCase& c = GetParam();
    TrainOptions o;
    o.memory_budget = c.memory;
    o.threads = c.threads;
    o.holdout = c.holdout;
    const TrainingPlan plan = plan_training(short_reviews(), c.reviews, o);
    EXPECT_EQ(plan.budget, c.memory ? c.memory : default_memory_budget(physical_memory_bytes(), address_space_limit()));
    EXPECT_EQ(plan.threads, c.threads ? c.threads : default_threads());
    EXPECT_GE(plan.threads, 1u);
    EXPECT_EQ(plan.cross_validate, c.cross_validate);
    if (c.fits_at_once) {
        EXPECT_EQ(plan.fits_at_once, c.fits_at_once);
    } else {
        EXPECT_EQ(plan.fits_at_once, std::min(plan.threads, 5u));
    }
    EXPECT_EQ(plan.path, SolverPath::InMemoryNbsvm);
}

INSTANTIATE_TEST_SUITE_P(
    TrainingPlan, Plan,
    ::testing::Values(PlanCase{"machine_defaults", 0, 0, 0.1, 5000, true, 0},
                      PlanCase{"asked_for", 300 * kMiB, 3, 0.1, 5000, true, 3},
                      PlanCase{"folds_at_most_five_at_once", 300 * kMiB, 8, 0.1, 5000, true, 5},
                      PlanCase{"no_holdout_one_fit", 300 * kMiB, 8, 0.0, 5000, false, 1},
                      PlanCase{"too_few_reviews_one_fit", 300 * kMiB, 8, 0.1, 150, false, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// The plan's features, not the options', are what the learners get.
TEST(TrainingPlan, CarriesTheFeaturesAndReasonOfTheChoice) {
    TrainOptions o;
    o.memory_budget = 20 * kMiB;
    TrainingPlan plan = plan_training(short_reviews(), 2000000, o);
    EXPECT_EQ(plan.path, SolverPath::Streamed);
    EXPECT_EQ(plan.features.char_max, 0);
    EXPECT_EQ(o.features.char_max, FeatureOptions{}.char_max);
    EXPECT_NE(plan.reason.find("over the budget"), std::string::npos) << plan.reason;

    o.memory_budget = 512 * kMiB;
    plan = plan_training(short_reviews(), 10000, o);
    ASSERT_EQ(plan.path, SolverPath::InMemoryNbsvm);
    ASSERT_EQ(plan.reason, "");
    plan.stream_instead("features over the budget");
    EXPECT_EQ(plan.path, SolverPath::Streamed);
    EXPECT_EQ(plan.reason, "features over the budget");
}

}  // namespace
