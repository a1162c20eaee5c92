#include "text/errors.h"

#include <cstdio>

namespace sentiment {

std::string where_en(std::string_view file, std::size_t line) {
    std::string s(file);
    if (line > 0) s += " line " + std::to_string(line);
    return s + ": ";
}

std::string where_zh(std::string_view file, std::size_t line) {
    std::string s(file);
    if (line > 0) s += " 第 " + std::to_string(line) + " 行";
    return s + "：";
}

namespace {

// Length and code point of the UTF-8 character at the start of s; length 0
// when the bytes there are not one.
std::size_t utf8_character(std::string_view s, char32_t& cp) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(0);
    std::size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (n == 0 || s.size() < n) return 0;
    cp = c & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(k) & 0x3F);
    }
    const char32_t smallest = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
    if (cp < smallest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

// Characters that print as nothing or as a plain space and would make a
// message such as unknown label "positive" a riddle.
bool invisible(char32_t cp) {
    return (cp >= 0x80 && cp <= 0xA0) || cp == 0xAD || cp == 0x34F || cp == 0x61C || cp == 0x115F || cp == 0x1160 ||
           cp == 0x17B4 || cp == 0x17B5 || (cp >= 0x180B && cp <= 0x180F) || (cp >= 0x2000 && cp <= 0x200F) ||
           (cp >= 0x2028 && cp <= 0x202F) || (cp >= 0x205F && cp <= 0x206F) || cp == 0x3164 ||
           (cp >= 0xFE00 && cp <= 0xFE0F) || cp == 0xFEFF || cp == 0xFFA0 || (cp >= 0xFFF0 && cp <= 0xFFFB) ||
           (cp >= 0xE0000 && cp <= 0xE0FFF);
}

}  // namespace

std::string quoted(std::string_view text, std::size_t max_chars) {
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    std::size_t shown = 0;
    for (std::size_t i = 0; i < text.size(); ++shown) {
        if (shown == max_chars) {
            out += "...";
            break;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        char32_t cp = 0;
        const std::size_t n = c < 0x80 ? 1 : utf8_character(text.substr(i), cp);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F || n == 0) {
            // Control characters and bytes that are not UTF-8, as \xNN.
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else if (n > 1 && invisible(cp)) {
            char code[16];
            std::snprintf(code, sizeof code, "<U+%04X>", static_cast<unsigned>(cp));
            out += code;
        } else {
            out.append(text.substr(i, n));
        }
        i += n == 0 ? 1 : n;
    }
    return out + "\"";
}

}  // namespace sentiment
