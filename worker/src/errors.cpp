#include "errors.h"

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

std::string quoted(std::string_view text, std::size_t max_chars) {
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    std::size_t shown = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (shown == max_chars) {
            out += "...";
            break;
        }
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7f) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
        // Count characters, not UTF-8 continuation bytes.
        if ((c & 0xC0) != 0x80) ++shown;
    }
    return out + "\"";
}

}  // namespace sentiment
