// Hostile files handed to the worker: it must either handle them within
// bounded memory or refuse them with a clear message, never crash, never
// write its end signal for a refused run, and never damage the previous model.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Under AddressSanitizer the tool's resident memory is mostly shadow memory
// and quarantine, so only the uninstrumented build's figures mean anything.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool memoryIsMeasurable = false;
#else
constexpr bool memoryIsMeasurable = true;
#endif

void expectPeakBelow(long peakKb, long limitMb)
{
    if (memoryIsMeasurable) {
        EXPECT_LT(peakKb, limitMb * 1024) << "peak memory in KiB";
    }
}

struct Outcome {
    bool exited = false;  // false: killed by a signal
    int status = -1;
    long peakKb = 0;      // the child's peak resident memory
    std::string err;
};

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void spill(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Runs the tool in `dir` with `args`, standard input from `input` when one
// is named; standard error is kept for the checks.
Outcome runTool(const fs::path& dir, std::vector<std::string> args, const fs::path& input = {})
{
    args.insert(args.begin(), SENTIMENT_TOOL);
    const fs::path errPath = dir / "stderr.txt";
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(126);
        const int fd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || dup2(fd, 2) < 0)
            _exit(126);
        const int in = input.empty() ? 0 : open(input.c_str(), O_RDONLY);
        if (in < 0 || dup2(in, 0) < 0)
            _exit(126);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Outcome outcome;
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return outcome;
    outcome.exited = WIFEXITED(status);
    outcome.status = outcome.exited ? WEXITSTATUS(status) : WTERMSIG(status);
    outcome.peakKb = usage.ru_maxrss;
    outcome.err = slurp(errPath);
    return outcome;
}

class HostileInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/hostile-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        // A model trained on the shipped sample is the "previous model".
        fs::copy_file(fs::path(SAMPLE_DIR) / "sample-reviews.txt", dir / "reviews.txt");
        fs::copy_file(fs::path(SAMPLE_DIR) / "sample-labels.txt", dir / "labels.txt");
        const Outcome first = runTool(dir, {"train"});
        ASSERT_TRUE(first.exited && first.status == 0) << first.err;
        previousModel = slurp(dir / "sentiment.model");
        ASSERT_FALSE(previousModel.empty());
        fs::remove(dir / "计数.txt");
    }

    void TearDown() override { fs::remove_all(dir); }

    // Refused or handled, the run ends by itself, within memory, and leaves a
    // usable model: the old one after a refusal, a complete new one otherwise.
    void expectSafeTraining(const Outcome& outcome)
    {
        ASSERT_TRUE(outcome.exited) << "killed by signal " << outcome.status << "\n" << outcome.err;
        expectPeakBelow(outcome.peakKb, 128);
        if (outcome.status == 0) {
            EXPECT_EQ(slurp(dir / "计数.txt"), "1");
        } else {
            EXPECT_NE(outcome.err.find("error:"), std::string::npos) << outcome.err;
            EXPECT_NE(outcome.err.find("错误"), std::string::npos) << outcome.err;
            EXPECT_NE(slurp(dir / "计数.txt"), "1");
            EXPECT_EQ(slurp(dir / "sentiment.model"), previousModel);
        }
        spill(dir / "test.txt", "good film\n很好吃\n");
        const Outcome test = runTool(dir, {"test"});
        EXPECT_TRUE(test.exited && test.status == 0) << test.err;
    }

    fs::path dir;
    std::string previousModel;
};

std::string randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xff);
    return bytes;
}

std::string repeatedLines(std::size_t lines, const std::string& line)
{
    std::string text;
    text.reserve(lines * (line.size() + 1));
    for (std::size_t i = 0; i < lines; ++i)
        text += line + "\n";
    return text;
}

}  // namespace

TEST_F(HostileInput, FileOfNulBytes)
{
    spill(dir / "reviews.txt", std::string(4 << 20, '\0'));
    spill(dir / "labels.txt", "positive\n");
    expectSafeTraining(runTool(dir, {"train"}));
}

TEST_F(HostileInput, BinaryGarbage)
{
    spill(dir / "reviews.txt", randomBytes(8 << 20, 7));
    spill(dir / "labels.txt", randomBytes(1 << 16, 8));
    expectSafeTraining(runTool(dir, {"train"}));
}

TEST_F(HostileInput, GarbageLabelsForGoodReviews)
{
    fs::copy_file(fs::path(SAMPLE_DIR) / "sample-reviews.txt", dir / "reviews.txt",
                  fs::copy_options::overwrite_existing);
    spill(dir / "labels.txt", randomBytes(3000, 9));
    const Outcome outcome = runTool(dir, {"train"});
    EXPECT_NE(outcome.status, 0);
    expectSafeTraining(outcome);
}

TEST_F(HostileInput, SingleTenMegabyteLine)
{
    std::string line;
    while (line.size() < (10u << 20))
        line += "this film is not good but the music is lovely 很好吃 ";
    spill(dir / "reviews.txt", line + "\n" + "bad\n");
    spill(dir / "labels.txt", "positive\nnegative\n");
    expectSafeTraining(runTool(dir, {"train"}));
}

TEST_F(HostileInput, ManyLongLinesStayWithinMemory)
{
    // About 60 MB of reviews: far more than fits the model's budget as text.
    std::string reviews, labels;
    const std::string good(600, 'g');
    for (int i = 0; i < 100000; ++i) {
        reviews += (i % 2 ? "a wonderful and moving film number " : "a dull and tedious film number ")
                   + std::to_string(i) + " " + good.substr(0, 500 + i % 97) + "\n";
        labels += i % 2 ? "positive\n" : "negative\n";
    }
    spill(dir / "reviews.txt", reviews);
    spill(dir / "labels.txt", labels);
    const Outcome outcome = runTool(dir, {"train"});
    expectSafeTraining(outcome);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
}

TEST_F(HostileInput, HostileTestInputs)
{
    const std::vector<std::pair<const char*, std::string>> inputs = {
        {"nul bytes", std::string(1 << 20, '\0')},
        {"garbage", randomBytes(4 << 20, 11)},
        {"one long line", std::string(10 << 20, 'x') + "\n"},
        {"many empty lines", repeatedLines(200000, "")},
    };
    for (const auto& [name, bytes] : inputs) {
        SCOPED_TRACE(name);
        spill(dir / "test.txt", bytes);
        fs::remove(dir / "out.txt");
        fs::remove(dir / "percent.txt");
        const Outcome outcome = runTool(dir, {"test"});
        ASSERT_TRUE(outcome.exited) << outcome.err;
        expectPeakBelow(outcome.peakKb, 256);
        if (outcome.status == 0) {
            EXPECT_TRUE(fs::exists(dir / "out.txt"));
            EXPECT_TRUE(fs::exists(dir / "percent.txt"));
        } else {
            EXPECT_NE(outcome.err.find("error:"), std::string::npos) << outcome.err;
            EXPECT_FALSE(fs::exists(dir / "out.txt")) << "no output for a refused run";
        }
    }
}

// Verdicts are written as they are made: judging 40 MB takes no more memory
// than judging a few lines, whether the text comes from a file or a pipe.
TEST_F(HostileInput, JudgingALargeInputTakesNoMoreMemoryThanASmallOne)
{
    spill(dir / "small.txt", repeatedLines(1000, "a perfectly ordinary film, 很好吃"));
    spill(dir / "large.txt", repeatedLines(1000000, "a perfectly ordinary film, 很好吃"));
    const Outcome small = runTool(dir, {"test", "--input", "small.txt"});
    ASSERT_TRUE(small.exited && small.status == 0) << small.err;
    const Outcome fromFile = runTool(dir, {"test", "--input", "large.txt"});
    ASSERT_TRUE(fromFile.exited && fromFile.status == 0) << fromFile.err;
    expectPeakBelow(fromFile.peakKb - small.peakKb, 16);
    fs::remove(dir / "out.txt");
    const Outcome fromPipe = runTool(dir, {"test", "--input", "-"}, dir / "large.txt");
    ASSERT_TRUE(fromPipe.exited && fromPipe.status == 0) << fromPipe.err;
    expectPeakBelow(fromPipe.peakKb - small.peakKb, 16);
    EXPECT_EQ(fs::file_size(dir / "out.txt"), fs::file_size(dir / "large.txt") + 1000000 * 14);
}

TEST_F(HostileInput, DamagedModelsAreRefusedClearly)
{
    spill(dir / "test.txt", "good film\n");
    const std::vector<std::pair<const char*, std::string>> models = {
        {"empty", ""},
        {"truncated", previousModel.substr(0, previousModel.size() / 2)},
        {"garbage", randomBytes(previousModel.size(), 12)},
        {"text", "this is not a model\n"},
    };
    for (const auto& [name, bytes] : models) {
        SCOPED_TRACE(name);
        spill(dir / "sentiment.model", bytes);
        fs::remove(dir / "out.txt");
        const Outcome outcome = runTool(dir, {"test"});
        ASSERT_TRUE(outcome.exited) << outcome.err;
        EXPECT_NE(outcome.status, 0);
        EXPECT_NE(outcome.err.find("error:"), std::string::npos) << outcome.err;
        EXPECT_FALSE(fs::exists(dir / "out.txt"));
        expectPeakBelow(outcome.peakKb, 128);
    }
}

TEST_F(HostileInput, PipesAreRefusedNotReadAsEmpty)
{
    // Read once for its encoding and again for its lines, a pipe would look
    // empty the second time and the run would report success on nothing.
    fs::remove(dir / "test.txt");
    ASSERT_EQ(mkfifo((dir / "test.txt").c_str(), 0644), 0);
    const Outcome outcome = runTool(dir, {"test"});
    ASSERT_TRUE(outcome.exited);
    EXPECT_NE(outcome.status, 0);
    EXPECT_NE(outcome.err.find("test.txt"), std::string::npos) << outcome.err;
    EXPECT_FALSE(fs::exists(dir / "out.txt"));
}

namespace {

// A file of `size` bytes: `head`, then `filler` repeated, without a line break.
void spillEndless(const fs::path& path, const std::string& head, char filler, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << head;
    const std::string block(1 << 20, filler);
    for (std::size_t written = head.size(); written < size; written += block.size())
        out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), size - written)));
}

struct EndlessCase {
    const char* name;
    const char* file;   // the file made endless
    const char* head;   // its good lines before the endless one
    char filler;
    std::vector<std::string> args;
    const char* says;   // the file and line the refusal names
};

}  // namespace

// Every reader enforces its line limit while it reads: a line without end is
// refused after a little memory, not after all of it has been taken in.
TEST_F(HostileInput, EndlessLinesAreRefusedWhileReading)
{
    const std::vector<EndlessCase> cases = {
        {"blank label line", "labels.txt", "positive\n", ' ', {"train"}, "labels.txt line 2: line too long"},
        {"review line", "reviews.txt", "good\n", 'x', {"train"}, "reviews.txt line 2: line too long"},
        {"test line", "test.txt", "", 'x', {"test"}, "test.txt line 1: line too long"},
        {"tokenize line", "test.txt", "a\nb\n", 'x', {"tokenize"}, "test.txt line 3: line too long"},
    };
    for (const EndlessCase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::copy_file(fs::path(SAMPLE_DIR) / "sample-reviews.txt", dir / "reviews.txt",
                      fs::copy_options::overwrite_existing);
        fs::copy_file(fs::path(SAMPLE_DIR) / "sample-labels.txt", dir / "labels.txt",
                      fs::copy_options::overwrite_existing);
        spillEndless(dir / c.file, c.head, c.filler, std::size_t{160} << 20);
        const Outcome outcome = runTool(dir, c.args);
        ASSERT_TRUE(outcome.exited) << outcome.err;
        EXPECT_EQ(outcome.status, 1) << outcome.err;
        EXPECT_NE(outcome.err.find(c.says), std::string::npos) << outcome.err;
        expectPeakBelow(outcome.peakKb, 48);
        EXPECT_EQ(slurp(dir / "sentiment.model"), previousModel);
    }
}

TEST_F(HostileInput, HugeModelFileIsRefusedFromItsHeader)
{
    // Sparse: a gigabyte that takes no disk, behind a valid start.
    {
        std::ofstream out(dir / "sentiment.model", std::ios::binary | std::ios::trunc);
        out << previousModel.substr(0, 24);
    }
    fs::resize_file(dir / "sentiment.model", std::uintmax_t{1} << 30);
    spill(dir / "test.txt", "good film\n");
    const Outcome outcome = runTool(dir, {"test"});
    ASSERT_TRUE(outcome.exited) << outcome.err;
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("sentiment.model: not a usable model file"), std::string::npos) << outcome.err;
    expectPeakBelow(outcome.peakKb, 48);
}
