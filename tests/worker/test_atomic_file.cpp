// Outputs are written only where they belong: never through a planted link
// or over a device, and no leftovers of ours remain.
#include <gtest/gtest.h>

#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "io/atomic_file.h"
#include "io/temporary_names.h"
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

TEST(AtomicFile, ReplacesContentAndLeavesNoTemporaryFile) {
    TempDir dir;
    dir.write("out.txt", "old content that is longer than the new");
    write_file_atomically(dir.file("out.txt"), "new", "out.txt", true);
    EXPECT_EQ(dir.read("out.txt"), "new");
    EXPECT_EQ(dir.listing(), "out.txt ");
}

TEST(AtomicFile, WorksWithChineseNames) {
    TempDir dir;
    write_file_atomically(dir.file("计数.txt"), "0.5", "计数.txt", false);
    EXPECT_EQ(dir.read("计数.txt"), "0.5");
}

// 80 Chinese characters make 244 bytes and 85 make 255, the most a name
// may have: the temporary name beside them must fit too.
TEST(AtomicFile, WritesTheLongestNamesTheSystemTakes) {
    TempDir dir;
    for (const int chars : {80, 85}) {
        std::string name;
        for (int i = 0; i < chars; ++i) name += "好";
        SCOPED_TRACE(name.size());
        write_file_atomically(dir.file(name), "first", name, true);
        write_file_atomically(dir.file(name), "second", name, false);
        EXPECT_EQ(dir.read(name), "second");
        EXPECT_EQ(dir.listing(), name + " ");
        fs::remove(dir.path() / fs::u8path(name));
    }
}

TEST(AtomicFile, FailureIsAnErrorAndLeavesTheOldFile) {
    TempDir dir;
    EXPECT_THROW(write_file_atomically(dir.file("no/such/dir/x.txt"), "data", "x.txt", true), Error);
    dir.write("keep.txt", "precious");
    // A directory in the way of the rename: the old name is not a file.
    std::filesystem::create_directory(dir.path() / "blocker");
    EXPECT_THROW(write_file_atomically(dir.file("blocker"), "data", "blocker", true), Error);
    EXPECT_EQ(dir.read("keep.txt"), "precious");
    EXPECT_EQ(dir.listing().find(".tmp"), std::string::npos) << dir.listing();
}

TEST(AtomicFile, ReaderNeverSeesAPartialFile) {
    TempDir dir;
    const std::string a(200000, 'a'), b(200000, 'b');
    write_file_atomically(dir.file("f"), a, "f", false);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; i < 200; ++i) write_file_atomically(dir.file("f"), i % 2 ? a : b, "f", false);
        stop = true;
    });
    int reads = 0;
    while (!stop) {
        std::string s = dir.read("f");
        ASSERT_TRUE(s == a || s == b) << "partial read of " << s.size() << " bytes";
        ++reads;
    }
    writer.join();
    EXPECT_GT(reads, 0);
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

// Names once were "<target>.tmp-<pid>-<counter>": plant links under every
// such name this process could use, and under the present prefix, and check
// nothing is written through them.
TEST(AtomicFile, NeverWritesThroughPlantedTemporaryNames) {
    TempDir dir;
    dir.write("victim.txt", "precious");
    for (int n = 0; n < 64; ++n)
        for (const std::string prefix : {"out.txt.tmp-", ".sentiment-tmp-"})
            fs::create_symlink(dir.path() / "victim.txt",
                               dir.path() / (prefix + std::to_string(getpid()) + "-" + std::to_string(n)));
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
    EXPECT_TRUE(is_temporary_name(".sentiment-tmp-123-AbCdEf012345", &pid));
    EXPECT_EQ(pid, 123u);
    EXPECT_TRUE(is_former_temporary_name_of("out.txt.tmp-456-AbCdEf012345", "out.txt", &pid));
    EXPECT_EQ(pid, 456u);
    for (const std::string tail : {"123-AbCdEf01234", "123-AbCdEf0123456", "-AbCdEf012345", "12a-AbCdEf012345",
                                   "123-AbCdEf01234.", "123-AbCd/f012345", "12345678901-AbCdEf012345", ""}) {
        EXPECT_FALSE(is_temporary_name(".sentiment-tmp-" + tail)) << tail;
        EXPECT_FALSE(is_former_temporary_name_of("out.txt.tmp-" + tail, "out.txt")) << tail;
    }
    for (const char* other : {"sentiment-tmp-123-AbCdEf012345", "x.sentiment-tmp-123-AbCdEf012345", "out.txt"})
        EXPECT_FALSE(is_temporary_name(other)) << other;
    EXPECT_FALSE(is_former_temporary_name_of("xout.txt.tmp-123-AbCdEf012345", "out.txt"));
    EXPECT_FALSE(is_former_temporary_name_of(".sentiment-tmp-123-AbCdEf012345", "out.txt"));
}

// Short whatever the target, unpredictable, and recognised as ours.
TEST(AtomicFile, TemporaryNamesAreShortAndNeverTheSame) {
    const std::string a = temporary_name(4294967295ul), b = temporary_name(4294967295ul);
    EXPECT_LE(a.size(), 40u);
    EXPECT_NE(a, b);
    unsigned long pid = 0;
    EXPECT_TRUE(is_temporary_name(a, &pid)) << a;
    EXPECT_EQ(pid, 4294967295ul);
}

TEST(AtomicFile, RemovesOnlyStaleTemporaryFilesOfItsOwnPattern) {
    TempDir dir;
    const pid_t gone = dead_pid();
    const std::string dead = "sentiment.model.tmp-" + std::to_string(gone) + "-";
    const std::string alive = "sentiment.model.tmp-" + std::to_string(getppid()) + "-";
    const std::string now_dead = ".sentiment-tmp-" + std::to_string(gone) + "-";
    const std::string now_alive = ".sentiment-tmp-" + std::to_string(getppid()) + "-";
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
        {"other.txt.tmp-" + std::to_string(gone) + "-HHHHHHHHHHHH", false},  // an earlier name for another file
        {dead + "EEEEEEEEEEEE", false},   // a link: never ours
        {dead + "FFFFFFFFFFFF", false},   // a directory: never ours
        {now_dead + "IIIIIIIIIIII", true},     // today's names: a killed run
        {now_alive + "JJJJJJJJJJJJ", false},   // a run still writing
        {now_dead + "KKKKKKKKKKK", false},     // not our pattern
        {now_dead + "EEEEEEEEEEEE", false},    // a link: never ours
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
    for (const std::string& old : {dead + "AAAAAAAAAAAA", "other.txt.tmp-" + std::to_string(gone) + "-HHHHHHHHHHHH",
                                   now_dead + "IIIIIIIIIIII", now_dead + "KKKKKKKKKKK"})
        fs::last_write_time(dir.path() / old, now - std::chrono::minutes(1));
    write_file_atomically(dir.file("sentiment.model"), "model", "sentiment.model", false);
    for (const auto& e : entries) EXPECT_EQ(fs::exists(fs::symlink_status(dir.path() / e.name)), !e.removed) << e.name;
    EXPECT_EQ(dir.read("keep.txt"), "x");
}

}  // namespace
