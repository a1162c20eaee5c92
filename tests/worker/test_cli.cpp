#include <gtest/gtest.h>

#include <sstream>

#include "test_support.h"

namespace {

std::vector<std::string> split_lines(const std::string& s) {
    std::vector<std::string> lines;
    std::istringstream in(s);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// A work directory as the window prepares it: the exchange files, in place.
class WorkDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir.write("reviews.txt", read_bytes(sample_path("sample-reviews.txt")));
        dir.write("labels.txt", read_bytes(sample_path("sample-labels.txt")));
    }
    RunResult train() { return run_tool(dir, "train"); }
    TempDir dir;
};

TEST_F(WorkDir, TrainWritesModelThenEndSignal) {
    RunResult r = train();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("计数.txt"), "1");
    EXPECT_EQ(dir.read("sentiment.model").substr(0, 8), "SENTIMDL");
    EXPECT_EQ(dir.listing().find(".tmp"), std::string::npos) << dir.listing();
}

TEST_F(WorkDir, TestJudgesEveryLineInOrder) {
    ASSERT_EQ(train().status, 0);
    dir.write("test.txt", "It is a terrible movie\r\nI like it\r\n\r\nIt is a lovely hero\r\n");
    RunResult r = run_tool(dir, "test");
    ASSERT_EQ(r.status, 0) << r.err;
    auto lines = split_lines(dir.read("out.txt"));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("差评\t", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("好评\t", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3].rfind("好评\t", 0), 0u) << lines[3];
    EXPECT_NE(lines[0].find("\tIt is a terrible movie"), std::string::npos);
    EXPECT_EQ(dir.read("percent.txt"), "66.67");
}

TEST_F(WorkDir, TestReadsGbkInputAndWritesUtf8) {
    ASSERT_EQ(train().status, 0);
    dir.write("test.txt", "\xCC\xAB\xC4\xD1\xB3\xD4\xC1\xCB\n");  // 太难吃了 in GBK
    RunResult r = run_tool(dir, "test");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(dir.read("out.txt").find("\t太难吃了\n"), std::string::npos) << dir.read("out.txt");
}

TEST_F(WorkDir, EmptyTestFileGivesZeroPercent) {
    ASSERT_EQ(train().status, 0);
    dir.write("test.txt", "");
    RunResult r = run_tool(dir, "test");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("percent.txt"), "0");
    EXPECT_EQ(dir.read("out.txt"), "");
}

TEST_F(WorkDir, TestWithoutModelSaysTrainFirst) {
    dir.write("test.txt", "hello\n");
    RunResult r = run_tool(dir, "test");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("错误："), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("请先训练"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("train first"), std::string::npos) << r.err;
    EXPECT_FALSE(dir.exists("out.txt"));
    EXPECT_FALSE(dir.exists("percent.txt"));
}

TEST_F(WorkDir, BadLabelFailsLoudlyAndKeepsPreviousModel) {
    ASSERT_EQ(train().status, 0);
    std::string before = dir.read("sentiment.model");
    std::string labels = dir.read("labels.txt");
    std::size_t third = labels.find('\n', labels.find('\n') + 1) + 1;
    labels.replace(third, labels.find('\n', third) - third, "maybe");
    dir.write("labels.txt", labels);
    RunResult r = train();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("错误：labels.txt 第 3 行：未知标签 \"maybe\"", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("\nerror: labels.txt line 3: unknown label \"maybe\""), std::string::npos) << r.err;
    EXPECT_NE(dir.read("计数.txt"), "1");
    EXPECT_EQ(dir.read("sentiment.model"), before);
}

// A failed run leaves no progress file it made, and never "1" in one that
// was there before: the window takes "1" for a finished model.
struct FailedTrainingCase {
    const char* name;
    const char* setup;  // shell commands that spoil the run
    const char* args;
    friend void PrintTo(const FailedTrainingCase& c, std::ostream* os) { *os << c.name; }
};

class FailedTraining : public WorkDir, public ::testing::WithParamInterface<FailedTrainingCase> {};

TEST_P(FailedTraining, LeavesNoProgressFileItMadeAndNeverOne) {
    ASSERT_EQ(run_shell(dir, GetParam().setup).status, 0);
    const std::string listing = dir.listing();
    RunResult r = run_tool(dir, GetParam().args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(dir.listing(), listing);
    EXPECT_FALSE(dir.exists("计数.txt"));

    dir.write("计数.txt", "1");
    r = run_tool(dir, GetParam().args);
    EXPECT_EQ(r.status, 1) << r.err;
    ASSERT_TRUE(dir.exists("计数.txt"));
    EXPECT_NE(dir.read("计数.txt"), "1");
}

INSTANTIATE_TEST_SUITE_P(
    Tool, FailedTraining,
    ::testing::Values(FailedTrainingCase{"unknown_label", "sed -i '3s/.*/maybe/' labels.txt", "train"},
                      FailedTrainingCase{"one_label_short", "sed -i '$d' labels.txt", "train"},
                      FailedTrainingCase{"labels_missing", "rm labels.txt", "train"},
                      FailedTrainingCase{"model_cannot_be_written", "true", "train --model no/such/dir/m.model"},
                      FailedTrainingCase{"report_cannot_be_written", "touch sentiment.model", "train >/dev/full"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WorkDir, DamagedModelIsReportedNotUsed) {
    dir.write("sentiment.model", "SENTIMDL\x01\x00\x00\x00garbage");
    dir.write("test.txt", "hello\n");
    RunResult r = run_tool(dir, "test");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("sentiment.model: not a usable model file"), std::string::npos) << r.err;
    EXPECT_FALSE(dir.exists("out.txt"));
}

TEST_F(WorkDir, EvalPrintsAccuracyAndConfusion) {
    ASSERT_EQ(train().status, 0);
    RunResult r = run_tool(dir, "eval --reviews reviews.txt --labels labels.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    auto at = r.out.find("accuracy: ");
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_GE(std::stod(r.out.substr(at + 10, 6)), 0.9) << r.out;
    EXPECT_NE(r.out.find("precision"), std::string::npos);
    EXPECT_NE(r.out.find("confusion"), std::string::npos);
}

TEST_F(WorkDir, UnixScriptsRunFromTheWorkDirectoryWithoutArguments) {
    std::string bin = std::filesystem::path(SENTIMENT_TOOL).parent_path().string();
    ASSERT_TRUE(std::filesystem::exists(bin + "/emotion.bat"));
    RunResult r = run_shell(dir, "'" + bin + "/emotion.bat'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("计数.txt"), "1");
    dir.write("test.txt", "I like it\n");
    r = run_shell(dir, "'" + bin + "/test.bat'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("percent.txt"), "100.00");
}

// Installed copies of the scripts in awkward directories, each beside a link
// to the real tool; a decoy tool sits where a mangled name would lead.
TEST_F(WorkDir, UnixScriptsRunTheToolBesideThemWhateverTheDirectoryName) {
    namespace fs = std::filesystem;
    const fs::path bin = fs::path(SENTIMENT_TOOL).parent_path();
    dir.write("decoy", "#!/bin/sh\necho decoy >&2\nexit 7\n");
    fs::permissions(dir.path() / "decoy", fs::perms::owner_all);
    // printf formats: \n is a newline in the name.
    for (const std::string name : {"bin\\n", "with space", "-dash", "中文 目录", "a\\nb"}) {
        SCOPED_TRACE(name);
        RunResult made = run_shell(dir, "d=$(printf -- '" + name + "x'); d=\"$PWD/${d%x}\"; mkdir -- \"$d\" && "
                                   "cp '" + bin.string() + "/emotion.bat' '" + bin.string() + "/test.bat' \"$d/\" && "
                                   "ln -s '" + SENTIMENT_TOOL + "' \"$d/sentiment\"");
        ASSERT_EQ(made.status, 0) << made.err;
        // Where $(dirname) would go: the name without its trailing newline.
        run_shell(dir, "d=$(printf -- '" + name + "'); [ -e \"$d\" ] || { mkdir -- \"$d\" && cp decoy \"$d/sentiment\"; }");
        fs::remove(dir.path() / "计数.txt");
        RunResult r = run_shell(dir, "d=$(printf -- '" + name + "x'); \"$PWD/${d%x}/emotion.bat\"");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(dir.read("计数.txt"), "1");
        dir.write("test.txt", "I like it\n");
        r = run_shell(dir, "d=$(printf -- '" + name + "x'); \"./${d%x}/test.bat\"");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(dir.read("percent.txt"), "100.00");
    }
}

TEST(Scripts, WindowsBatchFilesUseCrLfAndTheExchangeFiles) {
    std::string emotion = read_bytes(std::string(SCRIPTS_DIR) + "/windows/emotion.bat");
    std::string test = read_bytes(std::string(SCRIPTS_DIR) + "/windows/test.bat");
    for (const std::string* s : {&emotion, &test}) {
        ASSERT_FALSE(s->empty());
        for (std::size_t i = 0; i < s->size(); ++i)
            if ((*s)[i] == '\n') {
                ASSERT_EQ((*s)[i - 1], '\r');
            }
        EXPECT_NE(s->find("\"%~dp0sentiment.exe\""), std::string::npos);
    }
    EXPECT_NE(emotion.find("train --reviews reviews.txt --labels labels.txt --model sentiment.model"), std::string::npos);
    // cmd.exe would read a Chinese name in the ANSI code page; the default is used.
    EXPECT_EQ(emotion.find("计数"), std::string::npos);
    EXPECT_NE(test.find("--percent percent.txt"), std::string::npos);
}

struct CliCase {
    const char* name;
    const char* args;
    int status;
    const char* in_output;  // expected in stdout + stderr
    friend void PrintTo(const CliCase& c, std::ostream* os) { *os << c.name; }
};

class Cli : public ::testing::TestWithParam<CliCase> {};

TEST_P(Cli, ExitStatusAndMessage) {
    TempDir dir;
    RunResult r = run_tool(dir, GetParam().args);
    EXPECT_EQ(r.status, GetParam().status) << r.out << r.err;
    EXPECT_NE((r.out + r.err).find(GetParam().in_output), std::string::npos) << r.out << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Tool, Cli,
    ::testing::Values(
        CliCase{"no_subcommand", "", 2, "error: invalid command line"},
        CliCase{"unknown_option", "train --colour red", 2, "--colour"},
        CliCase{"bad_number", "train --seed twelve", 2, "error: invalid command line"},
        CliCase{"train_help_shows_defaults", "train --help", 0, "--progress TEXT=计数.txt"},
        CliCase{"train_help_model_default", "train --help", 0, "--model TEXT=sentiment.model"},
        CliCase{"test_help_shows_defaults", "test --help", 0, "--percent TEXT=percent.txt"},
        CliCase{"tokenize_help", "tokenize --help", 0, "--input TEXT=test.txt"},
        CliCase{"missing_reviews", "train", 1, "error: reviews.txt: cannot open"},
        CliCase{"eval_needs_files", "eval", 2, "--reviews"},
        CliCase{"char_ngram_pair", "train --char-min 0", 1, "--char-min and --char-max"},
        CliCase{"seed_negative", "train --seed -1", 2, "--seed must be a whole number from 0 to 18446744073709551615"},
        CliCase{"seed_past_2_64", "train --seed 18446744073709551616", 2, "--seed must be a whole number"},
        CliCase{"seed_hex", "train --seed 0x10", 2, "--seed must be a whole number"},
        CliCase{"seed_largest", "train --seed 18446744073709551615", 1, "error: reviews.txt: cannot open"},
        // --memory says a word is not a number, Chinese first.
        CliCase{"memory_word", "train --memory abc", 2,
                "错误：命令行参数无效：--memory 应为 0 到 4194304 之间的整数（单位 MB），而不是 \"abc\"\n"
                "error: invalid command line: --memory must be a whole number of megabytes from 0 to 4194304, not \"abc\""},
        CliCase{"memory_fraction", "train --memory 1.5", 2, "--memory must be a whole number of megabytes"},
        CliCase{"memory_too_much", "train --memory 4194305", 2, "--memory 4194305 is more than the most it takes, 4194304 MB"},
        CliCase{"memory_largest", "train --memory 4194304", 1, "error: reviews.txt: cannot open"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Tool, TokenizePrintsOneLinePerInputLine) {
    TempDir dir;
    dir.write("in.txt", "Not good!\r\n\r\n很好吃\n");
    RunResult r = run_tool(dir, "tokenize --input in.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "not neg_good !\n\n很 好 吃\n");
}

}  // namespace
