#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace sentiment {

// What next_code_point gives for bytes that do not start a valid character.
inline constexpr char32_t kNotUtf8 = 0xFFFFFFFF;

// Decodes the character at text[i] and moves i past it. A byte that does
// not start a valid character (a stray continuation byte, an overlong form,
// a surrogate, a code point past U+10FFFF, one cut short) gives kNotUtf8 and
// moves i on by that byte alone.
inline char32_t next_code_point(std::string_view text, std::size_t& i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) {
        ++i;
        return c;
    }
    const std::size_t need = c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : 0;
    if (need == 0 || i + need >= text.size()) {
        ++i;
        return kNotUtf8;
    }
    char32_t cp = c & (need == 1 ? 0x1F : need == 2 ? 0x0F : 0x07);
    for (std::size_t k = 1; k <= need; ++k) {
        const unsigned char d = byte(i + k);
        if ((d & 0xC0) != 0x80) {
            ++i;
            return kNotUtf8;
        }
        cp = (cp << 6) | (d & 0x3F);
    }
    static constexpr char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (cp < smallest[need] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kNotUtf8;
    }
    i += need + 1;
    return cp;
}

// Appends the UTF-8 form of a code point (at most U+10FFFF, not a surrogate).
inline void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace sentiment
