#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "features/dataset.h"
#include "features/hashed_features.h"
#include "io/line_reader.h"
#include "trainer.h"

using namespace sentiment;

namespace {

// Reviews of random words from a small vocabulary. With `signal`, one word
// in each review tells its label; without, labels are coin flips that no
// model can predict on reviews it has not learnt.
struct Corpus {
    std::string reviews, labels;
    std::vector<std::uint8_t> truth;
};

Corpus make_corpus(std::size_t n, std::uint64_t seed, bool signal) {
    std::uint64_t state = seed;
    auto next = [&] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state >> 33);
    };
    Corpus c;
    for (std::size_t i = 0; i < n; ++i) {
        const bool pos = next() % 2;
        for (int k = 0; k < 12; ++k) c.reviews += "w" + std::to_string(next() % 3000) + " ";
        if (signal) c.reviews += pos ? "superb" : "dreadful";
        c.reviews += "\n";
        c.labels += pos ? "positive\n" : "negative\n";
        c.truth.push_back(pos);
    }
    return c;
}

double accuracy_on(const Model& m, const Corpus& c) {
    FeatureExtractor fx(m.features);
    std::vector<std::uint32_t> ids;
    LineReader reader(c.reviews, "unseen.txt");
    std::string_view line;
    std::size_t right = 0;
    for (std::size_t i = 0; i < c.truth.size() && reader.next(line); ++i) {
        fx.extract(line, ids);
        right += (m.probability(ids) >= 0.5) == (c.truth[i] == 1);
    }
    return double(right) / double(c.truth.size());
}

struct Path {
    const char* name;
    std::uint64_t budget;  // 0: the machine's
    Validation expected;
};

class PrintedFigure : public ::testing::TestWithParam<Path> {
protected:
    TrainResult train(const Corpus& c) {
        TrainOptions o;
        o.memory_budget = GetParam().budget;
        o.stream = GetParam().budget == 1;
        LineReader reader(c.reviews, "reviews.txt");
        return train_model(reader, read_dataset(c.reviews, c.labels).labels, o);
    }
};

// Coin-flip labels: the model learns its training reviews by heart, yet the
// printed figure must stay near 50 %, as the model scores on new reviews.
// Noise: 3 standard deviations of a coin over the reviews it was measured on.
TEST_P(PrintedFigure, IsNearChanceWhenLabelsAreCoinFlips) {
    const Corpus train_set = make_corpus(3000, 11, false), unseen = make_corpus(3000, 12, false);
    const TrainResult r = train(train_set);
    ASSERT_EQ(r.validation, GetParam().expected);
    ASSERT_GE(r.validated, 200u);
    const double noise = 3 * std::sqrt(0.25 / double(r.validated));
    const double real = accuracy_on(r.model, unseen);
    EXPECT_NEAR(real, 0.5, 3 * std::sqrt(0.25 / 3000.0));
    EXPECT_LE(r.accuracy, real + noise + 3 * std::sqrt(0.25 / 3000.0));
    EXPECT_NEAR(r.accuracy, 0.5, noise);
    // It did learn the training reviews: what the figure must not report.
    EXPECT_GT(accuracy_on(r.model, train_set), 0.55);
}

// The same coin-flip reviews five times over: a copy of a review must not
// judge its twin, or the figure would claim the labels can be learnt.
TEST_P(PrintedFigure, IsNearChanceWhenReviewsRepeat) {
    const Corpus once = make_corpus(1000, 13, false);
    Corpus repeated;
    for (int k = 0; k < 5; ++k) {
        repeated.reviews += once.reviews;
        repeated.labels += once.labels;
    }
    const TrainResult r = train(repeated);
    ASSERT_EQ(r.validation, GetParam().expected);
    // Copies fall together, so the figure is as noisy as ~10 % of 1,000 reviews.
    EXPECT_NEAR(r.accuracy, 0.5, 3 * std::sqrt(0.25 / (double(r.validated) / 5)));
}

// The same figure is high when the labels can be learnt: it measures the
// model, not a constant.
TEST_P(PrintedFigure, FollowsRealAccuracyWhenLabelsCanBeLearnt) {
    const Corpus train_set = make_corpus(3000, 21, true), unseen = make_corpus(3000, 22, true);
    const TrainResult r = train(train_set);
    ASSERT_EQ(r.validation, GetParam().expected);
    EXPECT_GT(accuracy_on(r.model, unseen), 0.95);
    EXPECT_GT(r.accuracy, 0.95);
}

INSTANTIATE_TEST_SUITE_P(Paths, PrintedFigure,
                         ::testing::Values(Path{"nbsvm", 0, Validation::CrossValidated},
                                           Path{"streamed", 1, Validation::HeldOut}),
                         [](const auto& info) { return std::string(info.param.name); });

// Too few reviews to spare any: no figure rather than a made-up one.
TEST(PrintedFigureSmallSet, NoneWhenEveryReviewIsNeeded) {
    const Corpus c = make_corpus(150, 5, true);
    LineReader reader(c.reviews, "reviews.txt");
    const TrainResult r = train_model(reader, read_dataset(c.reviews, c.labels).labels, TrainOptions{});
    EXPECT_EQ(r.validation, Validation::None);
    EXPECT_EQ(r.validated, 0u);
}

}  // namespace

namespace {

// A budget too small for the cache sends the reviews through the file block
// by block; the model must be about as good as the one learnt in memory and
// judge new reviews the same way nearly always.
TEST(StreamedAgainstInMemory, AgreeOnUnseenReviews) {
    Corpus train_set = make_corpus(4000, 31, true), unseen = make_corpus(3000, 32, true);
    // Every fifth label flipped, so that not all can be fit.
    std::string labels;
    std::vector<std::uint8_t> truth = train_set.truth;
    for (std::size_t i = 0; i < truth.size(); ++i) {
        if (i % 5 == 0) truth[i] ^= 1;
        labels += truth[i] ? "positive\n" : "negative\n";
    }
    auto train = [&](std::uint64_t budget) {
        TrainOptions o;
        o.memory_budget = budget;
        o.stream = budget == 1;
        LineReader reader(train_set.reviews, "reviews.txt");
        return train_model(reader, read_dataset(train_set.reviews, labels).labels, o);
    };
    const TrainResult memory = train(0), streamed = train(1);
    ASSERT_EQ(memory.path, SolverPath::InMemoryNbsvm);
    ASSERT_EQ(streamed.path, SolverPath::Streamed);
    const double a = accuracy_on(memory.model, unseen), b = accuracy_on(streamed.model, unseen);
    EXPECT_GT(a, 0.95);
    EXPECT_NEAR(b, a, 0.01);
    FeatureExtractor fa(memory.model.features), fb(streamed.model.features);
    std::vector<std::uint32_t> ia, ib;
    LineReader reader(unseen.reviews, "unseen.txt");
    std::string_view line;
    std::size_t same = 0, total = 0;
    while (reader.next(line)) {
        fa.extract(line, ia);
        fb.extract(line, ib);
        same += (memory.model.probability(ia) >= 0.5) == (streamed.model.probability(ib) >= 0.5);
        ++total;
    }
    EXPECT_GT(double(same) / double(total), 0.97);
}

}  // namespace

namespace {

// Many copies of one positive and one negative text: every content-drawn
// slice takes a text whole or not at all, so no split both learns and
// judges each class. The model must still tell the two apart, and the run
// must say it measured nothing rather than print a figure.
struct FewTexts {
    const char* name;
    const char* good;
    const char* bad;
    std::size_t reviews;
    std::uint64_t budget;  // 0: the machine's; 1: streamed
};

class FewDistinctTexts : public ::testing::TestWithParam<FewTexts> {};

TEST_P(FewDistinctTexts, LearnBothClassesAndMeasureNothing) {
    const FewTexts& p = GetParam();
    std::string reviews, labels;
    for (std::size_t i = 0; i < p.reviews; ++i) {
        reviews += std::string(i % 2 ? p.bad : p.good) + "\n";
        labels += i % 2 ? "negative\n" : "positive\n";
    }
    TrainOptions o;
    o.memory_budget = p.budget;
    o.stream = p.budget == 1;
    LineReader reader(reviews, "reviews.txt");
    const TrainResult r = train_model(reader, read_dataset(reviews, labels).labels, o);
    EXPECT_EQ(r.validation, Validation::TooFewDistinct);
    EXPECT_EQ(r.path, p.budget == 1 ? SolverPath::Streamed : SolverPath::InMemoryNbsvm);
    FeatureExtractor fx(r.model.features);
    std::vector<std::uint32_t> ids;
    fx.extract(p.good, ids);
    EXPECT_GT(r.model.probability(ids), 0.5) << p.good;
    fx.extract(p.bad, ids);
    EXPECT_LT(r.model.probability(ids), 0.5) << p.bad;
}

INSTANTIATE_TEST_SUITE_P(
    Trainer, FewDistinctTexts,
    ::testing::Values(FewTexts{"one_letter_in_memory", "a", "b", 500000, 0},
                      FewTexts{"one_letter_streamed", "a", "b", 500000, 1},
                      FewTexts{"words_in_memory", "nice", "awful", 1000000, 0},
                      FewTexts{"words_streamed", "nice", "awful", 1000000, 1},
                      FewTexts{"words_under_the_sample_size", "nice", "awful", 20000, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
