// Labels the wrong way round: a column meaning "is this bad" trains into a
// model that calls complaints 好评; train must say so, and still write it.
#include <gtest/gtest.h>

#include <filesystem>

#include "features/hashed_features.h"
#include "features/label_direction.h"
#include "test_support.h"

using namespace sentiment;

namespace {

std::size_t index_of(std::string_view word) {
    const std::vector<PolarWord>& words = polar_words();
    for (std::size_t i = 0; i < words.size(); ++i)
        if (words[i].word == word) return i;
    ADD_FAILURE() << word << " is no polar word";
    return 0;
}

// Whole words only, one bucket each: each word's weight is exactly its own.
constexpr const char* kEnglish[] = {"great", "excellent", "perfect", "love", "bad", "terrible", "awful", "worst"};

struct DirectionCase {
    const char* name;
    int flipped;        // of kEnglish, in order, given the other sign
    int present;        // of kEnglish, in order, found in enough reviews
    LabelDirection::Verdict verdict;
    friend void PrintTo(const DirectionCase& c, std::ostream* os) { *os << c.name; }
};

class Direction : public ::testing::TestWithParam<DirectionCase> {};

TEST_P(Direction, FollowsTheShareOfWordsThatPointTheWrongWay) {
    Model m;
    m.features = FeatureOptions{18, 1, 0, 0};
    m.bias = 0.7f;  // left out: only the words' own weights count
    m.weights.assign(1u << 18, 0.0f);
    std::vector<std::uint64_t> counts(polar_words().size(), 0);
    FeatureExtractor fx(m.features);
    std::vector<std::uint32_t> ids;
    for (int i = 0; i < 8; ++i) {
        const std::size_t k = index_of(kEnglish[i]);
        fx.extract(kEnglish[i], ids);
        ASSERT_EQ(ids.size(), 1u);
        const bool right = i >= GetParam().flipped;
        m.weights[ids[0]] = (polar_words()[k].positive == right) ? 0.5f : -0.5f;
        counts[k] = i < GetParam().present ? kPolarEvidence : kPolarEvidence - 1;
    }
    const LabelDirection d = judge_label_direction(m, counts);
    EXPECT_EQ(d.verdict, GetParam().verdict) << d.describe_en();
    EXPECT_EQ(d.found, static_cast<std::size_t>(GetParam().present));
    EXPECT_EQ(d.wrong, static_cast<std::size_t>(std::min(GetParam().flipped, GetParam().present)));
}

using V = LabelDirection::Verdict;
INSTANTIATE_TEST_SUITE_P(
    Words, Direction,
    ::testing::Values(DirectionCase{"all_right", 0, 8, V::Agrees}, DirectionCase{"all_wrong", 8, 8, V::MayBeInverted},
                      DirectionCase{"three_quarters_wrong", 6, 8, V::MayBeInverted},
                      DirectionCase{"five_of_eight_wrong", 5, 8, V::Unclear},
                      DirectionCase{"three_of_eight_wrong", 3, 8, V::Unclear},
                      DirectionCase{"a_quarter_wrong", 2, 8, V::Agrees},
                      DirectionCase{"two_words_are_too_few", 2, 2, V::TooFewWords},
                      DirectionCase{"three_words_suffice", 3, 3, V::MayBeInverted}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PolarWords, AreCountedOncePerReviewLatinOnesWhole) {
    const std::string text =
        "Great food, GREAT service\n"  // once, any case
        "greatly overrated\n"          // not a whole word
        "the worst; great-ish\n"       // both, bounded by signs
        "不好吃\n"                     // Chinese has no word bounds
        "好吃好吃\n";
    LineReader reviews(text, "r.txt");
    const std::vector<std::uint64_t> counts = count_polar_words(reviews);
    EXPECT_EQ(counts[index_of("great")], 2u);
    EXPECT_EQ(counts[index_of("worst")], 1u);
    EXPECT_EQ(counts[index_of("好吃")], 2u);
    EXPECT_EQ(counts[index_of("bad")], 0u);
    std::string_view first;
    ASSERT_TRUE(reviews.next(first)) << "the reviews are left rewound";
    EXPECT_EQ(first, "Great food, GREAT service");
}

std::string swapped(const std::string& labels) {
    std::string out;
    for (const std::string& l : lines_of(labels)) out += l == "positive" ? "negative\n" : "positive\n";
    return out;
}

class Warned : public ::testing::Test {
protected:
    void SetUp() override { dir.write("reviews.txt", read_bytes(sample_path("sample-reviews.txt"))); }
    TempDir dir;
};

TEST_F(Warned, SwappedLabelsAreNamedAndTheModelStillWritten) {
    dir.write("labels.txt", swapped(read_bytes(sample_path("sample-labels.txt"))));
    RunResult r = run_tool(dir, "train");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(dir.exists("sentiment.model"));
    EXPECT_NE(r.err.find("警告：标签可能正负颠倒"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("warning: the labels may be inverted: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("great → 差评 negative"), std::string::npos) << r.err;
    EXPECT_NE(run_tool(dir, "info").out.find("labels check: the labels may be inverted"), std::string::npos);
}

TEST_F(Warned, RightLabelsAreNotWarnedOf) {
    dir.write("labels.txt", read_bytes(sample_path("sample-labels.txt")));
    RunResult r = run_tool(dir, "train");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("labels check: the labels point the right way (0 of "), std::string::npos) << r.out;
}

// A table whose 0/1 column says whether the review is a complaint.
TEST_F(Warned, AComplaintColumnOfOnesAndZerosIsCaught) {
    const std::vector<std::string> reviews = lines_of(dir.read("reviews.txt"));
    const std::vector<std::string> labels = lines_of(read_bytes(sample_path("sample-labels.txt")));
    std::string table = "text\tcomplaint\n";
    for (std::size_t i = 0; i < reviews.size(); ++i) table += reviews[i] + (labels[i] == "negative" ? "\t1\n" : "\t0\n");
    dir.write("export.tsv", table);
    RunResult r = run_tool(dir, "train --table export.tsv");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("labels read as 1 = positive, 0 = negative"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("warning: the labels may be inverted"), std::string::npos) << r.err;
}

class SharedCorpus : public ::testing::TestWithParam<const char*> {};

TEST_P(SharedCorpus, SwappedLabelsAreCaughtAndTheTrueOnesPass) {
    const std::string base = std::string(SHARED_DATA_DIR) + "/" + GetParam() + "/train";
    if (!std::filesystem::exists(base + "/labels.txt")) GTEST_SKIP() << "no shared review data at " << base;
    TempDir dir;
    const std::string train = "train --reviews '" + base + "/reviews.txt' --labels ";
    dir.write("swapped.txt", swapped(read_bytes(base + "/labels.txt")));
    RunResult r = run_tool(dir, train + "swapped.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: the labels may be inverted"), std::string::npos) << r.out;
    r = run_tool(dir, train + "'" + base + "/labels.txt'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("labels check: the labels point the right way"), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(Corpora, SharedCorpus, ::testing::Values("takeout-reviews-zh", "movie-sentences-en"),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (c == '-') c = '_';
                             return n;
                         });

}  // namespace
