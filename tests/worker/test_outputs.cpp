// Outputs are written only where they belong: never through a planted link
// or over a device, never over an input, and no leftovers of ours remain.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "io/atomic_file.h"
#include "io/output_checks.h"
#include "test_support.h"
#include "text/errors.h"

using namespace sentiment;
namespace fs = std::filesystem;

namespace {

std::string error_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.english() + "\n" + e.chinese();
    }
    return "";
}

pid_t dead_pid() {
    pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

struct SpecialCase {
    const char* name;
    std::function<bool(const std::string&)> make;  // false: cannot make it here
    const char* says;
    mode_t type;
    friend void PrintTo(const SpecialCase& c, std::ostream* os) { *os << c.name; }
};

class SpecialOutput : public ::testing::TestWithParam<SpecialCase> {};

TEST_P(SpecialOutput, IsRefusedAndLeftAsItWas) {
    TempDir dir;
    const std::string path = dir.file("out.txt");
    if (!GetParam().make(path)) GTEST_SKIP() << "cannot create a " << GetParam().name << " here";
    const std::string message = error_of([&] { write_file_atomically(path, "data", "out.txt", false); });
    EXPECT_NE(message.find(GetParam().says), std::string::npos) << message;
    EXPECT_NE(message.find("out.txt"), std::string::npos) << message;
    struct stat st{};
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IFMT, GetParam().type);
    EXPECT_EQ(dir.listing(), "out.txt ");
}

INSTANTIATE_TEST_SUITE_P(
    AtomicFile, SpecialOutput,
    ::testing::Values(
        SpecialCase{"fifo", [](const std::string& p) { return mkfifo(p.c_str(), 0644) == 0; }, "pipe", S_IFIFO},
        SpecialCase{"device", [](const std::string& p) { return mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; },
                    "device", S_IFCHR},
        SpecialCase{"directory", [](const std::string& p) { return mkdir(p.c_str(), 0755) == 0; }, "directory", S_IFDIR},
        SpecialCase{"socket",
                    [](const std::string& p) {
                        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
                        sockaddr_un a{};
                        a.sun_family = AF_UNIX;
                        if (fd < 0 || p.size() >= sizeof a.sun_path) return false;
                        p.copy(a.sun_path, p.size());
                        bool ok = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
                        close(fd);
                        return ok;
                    },
                    "socket", S_IFSOCK}),
    [](const auto& info) { return std::string(info.param.name); });

// The old names were "<target>.tmp-<pid>-<counter>": plant links under every
// such name this process could use and check nothing is written through them.
TEST(AtomicFile, NeverWritesThroughPlantedTemporaryNames) {
    TempDir dir;
    dir.write("victim.txt", "precious");
    for (int n = 0; n < 64; ++n)
        fs::create_symlink(dir.path() / "victim.txt",
                           dir.path() / ("out.txt.tmp-" + std::to_string(getpid()) + "-" + std::to_string(n)));
    for (int n = 0; n < 8; ++n) write_file_atomically(dir.file("out.txt"), "new " + std::to_string(n), "out.txt", false);
    EXPECT_EQ(dir.read("victim.txt"), "precious");
    EXPECT_EQ(dir.read("out.txt"), "new 7");
    EXPECT_FALSE(fs::is_symlink(dir.path() / "out.txt"));
}

TEST(AtomicFile, ReplacesALinkItselfNotItsTarget) {
    TempDir dir;
    dir.write("elsewhere.txt", "precious");
    fs::create_symlink(dir.path() / "elsewhere.txt", dir.path() / "out.txt");
    write_file_atomically(dir.file("out.txt"), "new", "out.txt", true);
    EXPECT_EQ(dir.read("elsewhere.txt"), "precious");
    EXPECT_EQ(dir.read("out.txt"), "new");
    EXPECT_FALSE(fs::is_symlink(dir.path() / "out.txt"));
}

TEST(AtomicFile, TemporaryNamesAreOursOnlyInTheExactPattern) {
    unsigned long pid = 0;
    EXPECT_TRUE(is_temporary_name_of("out.txt.tmp-123-AbCdEf012345", "out.txt", &pid));
    EXPECT_EQ(pid, 123u);
    for (const char* other : {"out.txt.tmp-123-AbCdEf01234", "out.txt.tmp-123-AbCdEf0123456", "out.txt.tmp--AbCdEf012345",
                              "out.txt.tmp-12a-AbCdEf012345", "out.txt.tmp-123-AbCdEf01234.", "xout.txt.tmp-123-AbCdEf012345",
                              "out.txt.tmp-123-AbCd/f012345", "out.txt", "out.txt.tmp-12345678901-AbCdEf012345"})
        EXPECT_FALSE(is_temporary_name_of(other, "out.txt")) << other;
}

TEST(AtomicFile, RemovesOnlyStaleTemporaryFilesOfItsOwnPattern) {
    TempDir dir;
    const std::string dead = "sentiment.model.tmp-" + std::to_string(dead_pid()) + "-";
    const std::string alive = "sentiment.model.tmp-" + std::to_string(getppid()) + "-";
    dir.write("keep.txt", "x");
    struct Entry {
        std::string name;
        bool removed;
    };
    const std::vector<Entry> entries = {
        {dead + "AAAAAAAAAAAA", true},    // killed run
        {dead + "GGGGGGGGGGGG", false},   // just written: maybe a process we cannot see
        {alive + "BBBBBBBBBBBB", false},  // a run still writing
        {alive + "CCCCCCCCCCCC", true},   // pid reused long after the kill
        {dead + "short", false},          // not our pattern
        {"other.txt.tmp-1-DDDDDDDDDDDD", false},
        {dead + "EEEEEEEEEEEE", false},   // a link: never ours
        {dead + "FFFFFFFFFFFF", false},   // a directory: never ours
    };
    for (const auto& e : entries) {
        if (e.name.find("EEEE") != std::string::npos)
            fs::create_symlink(dir.path() / "keep.txt", dir.path() / e.name);
        else if (e.name.find("FFFF") != std::string::npos)
            fs::create_directory(dir.path() / e.name);
        else
            dir.write(e.name, "half a model");
    }
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(dir.path() / (alive + "CCCCCCCCCCCC"), now - std::chrono::hours(2));
    fs::last_write_time(dir.path() / (dead + "AAAAAAAAAAAA"), now - std::chrono::minutes(1));
    write_file_atomically(dir.file("sentiment.model"), "model", "sentiment.model", false);
    for (const auto& e : entries) EXPECT_EQ(fs::exists(fs::symlink_status(dir.path() / e.name)), !e.removed) << e.name;
    EXPECT_EQ(dir.read("keep.txt"), "x");
}

// Each row: the command, and the file it would have destroyed.
struct SharedCase {
    const char* name;
    const char* setup;  // shell commands run first in the work directory
    const char* args;
    const char* victim;
    friend void PrintTo(const SharedCase& c, std::ostream* os) { *os << c.name; }
};

class SharedFile : public ::testing::TestWithParam<SharedCase> {};

TEST_P(SharedFile, IsRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    dir.write("reviews.txt", read_bytes(sample_path("sample-reviews.txt")));
    dir.write("labels.txt", read_bytes(sample_path("sample-labels.txt")));
    ASSERT_EQ(run_tool(dir, "train").status, 0);
    dir.write("test.txt", "good film\n");
    ASSERT_EQ(run_shell(dir, GetParam().setup).status, 0);
    const std::string before = dir.read(GetParam().victim);
    const std::string listing = dir.listing();
    RunResult r = run_tool(dir, GetParam().args);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("same file"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("同一个文件"), std::string::npos) << r.err;
    EXPECT_EQ(dir.read(GetParam().victim), before);
    EXPECT_EQ(dir.listing(), listing);
}

INSTANTIATE_TEST_SUITE_P(
    Tool, SharedFile,
    ::testing::Values(
        SharedCase{"progress_is_reviews", "true", "train --progress reviews.txt", "reviews.txt"},
        SharedCase{"model_is_labels", "true", "train --model labels.txt", "labels.txt"},
        SharedCase{"model_is_hard_link_to_reviews", "ln reviews.txt r2.txt", "train --model r2.txt", "reviews.txt"},
        SharedCase{"progress_is_link_read_as_labels", "ln -s labels.txt l.txt",
                   "train --labels l.txt --progress l.txt", "labels.txt"},
        SharedCase{"progress_is_model", "true", "train --progress sentiment.model", "sentiment.model"},
        SharedCase{"out_is_input", "true", "test --out test.txt", "test.txt"},
        SharedCase{"percent_is_model", "true", "test --percent ./sentiment.model", "sentiment.model"},
        SharedCase{"out_is_percent", "echo 50 >p.txt", "test --out p.txt --percent p.txt", "p.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Tool, DeviceOutputIsRefusedAndPreviousResultsAreRemoved) {
    TempDir dir;
    dir.write("reviews.txt", read_bytes(sample_path("sample-reviews.txt")));
    dir.write("labels.txt", read_bytes(sample_path("sample-labels.txt")));
    ASSERT_EQ(run_tool(dir, "train").status, 0);
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0644), 0);
    dir.write("test.txt", "good film\n");
    RunResult r = run_tool(dir, "test --out fifo");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("fifo: cannot be written as an output"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_fifo(dir.path() / "fifo"));

    // Verdicts that cannot be written take their percentage with them.
    r = run_tool(dir, "test --out gone/out.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("gone/out.txt: cannot write the file"), std::string::npos) << r.err;
    EXPECT_FALSE(dir.exists("percent.txt"));
    r = run_tool(dir, "test --out ''");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("an output file name is empty"), std::string::npos) << r.err;

    // A run that stops early leaves no result of an earlier run behind.
    dir.write("out.txt", "好评\t0.9\told\n");
    dir.write("percent.txt", "100.00");
    dir.write("test.txt", "\xFF\xFE\x41");
    r = run_tool(dir, "test");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(dir.exists("out.txt"));
    EXPECT_FALSE(dir.exists("percent.txt"));
}

}  // namespace
