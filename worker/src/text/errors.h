#pragma once
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace sentiment {

// Every failure the library reports. The user reads Chinese first, so each
// error carries both texts; what() is the English one.
class Error : public std::runtime_error {
public:
    Error(const std::string& english, std::string chinese)
        : std::runtime_error(english), chinese_(std::move(chinese)) {}
    std::string english() const { return what(); }
    const std::string& chinese() const { return chinese_; }

private:
    std::string chinese_;
};

// "reviews.txt line 12: " / "reviews.txt 第 12 行：" prefixes; line 0 means
// the whole file.
std::string where_en(std::string_view file, std::size_t line);
std::string where_zh(std::string_view file, std::size_t line);

// Shows arbitrary bytes in a message without breaking the terminal.
std::string quoted(std::string_view text, std::size_t max_chars = 40);

}  // namespace sentiment
