#include <gtest/gtest.h>

#include "commands.h"
#include "test_support.h"

using namespace sentiment;

namespace {

std::string data_path(std::string_view name) { return std::string(WORKER_TEST_DATA) + "/" + std::string(name); }

// A model written by sentiment 1.0, before models carried anything but their
// weights, with what that version's `test` wrote for the sample reviews.
TEST(OldModels, LoadAndJudgeExactlyAsWhenTheyWereMade) {
    TempDir dir;
    TestFiles files;
    files.input = sample_path("sample-reviews.txt");
    files.model = data_path("model-v1-sample.model");
    files.out = dir.file("out.txt");
    files.percent = dir.file("percent.txt");
    const TestSummary s = run_test(files);
    EXPECT_EQ(s.lines, 323u);
    EXPECT_EQ(dir.read("out.txt"), read_bytes(data_path("model-v1-sample-reviews.out")));
    EXPECT_EQ(dir.read("percent.txt"), "49.54");
}

}  // namespace
