#include <gtest/gtest.h>

#include "features/kept_rows.h"
#include "features/review_table.h"
#include "test_support.h"
#include "text/utf8.h"

using namespace sentiment;

namespace {

// A table over bytes it keeps: the line reader only views them.
struct OwnedTable {
    explicit OwnedTable(std::string text)
        : bytes(std::move(text)), table(std::make_unique<LineReader>(bytes, "t.csv"), ColumnRequest{}, true) {}
    std::string bytes;
    ReviewTable table;
};

std::unique_ptr<OwnedTable> table_of(std::string bytes) { return std::make_unique<OwnedTable>(std::move(bytes)); }

std::vector<std::string> all_texts(TextSource& source) {
    std::vector<std::string> out;
    std::string_view line;
    while (source.next(line)) out.emplace_back(line);
    return out;
}

// "Unicode text" as a spreadsheet saves it: UTF-16 little-endian with a
// byte-order mark, tabs, CR LF, quotes around a text with line breaks.
std::string unicode_text(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t cp = next_code_point(utf8, i);
        out += static_cast<char>(cp & 0xFF);
        out += static_cast<char>(cp >> 8);
    }
    return out;
}

TEST(ReviewTable, ReadsUnicodeTextWithLineBreaksInsideQuotes) {
    auto owned = table_of(unicode_text("订单号\t评分\t评价\r\n1\t5\t\"很好吃\r\n下次还点\"\r\n2\t1\t太咸了\r\n3\t3\t一般\r\n"));
    ReviewTable& table = owned->table;
    EXPECT_EQ(table.layout().delimiter, '\t');
    EXPECT_EQ(table.layout().encoding, Encoding::Utf16LE);
    EXPECT_EQ(table.layout().header, (std::vector<std::string>{"订单号", "评分", "评价"}));
    EXPECT_EQ(table.layout().describe_en(),
              "TSV (tab), UTF-16LE, 3 columns; reviews: column 3 \"评价\" (by its name); labels: column 2 \"评分\" (by its name)");
    const TableLabels read = read_table_labels(table);
    EXPECT_EQ(read.set.labels, (std::vector<std::uint8_t>{1, 0}));
    EXPECT_EQ(read.set.kept, (std::vector<bool>{true, true, false}));
    TableTexts texts(table);
    // A judged row is one output line: its line break becomes a space.
    EXPECT_EQ(all_texts(texts), (std::vector<std::string>{"很好吃 下次还点", "太咸了", "一般"}));
    KeptRows kept(texts, read.set.kept);
    kept.rewind();
    EXPECT_EQ(all_texts(kept), (std::vector<std::string>{"很好吃 下次还点", "太咸了"}));
}

TEST(ReviewTable, ReadsGbkCsv) {
    // 评价,评分 / "好吃,快",5 / 难吃,1 in GBK
    auto owned = table_of("\xC6\xC0\xBC\xDB,\xC6\xC0\xB7\xD6\r\n\"\xBA\xC3\xB3\xD4,\xBF\xEC\",5\r\n\xC4\xD1\xB3\xD4,1\r\n");
    ReviewTable& table = owned->table;
    EXPECT_EQ(table.layout().encoding, Encoding::Gb18030);
    TableTexts texts(table);
    EXPECT_EQ(all_texts(texts), (std::vector<std::string>{"好吃,快", "难吃"}));
}

TEST(ReviewTable, LeavesOutBlankRowsAndRowsWithoutTextAndCountsThem) {
    auto owned = table_of("review,rating\ngood,5\n,,\n  ,4\nso-so,3\nbad,1\n,\n");
    ReviewTable& table = owned->table;
    const TableLabels read = read_table_labels(table);
    EXPECT_EQ(read.rows, 4u);
    EXPECT_EQ(read.blank_rows, 2u);
    EXPECT_EQ(read.without_text, 1u);
    EXPECT_EQ(read.set.labels, (std::vector<std::uint8_t>{1, 0}));
    EXPECT_EQ(read.set.kept, (std::vector<bool>{true, false, false, true}));
    EXPECT_EQ(read.set.tally.left_out(), 1u);  // the 3 stars; the row without text is not a label read
    TableTexts texts(table);
    KeptRows kept(texts, read.set.kept);
    EXPECT_EQ(all_texts(kept), (std::vector<std::string>{"good", "bad"}));
    // A second pass gives the same rows: training reads them many times.
    kept.rewind();
    EXPECT_EQ(all_texts(kept), (std::vector<std::string>{"good", "bad"}));
}

struct BadTableCase {
    const char* name;
    std::string bytes;
    const char* english;
    const char* chinese;
    friend void PrintTo(const BadTableCase& c, std::ostream* os) { *os << c.name; }
};

class BadTables : public ::testing::TestWithParam<BadTableCase> {};

TEST_P(BadTables, AreRefusedNamingTheLine) {
    const BadTableCase& c = GetParam();
    expect_error(error_of([&] {
                     auto owned = table_of(c.bytes);
                     ReviewTable& table = owned->table;
                     read_table_labels(table);
                 }),
                 c.english, c.chinese);
}

INSTANTIATE_TEST_SUITE_P(
    ReviewTable, BadTables,
    ::testing::Values(
        BadTableCase{"row_too_narrow", "id,review,rating\n1,good,5\n2,bad\n3,ok,4\n",
                     "t.csv line 3: this row has 2 fields where the header has 3 (is a comma or a line break in a review "
                     "not inside double quotes?)",
                     "t.csv 第 3 行：此行有 2 个字段，而标题行有 3 个"},
        BadTableCase{"row_too_wide", "review,rating\ngood,5\nbad, really bad,1\n", "t.csv line 3: this row has 3 fields",
                     "t.csv 第 3 行"},
        BadTableCase{"unknown_label_after_a_long_row", "review,rating\n\"a\nb\nc\",5\nd,meh\n",
                     "t.csv line 5: unknown label \"meh\" in column \"rating\"", "t.csv 第 5 行：未知标签 \"meh\"（\"rating\" 列）"},
        BadTableCase{"first_row_is_data", "great food,5\nawful,1\n",
                     "t.csv line 1: the first row should name the columns, but it reads as data", "第一行应为列名"},
        BadTableCase{"one_column", "review\ngood\n", "t.csv line 1: a table of reviews and labels needs a header row naming "
                     "at least two columns", "标题行至少要有两个列名"},
        BadTableCase{"empty", "", "t.csv line 1: a table starts with a header row naming its columns; this line is missing",
                     "表格的第一行应为列名"},
        BadTableCase{"header_alone", "review,rating\r\n\r\n", "t.csv: the table has no rows below its header",
                     "表格在标题行之下没有数据"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReviewTable, ExtraBlankCellsPastTheHeaderAreFine) {
    auto owned = table_of("review,rating\ngood,5,,\nbad,1, \n");
    ReviewTable& table = owned->table;
    EXPECT_EQ(read_table_labels(table).set.labels, (std::vector<std::uint8_t>{1, 0}));
}

}  // namespace
