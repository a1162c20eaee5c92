#include <gtest/gtest.h>

#include "features/dataset.h"
#include "io/line_reader.h"
#include "learn/solver_policy.h"
#include "trainer.h"

using namespace sentiment;

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

TEST(MemoryBudget, CacheLimitIsTheLargestThatFits) {
    for (std::uint64_t budget : {64 * kMiB, 300 * kMiB, 2048 * kMiB}) {
        const std::uint64_t ids = cache_limit_ids(budget, 25000, 21, 2);
        ASSERT_GT(ids, 0u) << budget;
        EXPECT_LE(in_memory_need(ids, 25000, 21, 2), budget);
        EXPECT_GT(in_memory_need(ids + 1, 25000, 21, 2), budget);
    }
    EXPECT_EQ(cache_limit_ids(1 * kMiB, 25000, 21, 2), 0u);
    // More fits side by side need more memory each.
    EXPECT_LT(cache_limit_ids(300 * kMiB, 25000, 21, 5), cache_limit_ids(300 * kMiB, 25000, 21, 1));
}

// Sample of 1,000 reviews scaled to `reviews`; ids per review with and
// without letter n-grams.
ReviewSample sample(std::uint64_t bytes_each, std::uint64_t ids_each, std::uint64_t plain_ids_each) {
    ReviewSample s;
    s.reviews = 1000;
    s.bytes = 1000 * bytes_each;
    s.ids = 1000 * ids_each;
    s.ids_without_letters = 1000 * plain_ids_each;
    return s;
}

TEST(SolverPolicy, ChoosesThePathAndFeaturesByMemoryAndLength) {
    struct Case {
        const char* what;
        ReviewSample sample;
        std::size_t reviews;
        std::uint64_t budget;
        SolverPath path;
        bool letters;
        const char* reason;  // a word the reason must hold; "" = no reason
    } cases[] = {
        {"short reviews that fit", sample(100, 150, 60), 10000, 512 * kMiB, SolverPath::InMemoryNbsvm, true, ""},
        {"long reviews", sample(1300, 1500, 600), 25000, 2048 * kMiB, SolverPath::InMemoryNbsvm, false, "long"},
        {"fit only without letters", sample(100, 150, 60), 2000000, 1200 * kMiB, SolverPath::InMemoryNbsvm,
         false, "budget"},
        {"fit in no way", sample(100, 150, 60), 2000000, 300 * kMiB, SolverPath::Streamed, false, "budget"},
        {"below the streaming floor", sample(100, 150, 60), 2000000, 20 * kMiB, SolverPath::Streamed, false,
         "at least"},
        {"long and too many", sample(1300, 1500, 600), 2000000, 512 * kMiB, SolverPath::Streamed, false, "long"},
        // Below what either path needs: the one that needs less, which the
        // budget no longer bounds.
        {"few reviews below both", sample(100, 150, 60), 500, 1 * kMiB, SolverPath::InMemoryNbsvm, true,
         "in memory, which needs less"},
    };
    for (const Case& c : cases) {
        SolverRequest r;
        r.reviews = c.reviews;
        r.fits_at_once = 2;
        r.budget = c.budget;
        const SolverChoice choice = choose_solver(c.sample, r);
        EXPECT_EQ(choice.path, c.path) << c.what;
        EXPECT_EQ(choice.features.char_max > 0, c.letters) << c.what;
        EXPECT_EQ(choice.features.char_min > 0, c.letters) << c.what;
        EXPECT_EQ(choice.features.ngrams, r.features.ngrams) << c.what;
        if (*c.reason)
            EXPECT_NE(choice.reason.find(c.reason), std::string::npos) << c.what << ": " << choice.reason;
        else
            EXPECT_EQ(choice.reason, "") << c.what;
        const std::uint64_t floor = streamed_floor(c.reviews, r.features.bits);
        const bool below_both = c.budget < floor && c.path != SolverPath::Streamed;
        EXPECT_EQ(choice.in_memory_bytes, below_both ? floor : c.budget) << c.what;
        if (c.path != SolverPath::Streamed) {
            EXPECT_LE(choice.need, choice.in_memory_bytes) << c.what;
        }
    }
}

// The whole trainer follows the choice: long reviews lose their letter
// n-grams, a tiny budget takes the path that needs less.
TEST(SolverPolicy, TrainerFollowsTheChoice) {
    std::string reviews, labels;
    const std::string filler =
        " and then the story went on for a long while with many scenes of people walking about town "
        "talking about what they had for dinner and where they might go on holiday next year";
    for (int i = 0; i < 400; ++i) {
        const bool pos = i % 2;
        reviews += std::string(pos ? "a wonderful film" : "an awful film") + filler + filler + filler + " " +
                   std::to_string(i) + "\n";
        labels += pos ? "positive\n" : "negative\n";
    }
    const Dataset data = read_dataset(reviews, labels);
    auto train = [&](std::uint64_t budget, bool stream = false) {
        TrainOptions o;
        o.memory_budget = budget;
        o.stream = stream;
        LineReader reader(reviews, "reviews.txt");
        return train_model(reader, data.labels, o);
    };
    const TrainResult roomy = train(256 * kMiB);
    EXPECT_EQ(roomy.path, SolverPath::InMemoryNbsvm);
    EXPECT_EQ(roomy.model.features.char_max, 0);
    EXPECT_EQ(roomy.budget, 256 * kMiB);
    EXPECT_NE(roomy.path_reason.find("long"), std::string::npos) << roomy.path_reason;
    // Below what either path needs, the in-memory one needs less here.
    const TrainResult tight = train(1 * kMiB);
    EXPECT_EQ(tight.path, SolverPath::InMemoryNbsvm);
    EXPECT_NE(tight.path_reason.find("which needs less"), std::string::npos) << tight.path_reason;
    const TrainResult streamed = train(1 * kMiB, true);
    EXPECT_EQ(streamed.path, SolverPath::Streamed);
    EXPECT_EQ(streamed.model.features.char_max, 0);
}

}  // namespace
