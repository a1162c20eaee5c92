#include <gtest/gtest.h>

#include "io/line_reader.h"
#include "test_support.h"
#include "text/errors.h"

using namespace sentiment;
using namespace std::string_literals;

namespace {

TEST(LineReader, RewindsAndCountsLinesAcrossLargeInput) {
    std::string big;
    for (int i = 0; i < 100000; ++i) big += "line " + std::to_string(i) + "\r\n";
    LineReader r(big, "big.txt");
    for (int pass = 0; pass < 2; ++pass) {
        std::string_view line;
        int n = 0;
        std::string last;
        while (r.next(line)) {
            ++n;
            last.assign(line);
        }
        EXPECT_EQ(n, 100000);
        EXPECT_EQ(last, "line 99999");
        EXPECT_EQ(r.line_number(), 100000u);
        r.rewind();
    }
}

TEST(LineReader, MissingFileIsAClearError) {
    try {
        LineReader::open("/nonexistent/dir/reviews.txt", "reviews.txt");
        FAIL();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("reviews.txt: cannot open"), std::string::npos) << e.what();
    }
}

// Settling the encoding reads the whole file; a large one must move the
// progress bar on the way, and the reader still starts at line 1.
TEST(LineReader, OpeningReportsHowMuchOfTheFileItRead) {
    TempDir dir;
    std::string text;
    while (text.size() < (3u << 20)) text += "a fairly ordinary line of text\n";
    dir.write("big.txt", text);
    std::vector<double> seen;
    auto r = LineReader::open(dir.file("big.txt"), "big.txt", [&](double f) { seen.push_back(f); });
    ASSERT_GE(seen.size(), 3u);
    for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]);
    EXPECT_DOUBLE_EQ(seen.back(), 1.0);
    std::string_view line;
    ASSERT_TRUE(r->next(line));
    EXPECT_EQ(line, "a fairly ordinary line of text");
    EXPECT_EQ(r->line_number(), 1u);
}

struct LineEndCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
    friend void PrintTo(const LineEndCase& c, std::ostream* os) { *os << c.name; }
};

// Lines of every length from 0 to 19 with each kind of end, so that an end
// falls at every place of the eight bytes the reader looks at at once.
LineEndCase every_length_and_end() {
    LineEndCase c{"every_length_and_end", "", {}};
    const char* ends[] = {"\n", "\r", "\r\n"};
    for (int len = 0; len < 20; ++len)
        for (const char* end : ends) {
            c.lines.push_back(std::string(std::size_t(len), char('a' + len)));
            c.bytes += c.lines.back() + end;
        }
    return c;
}

class LineEnds : public ::testing::TestWithParam<LineEndCase> {};

TEST_P(LineEnds, SplitWhereAnEditorWould) {
    EXPECT_EQ(read_lines(GetParam().bytes, "t.txt"), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    LineReader, LineEnds,
    ::testing::Values(
        LineEndCase{"cr_only", "good film\rbad film\r", {"good film", "bad film"}},
        LineEndCase{"cr_then_crlf", "a\r\r\nb", {"a", "", "b"}},
        LineEndCase{"mixed", "a\nb\r\nc\rd", {"a", "b", "c", "d"}},
        LineEndCase{"utf16_cr_only", "\xFF\xFEx\0\r\0y\0\r\0"s, {"x", "y"}},
        // A CR last in the first read with its LF in the next is one break.
        LineEndCase{"crlf_across_reads", std::string((1 << 18) - 1, 'a') + "\r\nb",
                    {std::string((1 << 18) - 1, 'a'), "b"}},
        LineEndCase{"cr_across_reads", std::string((1 << 18) - 1, 'a') + "\rb", {std::string((1 << 18) - 1, 'a'), "b"}},
        every_length_and_end()),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineReader, RefusesALineLongerThanItsLimitNamingTheLine) {
    const std::string ok(16, 'x');
    EXPECT_EQ(LineReader(ok + "\n", "t.txt", 16).next(*std::make_unique<std::string_view>()), true);
    for (const std::string& text : {"a\n" + ok + "y\n", "a\n" + ok + "y", "a\r" + std::string(1 << 20, 'y')}) {
        LineReader r(text, "labels.txt", 16);
        std::string_view line;
        ASSERT_TRUE(r.next(line));
        try {
            r.next(line);
            FAIL() << "accepted a line of " << line.size() << " bytes";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("labels.txt line 2: line too long"), std::string::npos) << e.what();
        }
    }
}

}  // namespace
