// train, eval and test on a shop's export: a table with a header row, star
// ratings, 3-star rows, quotes and line breaks in the reviews.
#include <gtest/gtest.h>

#include "test_support.h"

namespace {

std::string csv_field(const std::string& s) {
    std::string out = "\"";
    for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// The sample reviews as an export: order id, product, stars (positive 4-5,
// negative 1-2, alternately), the review; every 7th review broken over two
// lines, every 5th with a quoted word, a 3-star row after every 9th. Also
// the same reviews and labels as a plain pair, line breaks as spaces.
struct Export {
    std::string table, reviews, labels;
    std::vector<std::string> texts;  // every row's text as `test` shows it
    std::size_t threes = 0;
};

Export make_export(char delimiter) {
    const std::vector<std::string> reviews = lines_of(read_bytes(sample_path("sample-reviews.txt")));
    const std::vector<std::string> labels = lines_of(read_bytes(sample_path("sample-labels.txt")));
    Export e;
    const std::string d(1, delimiter);
    e.table = "订单号" + d + "商品" + d + "评分" + d + "评价\r\n";
    auto row = [&](std::size_t i, int stars, std::string text) {
        e.table += "A" + std::to_string(1000 + i) + d + csv_field("炒饭, 大份") + d + std::to_string(stars) + d + csv_field(text) + "\r\n";
        for (char& c : text)
            if (c == '\n') c = ' ';
        e.texts.push_back(text);
    };
    for (std::size_t i = 0; i < reviews.size(); ++i) {
        std::string text = reviews[i];
        if (i % 5 == 0) text = "\"" + text + "\", 就这样";
        if (i % 7 == 0 && text.find(' ') != std::string::npos) text[text.find(' ')] = '\n';
        const bool positive = labels[i] == "positive";
        row(i, positive ? 4 + int(i % 2) : 1 + int(i % 2), text);
        e.reviews += e.texts.back() + "\n";
        e.labels += positive ? "positive\n" : "negative\n";
        if (i % 9 == 0) {
            row(i, 3, "还行吧，一般般");
            ++e.threes;
        }
    }
    return e;
}

class TableRuns : public ::testing::Test {
protected:
    // Saves UTF-8 text in another encoding through iconv.
    void save_as(const std::string& name, const std::string& utf8, const std::string& command) {
        dir.write("utf8.tmp", utf8);
        ASSERT_EQ(run_shell(dir, command + " <utf8.tmp >'" + name + "' && rm utf8.tmp").status, 0);
    }
    void save_unicode_text(const std::string& name, const std::string& utf8) {
        save_as(name, utf8, "{ printf '\\377\\376'; iconv -f UTF-8 -t UTF-16LE; }");
    }
    TempDir dir;
};

// The same reviews and labels, as a GBK table or a plain pair, teach the same
// model: the verdicts on every sample review agree to the last digit.
TEST_F(TableRuns, GbkExportTrainsAsThePlainPairDoes) {
    const Export e = make_export(',');
    save_as("export.csv", e.table, "iconv -f UTF-8 -t GBK");
    dir.write("reviews.txt", e.reviews);
    dir.write("labels.txt", e.labels);
    RunResult table = run_tool(dir, "train --table export.csv --model table.model");
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_NE(table.out.find("read export.csv as a table: CSV (comma), GB18030, 4 columns; reviews: column 4 \"评价\" "
                             "(by its name); labels: column 3 \"评分\" (by its name)"),
              std::string::npos)
        << table.out;
    EXPECT_NE(table.out.find("; " + std::to_string(e.threes) + " rated 3 stars left out"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("3 left out (" + std::to_string(e.threes) + ")"), std::string::npos) << table.out;
    ASSERT_EQ(run_tool(dir, "train --model plain.model").status, 0);
    dir.write("test.txt", read_bytes(sample_path("sample-reviews.txt")));
    ASSERT_EQ(run_tool(dir, "test --model table.model --out table.out").status, 0);
    ASSERT_EQ(run_tool(dir, "test --model plain.model --out plain.out").status, 0);
    EXPECT_EQ(dir.read("table.out"), dir.read("plain.out"));
}

TEST_F(TableRuns, TestJudgesEveryRowOnOneLine) {
    const Export e = make_export(',');
    dir.write("export.csv", e.table);
    ASSERT_EQ(run_tool(dir, "train --table export.csv").status, 0);
    RunResult r = run_tool(dir, "test --table export.csv");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> out = lines_of(dir.read("out.txt"));
    ASSERT_EQ(out.size(), e.texts.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t second_tab = out[i].find('\t', out[i].find('\t') + 1);
        EXPECT_EQ(out[i].substr(second_tab + 1), e.texts[i]) << "row " << i;
    }
    EXPECT_NE(r.out.find("judged " + std::to_string(e.texts.size()) + " lines"), std::string::npos) << r.out;
}

TEST_F(TableRuns, EvalCountsTheThreeStarRowsItLeavesOut) {
    const Export e = make_export('\t');
    save_unicode_text("export.txt", e.table);
    ASSERT_EQ(run_tool(dir, "train --table export.txt").status, 0);
    RunResult r = run_tool(dir, "eval --table export.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("reviews: 323\nleft out: " + std::to_string(e.threes) + " rated 3 stars\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("accuracy: 0.9"), std::string::npos) << r.out;
}

// The window stages the one file the user chose twice as reviews.txt and
// labels.txt; the Unix emotion.bat trains from it as a table.
TEST_F(TableRuns, UnicodeTextChosenForBothTrainsThroughEmotionBat) {
    const Export e = make_export('\t');
    save_unicode_text("reviews.txt", e.table);
    save_unicode_text("labels.txt", e.table);
    const std::string bin = std::filesystem::path(SENTIMENT_TOOL).parent_path().string();
    RunResult r = run_shell(dir, "'" + bin + "/emotion.bat'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("计数.txt"), "1");
    EXPECT_NE(r.out.find("reviews.txt and labels.txt hold the same table, read as one: TSV (tab), UTF-16LE"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("learnt from 323 reviews"), std::string::npos) << r.out;
}

TEST_F(TableRuns, OnePlainFileChosenForBothIsStillRefused) {
    dir.write("reviews.txt", read_bytes(sample_path("sample-reviews.txt")));
    dir.write("labels.txt", read_bytes(sample_path("sample-labels.txt")));
    ASSERT_EQ(run_tool(dir, "train").status, 0);
    const std::string model = dir.read("sentiment.model");
    dir.write("labels.txt", dir.read("reviews.txt"));
    RunResult r = run_tool(dir, "train");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("error: reviews.txt and labels.txt hold the same content; each needs a file of its own (was "
                         "one file chosen for both?)"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("是否同一个文件选了两次"), std::string::npos) << r.err;
    EXPECT_EQ(dir.read("sentiment.model"), model);
    EXPECT_NE(dir.read("计数.txt"), "1");
}

struct OptionCase {
    const char* name;
    const char* args;
    const char* says;
    friend void PrintTo(const OptionCase& c, std::ostream* os) { *os << c.name; }
};

class TableOptions : public ::testing::TestWithParam<OptionCase> {};

TEST_P(TableOptions, ThatContradictAreRefusedBeforeAnyWork) {
    TempDir dir;
    RunResult r = run_tool(dir, GetParam().args);
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_NE(r.err.find(GetParam().says), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Tool, TableOptions,
    ::testing::Values(OptionCase{"table_and_reviews", "train --table t.csv --reviews r.txt", "--reviews"},
                      OptionCase{"column_without_table", "train --text-column 2", "--table"},
                      OptionCase{"test_table_and_input", "test --table t.csv --input x.txt", "--input"},
                      OptionCase{"eval_with_nothing", "eval --labels l.txt", "eval needs --reviews and --labels, or --table"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
