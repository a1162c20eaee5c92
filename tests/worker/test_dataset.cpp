#include <gtest/gtest.h>

#include "features/dataset.h"
#include "text/errors.h"

using namespace sentiment;

namespace {

struct LabelCase {
    const char* text;
    int expected;  // 1 positive, 0 negative, -1 unknown
    friend void PrintTo(const LabelCase& c, std::ostream* os) { *os << sentiment::quoted(c.text); }
};

class Labels : public ::testing::TestWithParam<LabelCase> {};

TEST_P(Labels, AreRecognised) {
    auto got = parse_label(GetParam().text);
    if (GetParam().expected < 0) {
        EXPECT_FALSE(got.has_value());
    } else {
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(*got, GetParam().expected == 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Dataset, Labels,
    ::testing::Values(LabelCase{"positive", 1}, LabelCase{"Negative", 0}, LabelCase{" POS \t", 1},
                      LabelCase{"neg", 0}, LabelCase{"1", 1}, LabelCase{"0", 0}, LabelCase{"正面", 1},
                      LabelCase{"负面", 0}, LabelCase{"好评", 1}, LabelCase{"差评\r", 0},
                      LabelCase{"\u3000好评\u3000", 1}, LabelCase{"maybe", -1}, LabelCase{"", -1},
                      LabelCase{"2", -1}, LabelCase{"positive negative", -1}, LabelCase{"posi", -1},
                      // Files joined end to end leave a byte-order mark mid-file.
                      LabelCase{"\xEF\xBB\xBFpositive", 1}, LabelCase{"\xEF\xBB\xBF", -1}));

TEST(Dataset, ReadsMatchingFilesWithTrailingBlankLines) {
    Dataset d = read_dataset("good\nbad\n\n", "pos\r\nneg\r\n\r\n  \n");
    EXPECT_EQ(d.reviews, (std::vector<std::string>{"good", "bad"}));
    EXPECT_EQ(d.labels, (std::vector<std::uint8_t>{1, 0}));
}

TEST(Dataset, AcceptsDifferentEncodingsForTheTwoFiles) {
    std::string labels_utf16 = std::string("\xFF\xFE", 2) + std::string("1\0\n\0" "0\0", 6);
    Dataset d = read_dataset("\xBA\xC3\n\xB2\xEE\n", labels_utf16);  // 好 差 in GBK
    EXPECT_EQ(d.reviews, (std::vector<std::string>{"好", "差"}));
    EXPECT_EQ(d.labels, (std::vector<std::uint8_t>{1, 0}));
}

struct InvalidCase {
    const char* name;
    const char* reviews;
    const char* labels;
    const char* english;  // must appear in the English message
    const char* chinese;  // must appear in the Chinese message
    friend void PrintTo(const InvalidCase& c, std::ostream* os) { *os << c.name; }
};

class InvalidSets : public ::testing::TestWithParam<InvalidCase> {};

TEST_P(InvalidSets, AreRefusedNamingFileAndLine) {
    const auto& c = GetParam();
    try {
        read_dataset(c.reviews, c.labels);
        FAIL() << "accepted " << c.name;
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(c.english), std::string::npos) << e.what();
        EXPECT_NE(e.chinese().find(c.chinese), std::string::npos) << e.chinese();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Dataset, InvalidSets,
    ::testing::Values(
        InvalidCase{"unknown_label", "a\nb\nc\n", "pos\nneg\nmaybe\n", "labels.txt line 3: unknown label \"maybe\"",
                    "labels.txt 第 3 行：未知标签 \"maybe\""},
        InvalidCase{"blank_label_inside", "a\nb\nc\n", "pos\n\nneg\n", "labels.txt line 2: unknown label",
                    "labels.txt 第 2 行"},
        InvalidCase{"more_reviews", "a\nb\nc\n", "pos\nneg\n", "reviews.txt line 3: this review has no label",
                    "reviews.txt 第 3 行"},
        InvalidCase{"more_labels", "a\nb\n", "pos\nneg\npos\n", "labels.txt line 3: this label has no review",
                    "labels.txt 第 3 行"},
        InvalidCase{"no_reviews", "", "", "reviews.txt: no reviews", "reviews.txt：没有"},
        InvalidCase{"only_blank_reviews", "\n \n", "pos\nneg\n", "reviews.txt: no reviews", "没有可供学习的评论"},
        InvalidCase{"one_class", "a\nb\n", "pos\npositive\n", "labels.txt: all 2 labels are positive",
                    "全部 2 个标签都是正面"},
        InvalidCase{"undecodable_reviews", "ok\n\x80\x80\n", "pos\nneg\n", "reviews.txt line 2", "reviews.txt 第 2 行"},
        InvalidCase{"reviews_are_labels", "positive\nnegative\n好评\n", "positive\nnegative\npos\n",
                    "reviews.txt: every review is a label word", "是否把标签文件也选作了评论文件"},
        InvalidCase{"invisible_character_in_label", "a\nb\n", "pos\n\xE2\x80\x8Bneg\n",
                    "labels.txt line 2: unknown label \"<U+200B>neg\"", "未知标签 \"<U+200B>neg\""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
