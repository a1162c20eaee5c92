#include <gtest/gtest.h>

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

}  // namespace
