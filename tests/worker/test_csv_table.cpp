#include <gtest/gtest.h>

#include "features/csv_table.h"
#include "test_support.h"

using namespace sentiment;

namespace {

using Records = std::vector<std::vector<std::string>>;

struct ReadAll {
    Records records;
    std::vector<std::uint64_t> lines;
};

ReadAll read_all(std::string_view bytes, char delimiter) {
    LineReader lines(bytes, "t.csv");
    CsvReader reader(lines, delimiter);
    CsvRecord record;
    ReadAll all;
    while (reader.next(record)) {
        std::vector<std::string> fields;
        for (std::size_t i = 0; i < record.size(); ++i) fields.emplace_back(record[i]);
        all.records.push_back(fields);
        all.lines.push_back(record.line());
    }
    return all;
}

struct RecordCase {
    const char* name;
    std::string text;
    char delimiter;
    Records records;
    std::vector<std::uint64_t> lines;
    friend void PrintTo(const RecordCase& c, std::ostream* os) { *os << c.name; }
};

class Records4180 : public ::testing::TestWithParam<RecordCase> {};

TEST_P(Records4180, AreSplitAsWritten) {
    const RecordCase& c = GetParam();
    const ReadAll all = read_all(c.text, c.delimiter);
    EXPECT_EQ(all.records, c.records);
    EXPECT_EQ(all.lines, c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    CsvTable, Records4180,
    ::testing::Values(
        RecordCase{"plain", "a,b\r\nc,d\n", ',', {{"a", "b"}, {"c", "d"}}, {1, 2}},
        RecordCase{"quoted_delimiter", "\"x,y\",z\n", ',', {{"x,y", "z"}}, {1}},
        RecordCase{"doubled_quotes", "\"say \"\"hi\"\"\",1\n", ',', {{"say \"hi\"", "1"}}, {1}},
        RecordCase{"line_break_inside", "\"one\r\ntwo\",5\nnext,4\n", ',', {{"one\ntwo", "5"}, {"next", "4"}}, {1, 3}},
        RecordCase{"breaks_after_cr_alone", "\"x\ry\",1\r2,3\r", ',', {{"x\ny", "1"}, {"2", "3"}}, {1, 3}},
        RecordCase{"empty_fields", "a,,\n", ',', {{"a", "", ""}}, {1}},
        RecordCase{"empty_quoted", "\"\",x\n", ',', {{"", "x"}}, {1}},
        RecordCase{"quote_inside_plain_field", "5 \"inch\",x\n", ',', {{"5 \"inch\"", "x"}}, {1}},
        RecordCase{"tabs_keep_commas", "a,b\tc\n", '\t', {{"a,b", "c"}}, {1}},
        RecordCase{"blank_line_is_one_empty_field", "a\n\nb\n", ',', {{"a"}, {""}, {"b"}}, {1, 2, 3}},
        RecordCase{"no_final_line_break", "a,\"b\"", ',', {{"a", "b"}}, {1}},
        RecordCase{"quoted_delimiter_then_more_lines", "h\n\"a\n\nb\",c\nd\n", ',', {{"h"}, {"a\n\nb", "c"}, {"d"}},
                   {1, 2, 5}}),
    [](const auto& info) { return std::string(info.param.name); });

struct BrokenCase {
    const char* name;
    std::string text;
    const char* english;
    const char* chinese;
    friend void PrintTo(const BrokenCase& c, std::ostream* os) { *os << c.name; }
};

class BrokenTables : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenTables, AreRefusedNamingTheLine) {
    const BrokenCase& c = GetParam();
    expect_error(error_of([&] { read_all(c.text, ','); }), c.english, c.chinese);
}

std::string long_quoted_field(std::size_t lines, std::size_t width) {
    std::string s = "\"";
    for (std::size_t i = 0; i < lines; ++i) s += std::string(width, 'x') + "\n";
    return s + "\"";
}

INSTANTIATE_TEST_SUITE_P(
    CsvTable, BrokenTables,
    ::testing::Values(
        BrokenCase{"unclosed_quote", "h1,h2\nok,1\n\"never closed,1\nmore,2\n",
                   "t.csv line 3: a double quote opens a field here and is never closed", "t.csv 第 3 行：此行有一个双引号"},
        BrokenCase{"text_after_closing_quote", "h\n\"a\"b,1\n", "t.csv line 2: after the closing double quote of a field, found \"b,1\"",
                   "t.csv 第 2 行：字段的右双引号之后"},
        BrokenCase{"field_over_1_mib", "h\nok\n" + long_quoted_field(1100, 1000) + "\n",
                   "t.csv line 3: a field starting here is longer than 1 MiB", "t.csv 第 3 行：从此行开始的一个字段超过 1 MiB"},
        BrokenCase{"row_over_4_mib",
                   "h\n" + long_quoted_field(1000, 1000) + "," + long_quoted_field(1000, 1000) + "," +
                       long_quoted_field(1000, 1000) + "," + long_quoted_field(1000, 1000) + "," +
                       long_quoted_field(1000, 1000) + "\n",
                   "t.csv line 2: a row starting here is longer than 4 MiB", "t.csv 第 2 行"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CsvTable, DelimiterIsTheCommonestOutsideQuotes) {
    const std::pair<const char*, char> cases[] = {
        {"订单号,商品,评分,评价", ','}, {"订单号\t商品\t评分\t评价", '\t'}, {"a;b;c", ';'}, {"\"a,b,c\"\tc", '\t'},
        {"one", ','}, {"a,b\tc", '\t'}, {"a;b,c;d", ';'}, {"a,b;c,d", ','}};
    for (const auto& [header, expected] : cases) EXPECT_EQ(detect_delimiter(header), expected) << header;
}

}  // namespace
