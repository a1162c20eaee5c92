// Where the tool's outputs go: files replaced whole, standard output and
// error written through, never a device, pipe or socket behind a link, and
// never a write that fails without a word.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <thread>
#include <utility>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {

std::size_t count_lines(const std::string& s) { return static_cast<std::size_t>(std::count(s.begin(), s.end(), '\n')); }

// Runs the tool where replacing /dev/stdout or /dev/stderr would harm
// nothing: in a mount namespace with a /dev of its own, or else as a user who
// may not replace them. Nothing when neither can be had (root without
// namespaces): a run as root once replaced the system's /dev/stdout link
// with a regular file, and a fault in the tool must not do that again here.
std::optional<RunResult> run_tool_with_dev_kept_safe(const TempDir& dir, const std::string& args) {
    const std::string tool = std::string("\"") + SENTIMENT_TOOL + "\" " + args;
    if (run_shell(dir, "unshare -m --propagation private true").status == 0)
        return run_shell(dir, "unshare -m --propagation private sh -c 'mount -t tmpfs none /dev && "
                              "ln -s /proc/self/fd/1 /dev/stdout && ln -s /proc/self/fd/2 /dev/stderr && " +
                                  tool + "; s=$?; [ -L /dev/stdout ] && [ -L /dev/stderr ] || s=99; exit $s'");
    if (geteuid() != 0) return run_shell(dir, tool);
    return std::nullopt;
}

// A work directory with the sample's model, trained once for the suite.
class Trained : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TempDir once;
        once.write("reviews.txt", read_bytes(sample_path("sample-reviews.txt")));
        once.write("labels.txt", read_bytes(sample_path("sample-labels.txt")));
        ASSERT_EQ(run_tool(once, "train").status, 0);
        model_ = once.read("sentiment.model");
    }
    void SetUp() override {
        dir.write("sentiment.model", model_);
        dir.write("reviews.txt", read_bytes(sample_path("sample-reviews.txt")));
        dir.write("labels.txt", read_bytes(sample_path("sample-labels.txt")));
        dir.write("test.txt", "It is a terrible movie\nI like it\n\nIt is a lovely hero\n");
    }
    // What a plain run over test.txt writes, for comparison.
    struct Results {
        std::string out, percent, summary;
    };
    Results plain_results() {
        RunResult r = run_tool(dir, "test --out plain-out.txt --percent plain-percent.txt");
        EXPECT_EQ(r.status, 0) << r.err;
        return {dir.read("plain-out.txt"), dir.read("plain-percent.txt"), r.out};
    }
    TempDir dir;
    static inline std::string model_;
};

// A write to standard output that fails is an error: the report is lost.
struct FullCase {
    const char* name;
    const char* args;
    friend void PrintTo(const FullCase& c, std::ostream* os) { *os << c.name; }
};

class FullOutput : public Trained, public ::testing::WithParamInterface<FullCase> {};

TEST_P(FullOutput, IsAnErrorWithAMessage) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    RunResult r = run_tool(dir, std::string(GetParam().args) + " >/dev/full");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("错误：标准输出：无法写入"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("error: standard output: cannot write"), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Tool, FullOutput,
    ::testing::Values(FullCase{"eval", "eval --reviews reviews.txt --labels labels.txt"},
                      FullCase{"tokenize", "tokenize --input reviews.txt"},
                      FullCase{"train_report", "train"},
                      FullCase{"test_summary", "test"},
                      FullCase{"test_verdicts", "test --out -"},
                      FullCase{"help", "--help"},
                      FullCase{"subcommand_help", "train --help"},
                      FullCase{"version", "--version"}),
    [](const auto& info) { return std::string(info.param.name); });

// Only a link to a regular file, or to nothing, is replaced; one that leads
// to a device, pipe, socket or directory is refused before anything is
// written, and stays as it was.
struct LinkCase {
    const char* name;
    const char* setup;   // shell commands that make "target"
    const char* target;  // what the link "out" points to
    const char* says;
    friend void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }
};

class LinkedOutput : public Trained, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(LinkedOutput, ToAnythingButARegularFileIsRefused) {
    ASSERT_EQ(run_shell(dir, GetParam().setup).status, 0);
    fs::create_symlink(GetParam().target, dir.path() / "out");
    const std::string listing = dir.listing();
    for (const char* args : {"test --out out", "test --percent out", "train --progress out", "train --model out"}) {
        SCOPED_TRACE(args);
        RunResult r = run_tool(dir, args);
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_NE(r.err.find("out: cannot be written as an output, it is a link to " + std::string(GetParam().says)),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("out：不能作为输出文件"), std::string::npos) << r.err;
        EXPECT_TRUE(fs::is_symlink(dir.path() / "out"));
        EXPECT_EQ(fs::read_symlink(dir.path() / "out"), GetParam().target);
        EXPECT_EQ(dir.listing(), listing);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tool, LinkedOutput,
    ::testing::Values(LinkCase{"device", "true", "/dev/null", "a device"},
                      LinkCase{"fifo", "mkfifo fifo", "fifo", "a pipe"},
                      LinkCase{"link_to_a_link_to_a_device", "ln -s /dev/null null", "null", "a device"},
                      LinkCase{"directory", "mkdir d", "d", "a directory"}),
    [](const auto& info) { return std::string(info.param.name); });

// "-" puts an output on standard output, and the report moves to standard
// error so that it does not mix with the data.
TEST_F(Trained, DashWritesVerdictsOrPercentToStandardOutput) {
    const auto [out, percent, summary] = plain_results();
    RunResult r = run_tool(dir, "test --out -");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(dir.read("percent.txt"), percent);
    EXPECT_FALSE(dir.exists("out.txt"));
    EXPECT_EQ(r.err, summary);

    fs::remove(dir.path() / "percent.txt");
    r = run_tool(dir, "test --percent -");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, percent + "\n");
    EXPECT_EQ(dir.read("out.txt"), out);
    EXPECT_FALSE(dir.exists("percent.txt"));
}

TEST_F(Trained, ModelAndProgressGoToTheStandardStreams) {
    const std::optional<RunResult> r = run_tool_with_dev_kept_safe(dir, "train --model - --progress /dev/stderr");
    if (!r) GTEST_SKIP() << "no safe /dev for /dev/stderr";
    ASSERT_EQ(r->status, 0) << r->err;
    EXPECT_EQ(r->out, read_bytes(dir.file("sentiment.model")));
    EXPECT_EQ(r->err.rfind("0\n", 0), 0u) << r->err;
    // The report comes before the end signal, which is the last line.
    EXPECT_NE(r->err.find("\nmodel written to <stdout>\n"), std::string::npos) << r->err;
    ASSERT_GE(r->err.size(), 3u);
    EXPECT_EQ(r->err.substr(r->err.size() - 3), "\n1\n") << r->err;
    EXPECT_FALSE(dir.exists("计数.txt"));
}

TEST_F(Trained, TwoOutputsOnOneStreamAreRefusedBeforeAnythingIsWritten) {
    const std::string listing = dir.listing();
    for (const char* args : {"test --out - --percent -", "test --out /dev/stdout --percent -",
                             "test --out /dev/stderr --percent /dev/stderr", "train --model - --progress -"}) {
        SCOPED_TRACE(args);
        const std::optional<RunResult> r = run_tool_with_dev_kept_safe(dir, args);
        if (!r) GTEST_SKIP() << "no safe /dev for /dev/stdout";
        EXPECT_EQ(r->status, 1) << r->out << r->err;
        EXPECT_EQ(r->out, "");
        EXPECT_NE(r->err.find("each output needs a place of its own"), std::string::npos) << r->err;
        EXPECT_NE(r->err.find("每个输出需要各自的去处"), std::string::npos) << r->err;
        EXPECT_EQ(dir.listing(), listing);
    }
}

// Standard output redirected into a file that another output replaces would
// go with the file: refused, whichever output is on standard output.
TEST_F(Trained, StandardOutputThatIsAnotherOutputIsRefused) {
    for (const auto& [args, other] : {std::pair{"test --out - >percent.txt", "percent.txt"},
                                      std::pair{"test --percent - >out.txt", "out.txt"},
                                      std::pair{"train --model - >计数.txt", "计数.txt"}}) {
        SCOPED_TRACE(args);
        dir.write(other, "");
        const std::string listing = dir.listing();
        RunResult r = run_tool(dir, args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("error: standard output is the output " + std::string(other)), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("错误：标准输出就是输出文件 " + std::string(other)), std::string::npos) << r.err;
        EXPECT_EQ(dir.read(other), "");
        EXPECT_EQ(dir.listing(), listing);
    }
}

// The literal names are the streams, written through: a run as root once
// replaced the system's /dev/stdout link with a regular file.
TEST_F(Trained, DevStdoutAndDevStderrAreTheStreamsNotFilesToReplace) {
    const auto [out, percent, summary] = plain_results();
    const std::optional<RunResult> r =
        run_tool_with_dev_kept_safe(dir, "test --out /dev/stdout --percent /dev/stderr 2>err.txt");
    if (!r) GTEST_SKIP() << "no safe /dev for /dev/stdout";
    ASSERT_EQ(r->status, 0) << r->err;
    EXPECT_EQ(r->out, out);
    EXPECT_EQ(dir.read("err.txt"), percent + "\n" + summary);
}

// The window's contract while the verdicts stream out: percent.txt is there
// and complete before out.txt exists, and out.txt is complete once it does.
TEST_F(Trained, OutIsCompleteOnceItExistsAndPercentBeforeIt) {
    std::string text;
    for (int i = 0; text.size() < (24u << 20); ++i) text += i % 3 ? "I like it very much\n" : "a terrible film\n";
    dir.write("test.txt", text);
    std::atomic<bool> done{false};
    RunResult r;
    std::thread run([&] {
        r = run_tool(dir, "test");
        done = true;
    });
    // Seen while the run goes on, or (rarely) only after it: the checks hold either way.
    std::string percent_seen;
    while (!done && percent_seen.empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (!dir.exists("out.txt")) continue;
        percent_seen = dir.read("percent.txt");
        EXPECT_FALSE(percent_seen.empty());
        EXPECT_EQ(count_lines(dir.read("out.txt")), count_lines(text));
    }
    run.join();
    ASSERT_EQ(r.status, 0) << r.err;
    if (!percent_seen.empty()) {
        EXPECT_EQ(percent_seen, dir.read("percent.txt"));
    }
    EXPECT_EQ(count_lines(dir.read("out.txt")), count_lines(text));
    EXPECT_EQ(dir.listing().find(".tmp"), std::string::npos) << dir.listing();
}

// A disk that fills while the verdicts stream out takes the whole result
// with it: no out.txt, no percent.txt, no temporary file.
TEST_F(Trained, AFullDiskLeavesNoResultAndNoTemporaryFile) {
    std::string text;
    while (text.size() < (4u << 20)) text += "I like it very much\n";
    dir.write("test.txt", text);
    const std::string tool = std::string("\"") + SENTIMENT_TOOL + "\"";
    RunResult r = run_shell(dir, "unshare -m --propagation private sh -c 'mkdir -p small && "
                                 "mount -t tmpfs -o size=1m none small && " + tool +
                                     " test --out small/out.txt --percent small/percent.txt; s=$?; "
                                     "ls -A small; exit $s'");
    if (r.err.find("unshare") != std::string::npos || r.err.find("mount") != std::string::npos)
        GTEST_SKIP() << "cannot mount a small file system here: " << r.err;
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("small/out.txt: cannot write the file"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "") << "left in the full file system";
}

}  // namespace
