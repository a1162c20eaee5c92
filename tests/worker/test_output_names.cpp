// Two names for one output that does not exist yet are refused exactly when
// the file system would take them for one file: by the real directory, and
// on Windows regardless of case and of trailing dots and spaces.
#include <gtest/gtest.h>

#include "io/output_checks.h"
#include "test_support.h"
#include "text/errors.h"

using namespace sentiment;
namespace fs = std::filesystem;

namespace {

bool refused(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs) {
    try {
        check_run_files(inputs, outputs);
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("same file"), std::string::npos) << e.what();
        return true;
    }
    return false;
}

struct NameCase {
    const char* name;
    const char* first;
    const char* second;
    friend void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }
};

class OutputNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(OutputNames, AreOneOutputExactlyWhenTheFileSystemSaysSo) {
    TempDir dir;
    fs::create_directory(dir.path() / "d");
    std::error_code no_links;
    fs::create_directory_symlink("d", dir.path() / "e", no_links);
    if (no_links && std::string(GetParam().second).rfind("e/", 0) == 0) GTEST_SKIP() << "no directory links here";
    const std::string first = dir.file(GetParam().first), second = dir.file(GetParam().second);
    // What the file system says: a file written under one name, read under the other.
    dir.write(GetParam().first, "one file");
    const bool one = dir.read(GetParam().second) == "one file";
    // An input that exists against an output by the other name.
    EXPECT_EQ(refused({first}, {second}), one);
    fs::remove(fs::u8path(first));
    ASSERT_FALSE(fs::exists(fs::u8path(second)));
    // Two outputs, neither there yet.
    EXPECT_EQ(refused({}, {first, second}), one);
    EXPECT_EQ(refused({}, {second, first}), one);
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, OutputNames,
    ::testing::Values(NameCase{"same", "r.txt", "r.txt"}, NameCase{"dot", "r.txt", "./r.txt"},
                      NameCase{"dot_dot", "r.txt", "d/../r.txt"}, NameCase{"linked_directory", "d/r.txt", "e/r.txt"},
                      NameCase{"case", "r.txt", "R.TXT"}, NameCase{"chinese_name_case", "计数.txt", "计数.TXT"},
                      NameCase{"trailing_dot", "r.txt", "r.txt."}, NameCase{"trailing_spaces", "r.txt", "r.txt  "},
                      NameCase{"trailing_dots_and_spaces", "r.txt", "R.txt. ."},
                      NameCase{"other_name", "r.txt", "s.txt"}, NameCase{"other_directory", "r.txt", "d/r.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
