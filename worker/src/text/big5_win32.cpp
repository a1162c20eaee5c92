#include "text/big5.h"

#include <windows.h>

#include "text/code_page_win32.h"

#include <algorithm>

// Windows has no iconv; its code page 950 is Big5. MultiByteToWideChar only
// says that a run failed, not where, so a failed run is converted again one
// character at a time to find the bad one.
namespace sentiment {

namespace {

constexpr UINT kBig5 = 950;

unsigned char byte(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

// Length of the Big5 character that starts s: 1 for ASCII, 2 for a lead
// byte followed by any byte (the code page judges the pair).
std::size_t char_length(std::string_view s) { return byte(s, 0) < 0x80 || s.size() < 2 ? 1 : 2; }

bool by_code_page(std::string_view big5, std::string& out) { return append_by_code_page(kBig5, big5, out); }

}  // namespace

std::size_t big5_platform_to_utf8(std::string_view input, std::string& out) {
    // Runs of at most 1 MiB between characters, since the API counts in int.
    constexpr std::size_t kRun = std::size_t(1) << 20;
    std::size_t pos = 0;
    while (pos < input.size()) {
        std::size_t end = pos;
        while (end < input.size() && end - pos < kRun) end += char_length(input.substr(end));
        end = std::min(end, input.size());
        const std::string_view run = input.substr(pos, end - pos);
        if (!by_code_page(run, out)) {
            for (std::size_t at = 0; at < run.size();) {
                const std::size_t len = std::min(char_length(run.substr(at)), run.size() - at);
                if (len < 2 && byte(run, at) >= 0x80) return pos + at;
                if (!by_code_page(run.substr(at, len), out)) return pos + at;
                at += len;
            }
        }
        pos = end;
    }
    return std::string_view::npos;
}

}  // namespace sentiment
