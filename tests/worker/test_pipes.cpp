// The tool in a pipeline: "-" reads an input from standard input, which
// gives the same results as the file itself, in any encoding, for the two
// passes training makes, and leaves no temporary copy behind.
#include <gtest/gtest.h>

#include <regex>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {

class Piped : public ::testing::Test {
protected:
    void SetUp() override {
        dir.write("reviews.txt", read_bytes(sample_path("sample-reviews.txt")));
        dir.write("labels.txt", read_bytes(sample_path("sample-labels.txt")));
        dir.write("test.txt", "It is a terrible movie\r\nI like it\r\n\r\nIt is a lovely hero\r\n");
        fs::create_directory(dir.path() / "tmp");
    }
    RunResult run(const std::string& args) { return run_tool(dir, args); }
    // A shell command that names the tool "$tool", which finds a temporary
    // directory of its own, to see what it leaves there.
    RunResult run_piped(const std::string& command) {
        return run_shell(dir, "tool='" + std::string(SENTIMENT_TOOL) + "'; export TMPDIR='" + dir.file("tmp") + "'; " +
                                  command);
    }
    TempDir dir;
};

struct TrainCase {
    const char* name;
    const char* command;
    friend void PrintTo(const TrainCase& c, std::ostream* os) { *os << c.name; }
};

class PipedTraining : public Piped, public ::testing::WithParamInterface<TrainCase> {};

TEST_P(PipedTraining, GivesTheModelTheFilesGive) {
    RunResult plain = run("train --model plain.model --progress plain.txt");
    ASSERT_EQ(plain.status, 0) << plain.err;
    RunResult r = run_piped(GetParam().command);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("sentiment.model"), dir.read("plain.model"));
    EXPECT_EQ(dir.read("计数.txt"), "1");
    // The same report, but for the name and the run's own peak memory.
    const auto without_peak = [](const std::string& report) {
        return std::regex_replace(report, std::regex(", peak resident memory [0-9]+ MB"), "");
    };
    EXPECT_EQ(without_peak(r.out), without_peak(plain.out.replace(plain.out.find("plain.model"), 11, "sentiment.model")));
    EXPECT_TRUE(fs::is_empty(dir.path() / "tmp")) << "the copy of standard input was left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Tool, PipedTraining,
    ::testing::Values(TrainCase{"reviews_redirected", "\"$tool\" train --reviews - <reviews.txt"},
                      TrainCase{"labels_redirected", "\"$tool\" train --labels - <labels.txt"},
                      TrainCase{"reviews_from_a_pipe", "cat reviews.txt | \"$tool\" train --reviews -"},
                      TrainCase{"reviews_as_gb18030", "iconv -f UTF-8 -t GB18030 reviews.txt | \"$tool\" train --reviews -"},
                      TrainCase{"labels_as_utf16", "iconv -f UTF-8 -t UTF-16 labels.txt | \"$tool\" train --labels -"},
                      TrainCase{"dev_stdin", "cat reviews.txt | \"$tool\" train --reviews /dev/stdin"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Piped, TestAndTokenizeReadStandardInput) {
    ASSERT_EQ(run("train").status, 0);
    RunResult plain = run("test --out plain-out.txt --percent plain-percent.txt");
    ASSERT_EQ(plain.status, 0) << plain.err;
    RunResult r = run_piped("cat test.txt | \"$tool\" test --input - --out -");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, dir.read("plain-out.txt"));
    EXPECT_EQ(dir.read("percent.txt"), dir.read("plain-percent.txt"));
    EXPECT_EQ(r.err, plain.out);

    plain = run("tokenize --input test.txt");
    r = run_piped("\"$tool\" tokenize --input - <test.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, plain.out);

    plain = run("eval --reviews reviews.txt --labels labels.txt");
    r = run_piped("\"$tool\" eval --reviews reviews.txt --labels - <labels.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, plain.out);
    EXPECT_TRUE(fs::is_empty(dir.path() / "tmp"));
}

// Errors in piped data name standard input and the line, and lose nothing.
TEST_F(Piped, BadPipedDataIsRefusedByLineAndLeavesNothing) {
    ASSERT_EQ(run("train").status, 0);
    const std::string model = dir.read("sentiment.model");
    std::string labels = dir.read("labels.txt");
    const std::size_t second = labels.find('\n') + 1;
    labels.replace(second, labels.find('\n', second) - second, "maybe");
    dir.write("bad-labels.txt", labels);
    fs::remove(dir.path() / "计数.txt");
    RunResult r = run_piped("cat bad-labels.txt | \"$tool\" train --labels -");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("错误：<stdin> 第 2 行：未知标签 \"maybe\"", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("\nerror: <stdin> line 2: unknown label \"maybe\""), std::string::npos) << r.err;
    EXPECT_EQ(dir.read("sentiment.model"), model);
    EXPECT_FALSE(dir.exists("计数.txt"));
    EXPECT_TRUE(fs::is_empty(dir.path() / "tmp"));
}

// Standard input can be read once: two inputs cannot both come from it.
TEST_F(Piped, OnlyOneInputComesFromStandardInput) {
    const std::string listing = dir.listing();
    for (const char* args : {"train --reviews - --labels - <reviews.txt", "train --reviews /dev/stdin --labels - <labels.txt",
                             "eval --reviews - --labels - <reviews.txt"}) {
        SCOPED_TRACE(args);
        RunResult r = run(args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("error: two inputs are to be read from standard input; only one can be"), std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("错误：有两个输入要从标准输入读取，但只能有一个"), std::string::npos) << r.err;
        EXPECT_EQ(dir.listing(), listing);
    }
}

// Appending the output to the input would read the output back in forever.
TEST_F(Piped, StandardOutputThatIsAnInputIsRefused) {
    ASSERT_EQ(run("train").status, 0);
    const std::string text = dir.read("test.txt"), labels = dir.read("labels.txt");
    for (const char* args : {"tokenize --input test.txt >>test.txt", "test --out - >>test.txt",
                             "eval --reviews reviews.txt --labels labels.txt >>labels.txt"}) {
        SCOPED_TRACE(args);
        RunResult r = run_shell(dir, "timeout 20 '" + std::string(SENTIMENT_TOOL) + "' " + args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("standard output is the input"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("标准输出就是输入文件"), std::string::npos) << r.err;
    }
    EXPECT_EQ(dir.read("test.txt"), text);
    EXPECT_EQ(dir.read("labels.txt"), labels);
}

TEST_F(Piped, NoRoomForTheCopyOfStandardInputIsAClearError) {
    RunResult r = run_shell(dir, "TMPDIR=/nonexistent/dir '" + std::string(SENTIMENT_TOOL) + "' train --reviews - <reviews.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("error: <stdin>: cannot keep a copy of standard input in the temporary directory"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("错误：<stdin>：无法在临时目录中保存标准输入的副本"), std::string::npos) << r.err;
    EXPECT_FALSE(dir.exists("计数.txt"));
    EXPECT_FALSE(dir.exists("sentiment.model"));
}

}  // namespace
