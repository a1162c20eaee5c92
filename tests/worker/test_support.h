#pragma once
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "text/errors.h"

// A fresh directory under the system temp dir, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::string file(std::string_view name) const { return (path_ / std::filesystem::u8path(std::string(name))).u8string(); }
    void write(std::string_view name, std::string_view bytes) const;
    std::string read(std::string_view name) const;
    bool exists(std::string_view name) const;
    // Names of everything in the directory, for spotting leftovers.
    std::string listing() const;

private:
    std::filesystem::path path_;
};

struct RunResult {
    int status = -1;
    std::string out, err;
};

// Runs the sentiment tool with the given arguments (shell-quoted by the
// caller, redirections allowed) with dir as the current directory; standard
// input is empty unless the arguments redirect it.
RunResult run_tool(const TempDir& dir, const std::string& args);
RunResult run_shell(const TempDir& dir, const std::string& command);

std::string read_bytes(const std::string& path);
// The lines of a text, without their "\n".
std::vector<std::string> lines_of(const std::string& text);
std::string sample_path(std::string_view name);

// The texts of the sentiment::Error that fn throws; empty when it throws none.
struct ErrorText {
    std::string english, chinese;
};
template <class F>
ErrorText error_of(F&& fn) {
    try {
        fn();
    } catch (const sentiment::Error& e) {
        return {e.english(), e.chinese()};
    }
    return {};
}

// Fails unless both texts hold their expected piece (and so were thrown).
void expect_error(const ErrorText& got, std::string_view english, std::string_view chinese);
