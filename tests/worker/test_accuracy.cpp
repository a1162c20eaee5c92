#include <gtest/gtest.h>

#include <filesystem>

#include "commands.h"
#include "test_support.h"

using namespace sentiment;

namespace {

struct Corpus {
    const char* name;
    double floor;  // a few points under what the defaults reach, above the peers' baselines
};

class SharedData : public ::testing::TestWithParam<Corpus> {};

// Trains on train/ and measures on test/ of a public corpus; the floor is far
// above the 50 % (or majority-class) a broken classifier would reach and
// catches a change that costs accuracy.
TEST_P(SharedData, AccuracyOnHeldOutTestSet) {
    std::string base = std::string(SHARED_DATA_DIR) + "/" + GetParam().name;
    if (!std::filesystem::exists(base + "/train/reviews.txt") || !std::filesystem::exists(base + "/test/labels.txt"))
        GTEST_SKIP() << "no shared review data at " << base;
    TempDir dir;
    TrainFiles files;
    files.reviews = base + "/train/reviews.txt";
    files.labels = base + "/train/labels.txt";
    files.model = dir.file("m.model");
    files.progress = dir.file("p.txt");
    run_train(files, TrainOptions{});
    Evaluation e = run_eval(base + "/test/reviews.txt", base + "/test/labels.txt", files.model);
    EXPECT_GT(e.total(), 1000u);
    EXPECT_GE(e.accuracy(), GetParam().floor) << GetParam().name;
    EXPECT_GE(e.recall(0), 0.6);
    EXPECT_GE(e.recall(1), 0.6);
    RecordProperty("accuracy", std::to_string(e.accuracy()));
}

INSTANTIATE_TEST_SUITE_P(Corpora, SharedData,
                         ::testing::Values(Corpus{"movie-sentences-en", 0.80}, Corpus{"takeout-reviews-zh", 0.89},
                                           Corpus{"imdb-reviews-en", 0.91}),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& c : n)
                                 if (c == '-') c = '_';
                             return n;
                         });

}  // namespace
