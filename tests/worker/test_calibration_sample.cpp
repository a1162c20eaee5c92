#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "learn/calibration_sample.h"

using namespace sentiment;

namespace {

// Reviews of one feature each: `distinct[c]` different texts of class c,
// `copies[c]` copies of each, interleaved.
struct Mix {
    const char* name;
    std::array<std::uint32_t, 2> distinct, copies;
    std::size_t most;  // reviews the sample aims at
    friend void PrintTo(const Mix& m, std::ostream* os) { *os << m.name; }
};

struct Reviews {
    ReviewCache cache;
    std::vector<std::uint8_t> labels;
    std::array<std::size_t, 2> per_class{};
};

Reviews make(const Mix& m) {
    Reviews r;
    for (std::uint8_t c = 0; c < 2; ++c)
        for (std::uint32_t t = 0; t < m.distinct[c]; ++t)
            for (std::uint32_t k = 0; k < m.copies[c]; ++k) {
                r.cache.ids.push_back(c * 1000000u + t);
                r.cache.offsets.push_back(r.cache.ids.size());
                r.labels.push_back(c);
                ++r.per_class[c];
            }
    return r;
}

class CalibrationSample : public ::testing::TestWithParam<Mix> {};

// Each class is in the sample with at least half its share of the reviews,
// and copies of a text share a fold.
TEST_P(CalibrationSample, HoldsBothClassesAndKeepsCopiesTogether) {
    const Reviews r = make(GetParam());
    const std::size_t n = r.labels.size();
    const double share = std::min(1.0, double(GetParam().most) / double(n));
    const std::vector<std::uint8_t> fold = assign_folds(r.cache, r.labels, 3, GetParam().most, 1);
    std::array<std::size_t, 2> sampled{};
    for (std::size_t i = 0; i < n; ++i) {
        if (fold[i] == kNoFold) continue;
        ASSERT_LT(fold[i], 3);
        ++sampled[r.labels[i]];
        if (i > 0 && r.cache.ids[i] == r.cache.ids[i - 1]) {
            EXPECT_EQ(fold[i], fold[i - 1]) << i;
        }
    }
    for (int c = 0; c < 2; ++c)
        EXPECT_GE(double(sampled[c]), std::min(double(r.per_class[c]), share * double(r.per_class[c]) / 2)) << c;
}

INSTANTIATE_TEST_SUITE_P(
    Folds, CalibrationSample,
    ::testing::Values(Mix{"one_text_each", {1, 1}, {5000, 5000}, 1000},
                      Mix{"few_negative_texts", {3, 4000}, {1000, 1}, 1000},
                      Mix{"few_positive_texts", {4000, 2}, {1, 3000}, 500},
                      Mix{"all_distinct", {3000, 3000}, {1, 1}, 1000},
                      Mix{"under_the_sample_size", {300, 300}, {2, 2}, 100000}),
    [](const auto& info) { return std::string(info.param.name); });

// Where both classes have many texts, the sample is the plain content draw
// below the share: models trained before the sample was stratified stay
// the same.
TEST(CalibrationSample, IsThePlainDrawWhenBothClassesHaveManyTexts) {
    const Reviews r = make(Mix{"", {3000, 2000}, {1, 1}, 1000});
    const std::vector<std::uint8_t> fold = assign_folds(r.cache, r.labels, 3, 1000, 7);
    std::size_t sampled = 0;
    for (std::uint8_t f : fold) sampled += f != kNoFold;
    // 3 standard deviations of a share of 0.2 over 5,000 draws.
    EXPECT_NEAR(double(sampled), 1000, 3 * std::sqrt(5000 * 0.2 * 0.8));
}

struct FoldCase {
    const char* name;
    std::vector<std::uint8_t> fold, labels;
    bool measures;
    friend void PrintTo(const FoldCase& c, std::ostream* os) { *os << c.name; }
};

class FoldsMeasure : public ::testing::TestWithParam<FoldCase> {};

TEST_P(FoldsMeasure, OnlyWhenEveryFoldLearnsBothClasses) {
    EXPECT_EQ(folds_measure(GetParam().fold, GetParam().labels, 3), GetParam().measures);
}

constexpr std::uint8_t N = kNoFold;

INSTANTIATE_TEST_SUITE_P(
    Folds, FoldsMeasure,
    ::testing::Values(FoldCase{"both_everywhere", {0, 0, 1, 1, 2, 2}, {0, 1, 0, 1, 0, 1}, true},
                      FoldCase{"one_class_in_some_folds", {0, 0, 1, 1, 2, 2}, {0, 0, 1, 1, 0, 1}, true},
                      FoldCase{"a_fold_holds_a_whole_class", {0, 1, 1, 2, 2}, {0, 1, 1, 1, 1}, false},
                      FoldCase{"sample_of_one_class", {0, 1, 2, N}, {1, 1, 1, 0}, false},
                      FoldCase{"empty_sample", {N, N, N}, {0, 1, 1}, false},
                      FoldCase{"both_in_the_last_fold_only", {2, 2, N}, {0, 1, 0}, false},
                      FoldCase{"empty_folds_are_no_harm", {0, 0, 2, 2, N}, {0, 1, 0, 1, 1}, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
