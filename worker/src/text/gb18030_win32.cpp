#include "text/gb18030.h"

#include <windows.h>

#include "text/code_page_win32.h"

// Windows has no iconv; its code page 54936 is GB18030. MultiByteToWideChar
// only says that a run failed, not where, so a failed run is converted again
// one character at a time to find the bad one.
//
// Some systems lack code page 54936 (wine 8, which runs our tests). There the
// one- and two-byte characters go through code page 936 (GBK, the same
// characters) and the four-byte ones outside the Basic Multilingual Plane are
// computed, as GB18030 maps them by arithmetic; the rare four-byte characters
// inside it would need GB18030's table and are refused as invalid.
namespace sentiment {

namespace {

constexpr UINT kGb18030 = 54936;
constexpr UINT kGbk = 936;

UINT code_page() {
    static const UINT cp = IsValidCodePage(kGb18030) ? kGb18030 : kGbk;
    return cp;
}

bool in(unsigned char b, unsigned char lo, unsigned char hi) { return b >= lo && b <= hi; }
unsigned char byte(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

// Length of the GB18030 character that starts s, or 0 when no character can
// start with these bytes.
std::size_t char_length(std::string_view s) {
    if (byte(s, 0) < 0x80) return 1;
    if (!in(byte(s, 0), 0x81, 0xFE) || s.size() < 2) return 0;
    if (in(byte(s, 1), 0x40, 0x7E) || in(byte(s, 1), 0x80, 0xFE)) return 2;
    if (in(byte(s, 1), 0x30, 0x39) && s.size() >= 4 && in(byte(s, 2), 0x81, 0xFE) && in(byte(s, 3), 0x30, 0x39))
        return 4;
    return 0;
}

bool by_code_page(std::string_view gb, std::string& out) { return append_by_code_page(code_page(), gb, out); }

// A four-byte character beyond U+FFFF: GB18030 numbers them from 90 30 81 30
// on, ten by 126 by ten by ten.
bool append_supplementary(std::string_view c, std::string& out) {
    if (!in(byte(c, 0), 0x90, 0xE3)) return false;
    const unsigned long cp = 0x10000 + (((byte(c, 0) - 0x90) * 10ul + (byte(c, 1) - 0x30)) * 126ul +
                                        (byte(c, 2) - 0x81)) * 10ul + (byte(c, 3) - 0x30);
    if (cp > 0x10FFFF) return false;
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
    return true;
}

// Appends the characters of gb (whole characters, all of valid structure);
// returns the offset of the first one refused, or npos.
std::size_t append_run(std::string_view gb, std::string& out) {
    if (by_code_page(gb, out)) return std::string_view::npos;
    for (std::size_t at = 0; at < gb.size();) {
        const std::size_t len = char_length(gb.substr(at));
        if (!by_code_page(gb.substr(at, len), out)) return at;
        at += len;
    }
    return std::string_view::npos;
}

}  // namespace

std::size_t gb18030_to_utf8(std::string_view input, std::string& out) {
    // Runs of at most 1 MiB between characters, since the API counts in int;
    // without code page 54936 a run also ends at each four-byte character.
    constexpr std::size_t kRun = std::size_t(1) << 20;
    const bool whole_code_page = code_page() == kGb18030;
    std::size_t pos = 0;
    while (pos < input.size()) {
        std::size_t end = pos, len = 0;
        while (end < input.size() && end - pos < kRun) {
            len = char_length(input.substr(end));
            if (len == 0 || (len == 4 && !whole_code_page)) break;
            end += len;
        }
        const std::size_t bad = append_run(input.substr(pos, end - pos), out);
        if (bad != std::string_view::npos) return pos + bad;
        if (end < input.size() && len == 0) return end;
        if (end < input.size() && len == 4 && !whole_code_page) {
            if (!append_supplementary(input.substr(end, 4), out)) return end;
            end += 4;
        }
        pos = end;
    }
    return std::string_view::npos;
}

}  // namespace sentiment
