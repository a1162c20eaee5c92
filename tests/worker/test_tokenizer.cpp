#include <gtest/gtest.h>

#include <set>

#include "features/hashed_features.h"
#include "features/tokenizer.h"

using namespace sentiment;

namespace {

struct TokenCase {
    const char* name;
    const char* text;
    std::vector<std::string> tokens;
    friend void PrintTo(const TokenCase& c, std::ostream* os) { *os << c.name; }
};

class Tokenize : public ::testing::TestWithParam<TokenCase> {};

TEST_P(Tokenize, SplitsAsExpected) { EXPECT_EQ(tokenize(GetParam().text), GetParam().tokens); }

INSTANTIATE_TEST_SUITE_P(
    English, Tokenize,
    ::testing::Values(
        TokenCase{"lower_case", "I LIKE It", {"i", "like", "it"}},
        TokenCase{"punctuation", "Great, really great!", {"great", ",", "really", "great", "!"}},
        TokenCase{"negation_scope_ends_at_punctuation", "not good at all. fine",
                  {"not", "neg_good", "neg_at", "neg_all", ".", "fine"}},
        TokenCase{"contraction_negates", "It doesn't work, sadly", {"it", "doesn't", "neg_work", ",", "sadly"}},
        TokenCase{"curly_apostrophe", "don\u2019t buy", {"don't", "neg_buy"}},
        TokenCase{"quotes_and_hyphens", "'cut-and-paste' (film)", {"cut", "and", "paste", "film"}},
        TokenCase{"accents", "Café CRÈME", {"café", "crème"}},
        TokenCase{"blank", "  \t ", {}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Chinese, Tokenize,
    ::testing::Values(
        TokenCase{"characters", "很好吃", {"很", "好", "吃"}},
        TokenCase{"full_width_punctuation", "不错！还会再来。", {"不", "neg_错", "!", "还", "会", "再", "来", "."}},
        TokenCase{"negation_scope_ends_at_punctuation", "不好吃，很好", {"不", "neg_好", "neg_吃", ",", "很", "好"}},
        TokenCase{"traditional_negation", "沒有味道", {"沒", "neg_有", "neg_味", "neg_道"}},
        TokenCase{"negation_carries_over_latin_words", "没有wifi好", {"没", "neg_有", "neg_wifi", "neg_好"}},
        TokenCase{"mixed_with_english", "手机OK,很好", {"手", "机", "ok", ",", "很", "好"}},
        TokenCase{"full_width_letters", "ＧＯＯＤ", {"good"}},
        TokenCase{"emoji_kept", "好吃😋", {"好", "吃", "😋"}},
        TokenCase{"invalid_bytes_separate", "ab\xFF" "cd\xE4", {"ab", "cd"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Features, CharacterNgramsCoverWordsWithBoundaries) {
    FeatureOptions words;
    words.ngrams = 1;
    words.char_min = words.char_max = 0;
    FeatureOptions chars = words;
    chars.char_min = 3;
    chars.char_max = 3;
    std::vector<std::uint32_t> a, b;
    FeatureExtractor(words).extract("good", a);
    FeatureExtractor(chars).extract("good", b);
    EXPECT_EQ(a.size(), 1u);
    EXPECT_EQ(b.size(), 1u + 4u);  // <go goo ood od>
    FeatureExtractor(chars).extract("好", b);
    EXPECT_EQ(b.size(), 1u);  // no letter n-grams for Chinese characters
}

TEST(Features, AreDistinctAndInRange) {
    FeatureOptions o;
    o.bits = 10;
    o.ngrams = 3;
    o.char_min = 2;
    o.char_max = 4;
    FeatureExtractor fx(o);
    std::vector<std::uint32_t> ids;
    fx.extract("good good good, very good 很好很好 " + std::string(300, 'x'), ids);
    ASSERT_FALSE(ids.empty());
    std::set<std::uint32_t> seen(ids.begin(), ids.end());
    EXPECT_EQ(seen.size(), ids.size());
    EXPECT_LT(*seen.rbegin(), 1u << 10);
    // "good" appears four times but counts once: fewer ids than n-grams.
    std::vector<std::uint32_t> once;
    fx.extract("good", once);
    std::vector<std::uint32_t> four;
    fx.extract("good good good good", four);
    EXPECT_EQ(std::set<std::uint32_t>(once.begin(), once.end()).size() + 2, four.size());
}

TEST(Features, NgramsAddFeaturesAndOrderMatters) {
    FeatureOptions uni;
    uni.ngrams = 1;
    uni.char_min = uni.char_max = 0;
    FeatureOptions tri = uni;
    tri.ngrams = 3;
    std::vector<std::uint32_t> a, b, c;
    FeatureExtractor(uni).extract("the film is good", a);
    FeatureExtractor(tri).extract("the film is good", b);
    EXPECT_EQ(a.size(), 4u);
    EXPECT_EQ(b.size(), 4u + 3u + 2u);
    FeatureExtractor(tri).extract("good is film the", c);
    EXPECT_NE(b, c);
    std::vector<std::uint32_t> a2;
    FeatureExtractor(uni).extract("good is film the", a2);
    EXPECT_EQ(std::set<std::uint32_t>(a.begin(), a.end()), std::set<std::uint32_t>(a2.begin(), a2.end()));
}

}  // namespace
