#include "text/errors.h"

#include <cstdio>

#include "text/utf8.h"

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
        std::size_t next = i;
        const char32_t cp = next_code_point(text, next);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F || cp == kNotUtf8) {
            // Control characters and bytes that are not UTF-8, as \xNN.
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else if (cp >= 0x80 && invisible(cp)) {
            char code[16];
            std::snprintf(code, sizeof code, "<U+%04X>", static_cast<unsigned>(cp));
            out += code;
        } else {
            out.append(text.substr(i, next - i));
        }
        i = next;
    }
    return out + "\"";
}

}  // namespace sentiment
