#include <gtest/gtest.h>

#include <thread>

#include "io/progress.h"
#include "test_support.h"

using namespace sentiment;

namespace {

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
