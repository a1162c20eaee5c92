#include <gtest/gtest.h>

#include <thread>

#include "io/atomic_file.h"
#include "io/progress.h"
#include "test_support.h"
#include "text/errors.h"

using namespace sentiment;

namespace {

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

TEST(Progress, FormatsTwoDecimalsAndNeverOneEarly) {
    EXPECT_EQ(format_fraction(0.0), "0.00");
    EXPECT_EQ(format_fraction(0.376), "0.37");
    EXPECT_EQ(format_fraction(0.9999), "0.99");
    EXPECT_EQ(format_fraction(7.0), "0.99");
    EXPECT_EQ(format_fraction(-1.0), "0.00");
}

TEST(Progress, WritesEachHundredthAtMostOnceAndOneOnlyAtTheEnd) {
    TempDir dir;
    ProgressFile p(dir.file("计数.txt"), "计数.txt", std::chrono::milliseconds(0));
    p.start();
    EXPECT_EQ(dir.read("计数.txt"), "0");
    double last = 0;
    for (int i = 0; i <= 20000; ++i) {
        p.update(i / 20000.0);
        std::string s = dir.read("计数.txt");
        double v = std::stod(s);
        ASSERT_GE(v, last);
        ASSERT_LT(v, 1.0) << s;
        last = v;
        if (i > 0 && i % 200 == 0) {
            EXPECT_EQ(dir.read("计数.txt").size(), 4u);
        }
    }
    EXPECT_LE(p.writes(), 101);
    EXPECT_GE(p.writes(), 99);
    p.finish();
    EXPECT_EQ(dir.read("计数.txt"), "1");
    EXPECT_EQ(dir.listing(), "计数.txt ");
}

TEST(Progress, ThrottlesBurstsOfUpdates) {
    TempDir dir;
    ProgressFile p(dir.file("p.txt"), "p.txt", std::chrono::milliseconds(200));
    p.start();
    for (int i = 1; i <= 99; ++i) p.update(i / 100.0);
    EXPECT_EQ(p.writes(), 1);  // all within 200 ms of the start
    std::this_thread::sleep_for(std::chrono::milliseconds(210));
    p.update(0.995);
    EXPECT_EQ(dir.read("p.txt"), "0.99");
}

}  // namespace
