#include <gtest/gtest.h>

#include "features/table_columns.h"
#include "test_support.h"

using namespace sentiment;

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Rows that make each kind of column the cases below use.
const std::vector<std::string> kReviews = {"送餐很快，味道很好，下次还点", "太咸了，而且送来都凉了，差评",
                                           "Great pizza, fast delivery, will order again", "米饭夹生，再也不点了"};
const std::vector<std::string> kProducts = {"炒饭", "奶茶", "披萨", "炒饭"};
const std::vector<std::string> kStars = {"5", "1", "4", "2"};
const std::vector<std::string> kIds = {"10023", "10024", "10025", "10026"};
const std::vector<std::string> kDates = {"2024-01-02", "2024-01-03", "2024-01-03", "2024-01-05"};
const std::vector<std::string> kRemarks = {"请多放辣椒，不要香菜，谢谢", "门口放着就行，不用打电话", "少放点盐，谢谢了老板",
                                           "Leave it at the door please, thanks"};

std::vector<ColumnProfile> profile(const std::vector<const std::vector<std::string>*>& columns) {
    std::vector<ColumnProfile> profiles(columns.size());
    for (std::size_t c = 0; c < columns.size(); ++c)
        for (const std::string& cell : *columns[c]) profiles[c].add(cell);
    return profiles;
}

struct ChoiceCase {
    const char* name;
    std::vector<std::string> header;
    std::vector<const std::vector<std::string>*> columns;
    ColumnRequest request;
    bool need_label;
    std::size_t text, label;  // expected, 0-based; label kNone when not needed
    ColumnSource text_by, label_by;
    friend void PrintTo(const ChoiceCase& c, std::ostream* os) { *os << c.name; }
};

constexpr std::size_t kNone = ChosenColumn::kNone;

class Choices : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(Choices, FindTheReviewsAndLabels) {
    const ChoiceCase& c = GetParam();
    const TableColumns got = choose_columns(c.header, profile(c.columns), c.request, c.need_label, "t.csv");
    EXPECT_EQ(got.text.index, c.text);
    EXPECT_EQ(got.label.index, c.label);
    EXPECT_EQ(got.text.source, c.text_by);
    if (c.need_label) {
        EXPECT_EQ(got.label.source, c.label_by);
    }
    EXPECT_EQ(got.text.name, c.header[c.text]);
}

INSTANTIATE_TEST_SUITE_P(
    TableColumns, Choices,
    ::testing::Values(
        ChoiceCase{"chinese_names", {"订单号", "商品", "评分", "评价"}, {&kIds, &kProducts, &kStars, &kReviews}, {}, true, 3, 2,
                   ColumnSource::Name, ColumnSource::Name},
        ChoiceCase{"english_names_any_case", {"ID", "Review Text", "Star_Rating"}, {&kIds, &kReviews, &kStars}, {}, true, 1, 2,
                   ColumnSource::Name, ColumnSource::Name},
        ChoiceCase{"by_content", {"a", "b", "c", "d"}, {&kIds, &kProducts, &kReviews, &kStars}, {}, true, 2, 3,
                   ColumnSource::Content, ColumnSource::Content},
        // 评价时间 holds 评价 too, but dates are no free text.
        ChoiceCase{"chinese_name_inside_a_longer_one", {"评价时间", "商品评价内容", "星级"}, {&kDates, &kReviews, &kStars}, {},
                   true, 1, 2, ColumnSource::Name, ColumnSource::Name},
        ChoiceCase{"asked_by_number", {"评价", "备注", "评分"}, {&kReviews, &kRemarks, &kStars}, {"2", ""}, true, 1, 2,
                   ColumnSource::Asked, ColumnSource::Name},
        ChoiceCase{"asked_by_name", {"x", "y", "z"}, {&kRemarks, &kStars, &kReviews}, {"z", " y "}, true, 2, 1,
                   ColumnSource::Asked, ColumnSource::Asked},
        ChoiceCase{"text_alone_for_judging", {"订单号", "评价", "评分"}, {&kIds, &kReviews, &kStars}, {}, false, 1, kNone,
                   ColumnSource::Name, ColumnSource::Content},
        ChoiceCase{"one_column_for_judging", {"whatever"}, {&kReviews}, {}, false, 0, kNone, ColumnSource::Content,
                   ColumnSource::Content}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
    const char* name;
    std::vector<std::string> header;
    std::vector<const std::vector<std::string>*> columns;
    ColumnRequest request;
    const char* english;
    const char* chinese;
    friend void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }
};

class Refusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, ListTheCandidates) {
    const RefusalCase& c = GetParam();
    expect_error(error_of([&] { choose_columns(c.header, profile(c.columns), c.request, true, "t.csv"); }), c.english,
                 c.chinese);
}

INSTANTIATE_TEST_SUITE_P(
    TableColumns, Refusals,
    ::testing::Values(
        RefusalCase{"two_label_columns", {"a", "b", "c"}, {&kReviews, &kStars, &kStars}, {},
                    "t.csv: cannot tell which column holds the labels: column 2 \"b\" (1.0 characters on average), "
                    "column 3 \"c\" (1.0 characters on average); name it with --label-column",
                    "t.csv：无法确定哪一列是标签：第 2 列 \"b\""},
        RefusalCase{"two_texts_alike", {"a", "b", "c"}, {&kReviews, &kStars, &kRemarks}, {},
                    "cannot tell which column holds the reviews: column 1 \"a\"", "请用 --text-column 指定"},
        RefusalCase{"two_review_names", {"评价", "评论", "评分"}, {&kReviews, &kRemarks, &kStars}, {},
                    "cannot tell which column holds the reviews: column 1 \"评价\"", "无法确定哪一列是评论"},
        RefusalCase{"no_labels", {"a", "b"}, {&kReviews, &kProducts}, {},
                    "t.csv: no column of labels found among column 1 \"a\"", "找不到标签列"},
        RefusalCase{"asked_name_missing", {"评价", "评分"}, {&kReviews, &kStars}, {"review", ""},
                    "t.csv: --text-column \"review\" names no column; the columns: column 1 \"评价\"", "不是任何一列的标题"},
        RefusalCase{"asked_number_too_big", {"评价", "评分"}, {&kReviews, &kStars}, {"", "3"},
                    "t.csv: --label-column 3, but the table has columns 1 to 2", "只有第 1 到 2 列"},
        RefusalCase{"asked_the_same_column", {"评价", "评分"}, {&kReviews, &kStars}, {"2", "2"},
                    "the reviews and the labels cannot both be column 2 \"评分\"", "评论和标签不能是同一列"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
