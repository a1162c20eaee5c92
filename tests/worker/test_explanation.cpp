// explain takes a line's score apart; the parts must add up to the very
// score test judges by, shared buckets counted once.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "commands.h"
#include "features/explanation.h"
#include "test_support.h"

using namespace sentiment;

namespace {

std::string fixture(std::string_view name) { return std::string(WORKER_TEST_DATA) + "/" + std::string(name); }

std::string four_decimals(double p) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.4f", p);
    return buf;
}

// Every line of a file, taken apart and added up again, gives the score
// judging computes: to the last bit, not just to four decimals.
void expect_exact(const Model& model, const std::string& path, std::size_t& shared) {
    FeatureExtractor fx(model.features), plain(model.features);
    std::vector<std::uint32_t> ids;
    std::size_t lines = 0;
    for (const std::string& line : lines_of(read_bytes(path))) {
        const Explanation e = explain(model, fx, line);
        plain.extract(line, ids);
        ASSERT_EQ(e.parts.size(), ids.size()) << line;
        EXPECT_EQ(e.score(), model.score(ids)) << line;
        EXPECT_EQ(four_decimals(e.probability()), four_decimals(model.probability(ids))) << line;
        for (const Contribution& c : e.parts) shared += c.ngrams.size() > 1;
        ++lines;
    }
    EXPECT_GT(lines, 10u) << path;
}

TEST(Explanation, AddsUpToTheScoreOfTheModel) {
    const Model model = load_model(fixture("model-v1-sample.model"), "m.model");
    std::size_t shared = 0;
    for (const char* name : {"sample-reviews.txt", "sample-test.txt"}) expect_exact(model, sample_path(name), shared);
    const std::string takeout = std::string(SHARED_DATA_DIR) + "/takeout-reviews-zh/test/reviews.txt";
    if (std::filesystem::exists(takeout)) expect_exact(model, takeout, shared);
}

// With 256 buckets most lines have n-grams that share one: its weight must
// count once, as judging counts it.
TEST(Explanation, SharedBucketsCountOnce) {
    Model model;
    model.features = FeatureOptions{8, 3, 3, 5};
    model.bias = -0.125f;
    model.weights.assign(256, 0.0f);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> weight(-1.0f, 1.0f);
    for (std::size_t i = 0; i < 256; ++i) model.weights[i] = weight(random);
    std::size_t shared = 0;
    expect_exact(model, sample_path("sample-reviews.txt"), shared);
    EXPECT_GT(shared, 100u) << "buckets shared by several n-grams of a line";
}

TEST(Explanation, StrongestAreTheLargestOfEachSideInOrder) {
    Explanation e;
    for (float w : {0.5f, -0.25f, 2.0f, 0.0f, -3.0f, 0.5f, 1.0f}) e.parts.push_back({0, w, {}});
    const auto weights = [](const std::vector<const Contribution*>& parts) {
        std::vector<float> w;
        for (const Contribution* c : parts) w.push_back(c->weight);
        return w;
    };
    EXPECT_EQ(weights(e.strongest(3, true)), (std::vector<float>{2.0f, 1.0f, 0.5f}));
    EXPECT_EQ(e.strongest(3, true)[2], &e.parts[0]) << "ties keep the text's order";
    EXPECT_EQ(weights(e.strongest(5, false)), (std::vector<float>{-3.0f, -0.25f}));
    EXPECT_EQ(weights(e.strongest(9, true)).size(), 4u) << "a weight of 0 is on neither side";
}

TEST(Explanation, NamesEveryNgramOfASharedBucketOnce) {
    Model model;
    model.features = FeatureOptions{8, 2, 0, 0};
    model.weights.assign(256, 0.5f);
    FeatureExtractor fx(model.features);
    // "好 好" repeats: one part for 好, one for 好好, whatever the hash.
    const Explanation e = explain(model, fx, "好好好");
    std::vector<std::string> names;
    for (const Contribution& c : e.parts)
        for (const NamedFeature& n : c.ngrams) names.push_back(n.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"好", "好好"}));
    EXPECT_EQ(e.ngrams, 5u);
}

class ExplainTool : public ::testing::Test {
protected:
    void SetUp() override {
        dir.write("sentiment.model", read_bytes(fixture("model-v1-sample.model")));
        dir.write("test.txt", read_bytes(sample_path("sample-test.txt")) + "\n   \n");
    }
    TempDir dir;
};

// Each verdict line of explain is the line test writes, probability and all.
TEST_F(ExplainTool, VerdictsAreThoseOfTest) {
    RunResult r = run_tool(dir, "explain --top 3");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(run_tool(dir, "test").status, 0);
    const std::vector<std::string> judged = lines_of(dir.read("out.txt"));
    std::vector<std::string> verdicts;
    for (const std::string& l : lines_of(r.out)) {
        if (l.rfind("line ", 0) != 0) continue;
        verdicts.push_back(l.substr(l.find('\t') + 1));
    }
    ASSERT_EQ(verdicts.size(), judged.size());
    for (std::size_t i = 0; i < judged.size(); ++i)
        EXPECT_EQ(verdicts[i], judged[i].empty() ? "blank, not judged" : judged[i]) << "line " << i + 1;
    EXPECT_EQ(verdicts.back(), "blank, not judged");
}

// The weights after each n-gram of a side line, as printed.
std::vector<double> side_weights(const std::string& line) {
    std::vector<double> w;
    for (std::size_t at = line.find(' ', line.find(':') + 2); at != std::string::npos; at = line.find(", ", at + 1)) {
        const std::size_t sign = line.find_first_of("+-", line.find_first_of("]\"", at + 1) + 1);
        if (sign == std::string::npos) break;
        w.push_back(std::stod(line.substr(sign)));
        at = sign;
    }
    return w;
}

// Each side lists at most --top n-grams, strongest first; the score shown
// gives the probability shown.
TEST_F(ExplainTool, SidesAreStrongestFirstAndTheScoreGivesTheVerdict) {
    RunResult r = run_tool(dir, "explain --top 3");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = lines_of(r.out);
    std::size_t blocks = 0, listed = 0;
    for (std::size_t i = 0; i + 3 < lines.size(); ++i) {
        if (lines[i].rfind("line ", 0) != 0 || lines[i].find("blank") != std::string::npos) continue;
        ++blocks;
        const double p = std::stod(lines[i].substr(lines[i].find('\t', lines[i].find('\t') + 1) + 1));
        ASSERT_EQ(lines[i + 1].rfind("  for 好评:", 0), 0u) << lines[i + 1];
        ASSERT_EQ(lines[i + 2].rfind("  for 差评:", 0), 0u) << lines[i + 2];
        for (int side = 1; side <= 2; ++side) {
            const std::vector<double> w = side_weights(lines[i + side]);
            EXPECT_LE(w.size(), 3u) << lines[i + side];
            listed += w.size();
            for (std::size_t k = 0; k < w.size(); ++k) {
                EXPECT_EQ(w[k] > 0, side == 1) << lines[i + side];
                if (k) {
                    EXPECT_GE(std::abs(w[k - 1]), std::abs(w[k])) << lines[i + side];
                }
            }
        }
        ASSERT_EQ(lines[i + 3].rfind("  score ", 0), 0u) << lines[i + 3];
        const double score = std::stod(lines[i + 3].substr(8));
        EXPECT_NEAR(sigmoid(score), p, 1e-4) << lines[i] << "\n" << lines[i + 3];
    }
    EXPECT_EQ(blocks, lines_of(read_bytes(sample_path("sample-test.txt"))).size());
    EXPECT_GT(listed, 3 * blocks) << "sides list up to 3 n-grams each";
}

TEST_F(ExplainTool, WithoutAModelSaysTrainFirst) {
    std::filesystem::remove(dir.path() / "sentiment.model");
    RunResult r = run_tool(dir, "explain --input test.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("there is no model yet; train first"), std::string::npos) << r.err;
}

}  // namespace
