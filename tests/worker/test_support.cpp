#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    path_ = fs::temp_directory_path() /
            ("sentiment-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void TempDir::write(std::string_view name, std::string_view bytes) const {
    std::ofstream f(fs::u8path(file(name)), std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempDir::read(std::string_view name) const { return read_bytes(file(name)); }

bool TempDir::exists(std::string_view name) const { return fs::exists(fs::u8path(file(name))); }

std::string TempDir::listing() const {
    std::string names;
    for (const auto& e : fs::directory_iterator(path_)) names += e.path().filename().u8string() + " ";
    return names;
}

std::string read_bytes(const std::string& path) {
    std::ifstream f(fs::u8path(path), std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

RunResult run_shell(const TempDir& dir, const std::string& command) {
    // In braces, so that the command's own redirections (a "< file" for the
    // tool's standard input, a "> /dev/full") win over these.
    std::string full = "cd '" + dir.path().string() + "' && { " + command + "\n} >.stdout 2>.stderr </dev/null";
    int raw = std::system(full.c_str());
    RunResult r;
#ifdef _WIN32
    r.status = raw;  // the exit code itself there
#else
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    r.out = dir.read(".stdout");
    r.err = dir.read(".stderr");
    fs::remove(dir.path() / ".stdout");
    fs::remove(dir.path() / ".stderr");
    return r;
}

RunResult run_tool(const TempDir& dir, const std::string& args) {
    return run_shell(dir, std::string("'") + SENTIMENT_TOOL + "' " + args);
}

std::string sample_path(std::string_view name) { return std::string(SAMPLE_DIR) + "/" + std::string(name); }

void expect_error(const ErrorText& got, std::string_view english, std::string_view chinese) {
    EXPECT_NE(got.english.find(english), std::string::npos) << "expected: " << english << "\nfound: " << got.english;
    EXPECT_NE(got.chinese.find(chinese), std::string::npos) << "expected: " << chinese << "\nfound: " << got.chinese;
}
