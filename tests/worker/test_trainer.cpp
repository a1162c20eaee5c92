#include <gtest/gtest.h>

#include "features/dataset.h"
#include "features/model.h"
#include "io/line_reader.h"
#include "test_support.h"
#include "text/errors.h"
#include "trainer.h"

using namespace sentiment;

namespace {

class SampleTraining : public ::testing::Test {
protected:
    void SetUp() override {
        reviews_ = read_bytes(sample_path("sample-reviews.txt"));
        labels_ = read_bytes(sample_path("sample-labels.txt"));
        ASSERT_FALSE(reviews_.empty());
        data_ = read_dataset(reviews_, labels_);
    }
    TrainResult train(const TrainOptions& o, std::vector<double>* progress = nullptr) {
        LineReader reader(reviews_, "reviews.txt");
        return train_model(reader, data_.labels, o, [&](double f) {
            if (progress) progress->push_back(f);
        });
    }
    double accuracy_on_sample(const Model& m) {
        FeatureExtractor fx(m.features);
        std::vector<std::uint32_t> ids;
        std::size_t right = 0;
        for (std::size_t i = 0; i < data_.reviews.size(); ++i) {
            fx.extract(data_.reviews[i], ids);
            right += (m.probability(ids) >= 0.5) == (data_.labels[i] == 1);
        }
        return double(right) / double(data_.reviews.size());
    }
    double p(const Model& m, std::string_view text) {
        FeatureExtractor fx(m.features);
        std::vector<std::uint32_t> ids;
        fx.extract(text, ids);
        return m.probability(ids);
    }
    std::string reviews_, labels_;
    Dataset data_;
};

TEST_F(SampleTraining, SameSeedGivesIdenticalModelBytes) {
    TrainOptions o;
    o.seed = 42;
    std::string a = serialize_model(train(o).model);
    std::string b = serialize_model(train(o).model);
    EXPECT_EQ(a, b);
    o.seed = 43;
    EXPECT_NE(serialize_model(train(o).model), a);
}

TEST_F(SampleTraining, FitsTheSampleAndJudgesNewSentences) {
    TrainResult r = train(TrainOptions{});
    EXPECT_GE(accuracy_on_sample(r.model), 0.95);
    EXPECT_LT(p(r.model, "It is a terrible movie"), 0.5);
    EXPECT_GT(p(r.model, "I like it"), 0.5);
    EXPECT_GT(p(r.model, "It is a lovely hero"), 0.5);
    EXPECT_GT(p(r.model, "很好吃，推荐"), 0.5);
    EXPECT_LT(p(r.model, "太难吃了，很失望"), 0.5);
    EXPECT_GE(r.epochs, 1);
}

TEST_F(SampleTraining, StreamingWithoutCacheLearnsToo) {
    TrainOptions o;
    o.memory_budget = 1;  // small blocks
    o.stream = true;      // re-reading the reviews every epoch
    TrainResult r = train(o);
    EXPECT_TRUE(r.path == SolverPath::Streamed);
    EXPECT_GE(accuracy_on_sample(r.model), 0.9);
}

TEST_F(SampleTraining, ProgressRisesAndStaysBelowOne) {
    std::vector<double> seen;
    train(TrainOptions{}, &seen);
    ASSERT_GE(seen.size(), 3u);
    for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i], seen[i - 1]);
    EXPECT_LT(seen.back(), 1.0);
    EXPECT_GE(seen.front(), 0.0);
}

TEST_F(SampleTraining, ShortInputIsAnErrorNotACrash) {
    std::vector<std::uint8_t> labels = data_.labels;
    labels.push_back(1);  // one more label than there are reviews
    LineReader reader(reviews_, "reviews.txt");
    EXPECT_THROW(train_model(reader, labels, TrainOptions{}), Error);
}

TEST(Trainer, RefusesBadSettings) {
    std::string text = "good\nbad\n";
    LineReader reader(text, "r.txt");
    TrainOptions o;
    o.features.bits = 40;
    EXPECT_THROW(train_model(reader, {1, 0}, o), Error);
}

}  // namespace

namespace {

// The streamed path hashes on worker threads; blocks must still reach the
// learner in file order, so the thread count cannot change a single byte.
TEST_F(SampleTraining, StreamedModelIsTheSameForAnyThreadCount) {
    TrainOptions o;
    o.memory_budget = 1;
    o.stream = true;
    o.seed = 7;
    o.threads = 1;
    TrainResult one = train(o);
    ASSERT_TRUE(one.path == SolverPath::Streamed);
    const std::string a = serialize_model(one.model);
    for (unsigned threads : {2u, 3u, 8u}) {
        o.threads = threads;
        EXPECT_EQ(serialize_model(train(o).model), a) << threads << " threads";
    }
    EXPECT_EQ(serialize_model(train(o).model), a) << "second run";
}

// The cross-validation folds run side by side; each has its own seed and
// place, so the thread count cannot change the model either.
TEST_F(SampleTraining, CrossValidatedModelIsTheSameForAnyThreadCount) {
    TrainOptions o;
    o.threads = 1;
    TrainResult one = train(o);
    ASSERT_EQ(one.validation, Validation::CrossValidated);
    EXPECT_EQ(one.validated, data_.labels.size());
    EXPECT_GE(one.interpolation, 0.0);
    EXPECT_LE(one.interpolation, 1.0);
    const std::string a = serialize_model(one.model);
    for (unsigned threads : {2u, 5u}) {
        o.threads = threads;
        EXPECT_EQ(serialize_model(train(o).model), a) << threads << " threads";
    }
}

// Blocks smaller than the file: the order of many blocks across threads.
TEST(StreamedTraining, ManyBlocksGiveTheSameModelOnOneThreadAndMany) {
    std::string reviews, labels;
    const char* good[] = {"great fun", "lovely and warm", "a wonderful film", "best of the year"};
    const char* bad[] = {"dull and slow", "a terrible mess", "boring plot", "worst acting ever"};
    for (int i = 0; i < 40000; ++i) {
        bool pos = (i * 7919) % 3 != 0;
        reviews += std::string(pos ? good[i % 4] : bad[i % 4]) + " number " + std::to_string(i % 977) + "\n";
        labels += pos ? "positive\n" : "negative\n";
    }
    Dataset data = read_dataset(reviews, labels);
    TrainOptions o;
    o.memory_budget = 1;
    o.stream = true;
    auto run = [&](unsigned threads) {
        o.threads = threads;
        LineReader reader(reviews, "reviews.txt");
        TrainResult r = train_model(reader, data.labels, o);
        EXPECT_TRUE(r.path == SolverPath::Streamed);
        return serialize_model(r.model);
    };
    const std::string one = run(1);
    EXPECT_EQ(run(2), one);
    EXPECT_EQ(run(5), one);
}

}  // namespace

namespace {

// Large sets take the shrinking solver, fewer folds and the final fit beside
// them: the model must still not depend on the threads, and must learn.
TEST(LargeSetTraining, ShrinkingSolverIsDeterministicAndLearns) {
    std::string reviews, labels;
    const char* good[] = {"great fun", "lovely and warm", "a wonderful film", "best of the year"};
    const char* bad[] = {"dull and slow", "a terrible mess", "boring plot", "worst acting ever"};
    for (int i = 0; i < 12000; ++i) {
        const bool pos = (i * 7919) % 3 != 0;
        // One review in ten carries the wrong label, so not every review
        // can be fit and the solver has work to do.
        const bool label = (i % 10 == 0) ? !pos : pos;
        reviews += std::string(pos ? good[i % 4] : bad[(i / 4) % 4]) + " scene " + std::to_string(i % 311) + "\n";
        labels += label ? "positive\n" : "negative\n";
    }
    Dataset data = read_dataset(reviews, labels);
    TrainOptions o;
    auto run = [&](unsigned threads) {
        o.threads = threads;
        LineReader reader(reviews, "reviews.txt");
        return train_model(reader, data.labels, o);
    };
    const TrainResult one = run(1);
    ASSERT_EQ(one.validation, Validation::CrossValidated);
    EXPECT_EQ(one.path, SolverPath::InMemoryNbsvm);
    // 90 % of labels agree with the words: an honest figure is near that.
    EXPECT_NEAR(one.accuracy, 0.9, 0.02);
    EXPECT_EQ(serialize_model(run(2).model), serialize_model(one.model));
    EXPECT_EQ(serialize_model(run(3).model), serialize_model(one.model));
}

}  // namespace
