#include <gtest/gtest.h>

#include "features/dataset.h"
#include "features/label_scheme.h"
#include "test_support.h"

using namespace sentiment;

namespace {

struct FormCase {
    const char* text;
    int form;  // index into kLabelSpellings, -1: not a label
    friend void PrintTo(const FormCase& c, std::ostream* os) { *os << quoted(c.text); }
};

class Forms : public ::testing::TestWithParam<FormCase> {};

TEST_P(Forms, AreRecognised) {
    const std::optional<LabelForm> form = label_form(GetParam().text);
    if (GetParam().form < 0) {
        EXPECT_FALSE(form.has_value()) << int(*form);
    } else {
        ASSERT_TRUE(form.has_value());
        EXPECT_EQ(int(*form), GetParam().form);
    }
}

INSTANTIATE_TEST_SUITE_P(
    LabelScheme, Forms,
    ::testing::Values(FormCase{"5", 13}, FormCase{" 3\r", 11}, FormCase{"4.0", 12}, FormCase{"1.00", 9},
                      FormCase{"0", 8}, FormCase{"POS", 1}, FormCase{"\u3000好评", 3}, FormCase{"差评", 7},
                      FormCase{"Negative", 4}, FormCase{"4.5", -1}, FormCase{"6", -1}, FormCase{"05", -1},
                      FormCase{"-1", -1}, FormCase{"4.", -1}, FormCase{".0", -1}, FormCase{"5 stars", -1},
                      FormCase{"", -1}));

struct ColumnCase {
    const char* name;
    std::vector<const char*> cells;
    LabelReading reading;
    std::vector<std::uint8_t> labels;
    std::vector<bool> kept;  // empty: all
    const char* mapping;
    friend void PrintTo(const ColumnCase& c, std::ostream* os) { *os << c.name; }
};

class Columns : public ::testing::TestWithParam<ColumnCase> {};

TEST_P(Columns, AreReadAsAWhole) {
    const ColumnCase& c = GetParam();
    LabelColumn column("labels.txt");
    for (std::size_t i = 0; i < c.cells.size(); ++i) column.add(c.cells[i], i + 1);
    const LabelSet set = std::move(column).resolve();
    EXPECT_EQ(set.tally.reading, c.reading);
    EXPECT_EQ(set.labels, c.labels);
    EXPECT_EQ(set.kept, c.kept);
    EXPECT_EQ(set.tally.mapping(), c.mapping);
    EXPECT_EQ(set.tally.positive() + set.tally.negative() + set.tally.left_out(), c.cells.size());
}

INSTANTIATE_TEST_SUITE_P(
    LabelScheme, Columns,
    ::testing::Values(
        ColumnCase{"binary", {"1", "0", "1"}, LabelReading::Binary, {1, 0, 1}, {}, "1 → 好评 positive (2); 0 → 差评 negative (1)"},
        ColumnCase{"words", {"pos", "负面", "Positive", "pos"}, LabelReading::Words, {1, 0, 1, 1}, {},
                   "pos, positive → 好评 positive (3); 负面 → 差评 negative (1)"},
        // One star is negative as soon as any of 2 to 5 shows the column is stars.
        ColumnCase{"stars", {"5", "3", "1", "2", "4", "5"}, LabelReading::Stars, {1, 0, 0, 1, 1},
                   {true, false, true, true, true, true}, "5, 4 → 好评 positive (3); 1, 2 → 差评 negative (2); 3 left out (1)"},
        ColumnCase{"one_and_two", {"1", "2", "1"}, LabelReading::Stars, {0, 0, 0}, {}, "1, 2 → 差评 negative (3)"},
        ColumnCase{"stars_and_words", {"好评", "5", "1", "差评", "4.0"}, LabelReading::Stars, {1, 1, 0, 0, 1}, {},
                   "好评, 4, 5 → 好评 positive (3); 差评, 1 → 差评 negative (2)"},
        ColumnCase{"only_threes", {"3", "3"}, LabelReading::Stars, {}, {false, false}, "3 left out (2)"}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
    const char* name;
    std::vector<const char*> cells;
    const char* english;
    const char* chinese;
    friend void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }
};

class Refused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(Refused, NameTheLine) {
    const RefusedCase& c = GetParam();
    expect_error(error_of([&] {
                     LabelColumn column("t.csv", "评分");
                     for (std::size_t i = 0; i < c.cells.size(); ++i) column.add(c.cells[i], i + 2);
                     std::move(column).resolve();
                 }),
                 c.english, c.chinese);
}

INSTANTIATE_TEST_SUITE_P(
    LabelScheme, Refused,
    ::testing::Values(
        RefusedCase{"zero_among_stars", {"1", "5", "0", "0"}, "t.csv line 4: rating 0 in column \"评分\" in a column of star ratings",
                    "t.csv 第 4 行：评分 0（\"评分\" 列）"},
        RefusedCase{"above_five", {"5", "7"}, "t.csv line 3: rating \"7\" in column \"评分\" is outside 1 to 5", "不在 1 到 5 之间"},
        RefusedCase{"half_star", {"4.5"}, "t.csv line 2: rating \"4.5\"", "评分 \"4.5\""},
        RefusedCase{"negative", {"-1"}, "rating \"-1\" in column", "t.csv 第 2 行"},
        RefusedCase{"ten", {"1", "10"}, "t.csv line 3: rating \"10\"", "t.csv 第 3 行"},
        RefusedCase{"unknown_word", {"good"}, "t.csv line 2: unknown label \"good\" in column \"评分\" (expected",
                    "未知标签 \"good\""}),
    [](const auto& info) { return std::string(info.param.name); });

// The message for an unknown label is the user's only list of what is accepted.
TEST(LabelScheme, UnknownLabelListsEveryWordAndTheStars) {
    LabelColumn column("labels.txt");
    const ErrorText e = error_of([&] { column.add("meh", 9); });
    for (std::string_view word : {"positive", "negative", "pos", "neg", "1/0", "正面", "负面", "好评", "差评", "any case",
                                  "star rating from 1 to 5"})
        EXPECT_NE(e.english.find(word), std::string::npos) << word << " missing: " << e.english;
    for (std::string_view word : {"正面", "负面", "好评", "差评", "不分大小写", "1 到 5 的星级评分"})
        EXPECT_NE(e.chinese.find(word), std::string::npos) << word << " missing: " << e.chinese;
}

TEST(LabelScheme, MappingGroupsSpellingsByClassWithThousands) {
    LabelTally t;
    t.reading = LabelReading::Stars;
    t.counts[std::size_t(LabelForm::Five)] = 2000;
    t.counts[std::size_t(LabelForm::Four)] = 1120;
    t.counts[std::size_t(LabelForm::One)] = 500;
    t.counts[std::size_t(LabelForm::Two)] = 380;
    t.counts[std::size_t(LabelForm::Three)] = 412;
    EXPECT_EQ(t.mapping(), "5, 4 → 好评 positive (3,120); 1, 2 → 差评 negative (880); 3 left out (412)");
    t.reading = LabelReading::Binary;
    t.counts = {};
    t.counts[std::size_t(LabelForm::One)] = 1234567;
    t.counts[std::size_t(LabelForm::Zero)] = 999;
    EXPECT_EQ(t.mapping(), "1 → 好评 positive (1,234,567); 0 → 差评 negative (999)");
}

TEST(LabelScheme, BothClassesAreNeededAfterThreesLeaveTheSet) {
    const auto message = [](std::vector<const char*> cells) {
        LabelColumn column("labels.txt");
        for (std::size_t i = 0; i < cells.size(); ++i) column.add(cells[i], i + 1);
        return error_of([&] { check_both_classes(std::move(column).resolve(), "labels.txt"); }).english;
    };
    EXPECT_NE(message({"3", "3", "3"}).find("all 3 labels are 3-star ratings, which are left out"), std::string::npos);
    EXPECT_NE(message({"5", "3", "4"}).find("all 2 labels are positive"), std::string::npos);
    EXPECT_EQ(message({"5", "3", "1"}), "");
}

// A 3-star review leaves with its label; the rest stay aligned.
TEST(LabelScheme, PlainFilesDropTheReviewLineOfAThreeStarLabel) {
    const Dataset d = read_dataset("great\nso-so\nawful\nfine\nok\n", "5\n3\n1\n4\n3\n");
    EXPECT_EQ(d.reviews, (std::vector<std::string>{"great", "awful", "fine"}));
    EXPECT_EQ(d.labels, (std::vector<std::uint8_t>{1, 0, 1}));
    EXPECT_EQ(d.tally.left_out(), 2u);
}

struct BreakCase {
    const char* name;
    const char* reviews;
    const char* labels;
    const char* english;
    const char* chinese;
    friend void PrintTo(const BreakCase& c, std::ostream* os) { *os << c.name; }
};

class LineBreaks : public ::testing::TestWithParam<BreakCase> {};

// A review broken over two lines makes one line too many; the message says
// so, and where if a quote shows it.
TEST_P(LineBreaks, InAReviewAreSuspectedWhereTheyShow) {
    const BreakCase& c = GetParam();
    expect_error(error_of([&] { read_dataset(c.reviews, c.labels); }), c.english, c.chinese);
}

INSTANTIATE_TEST_SUITE_P(
    LabelScheme, LineBreaks,
    ::testing::Values(
        BreakCase{"quoted", "good \"fine\"\n\"too\nsalty\"\nbad\n", "pos\nneg\nneg\n",
                  "reviews.txt line 4: this review has no label: labels.txt has 3 labels but reviews.txt has 4 "
                  "reviews; a review may hold a line break and go on over two lines: line 2 is the first with an "
                  "odd number of double quotes",
                  "可能某条评论内含换行，占了两行：第 2 行是第一处双引号个数为奇数的行"},
        BreakCase{"unquoted", "good\ntoo\nsalty\nbad\n", "pos\nneg\nneg\n",
                  "a review may hold a line break and go on over two lines, but where cannot be told from the files",
                  "但从文件中无法判断在哪一行"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
