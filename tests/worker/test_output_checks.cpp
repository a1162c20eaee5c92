// Outputs are refused, before anything is written, when they name an input,
// each other, or something that is not a regular file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {

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
        SharedCase{"out_is_percent", "echo 50 >p.txt", "test --out p.txt --percent p.txt", "p.txt"},
        // Outputs that do not exist yet, one file by two names.
        SharedCase{"new_model_is_progress_by_full_name", "true", "train --model m.model --progress \"$PWD/m.model\"",
                   "m.model"},
        SharedCase{"new_out_is_percent_by_full_name", "true", "test --out r.txt --percent \"$PWD/r.txt\"", "r.txt"},
        SharedCase{"new_out_is_percent_through_dot_dot", "mkdir d", "test --out r.txt --percent d/../r.txt", "r.txt"},
        SharedCase{"new_out_is_percent_through_a_linked_directory", "mkdir d && ln -s d e",
                   "test --out d/r.txt --percent e/r.txt", "d/r.txt"}),
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
