// Helpers shared by the fuzz targets.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/errors.h"

// A broken promise of the library is a finding even when nothing crashed:
// say which one and abort, so that libFuzzer keeps the input.
#define FUZZ_CHECK(cond, what)                                                              \
    do {                                                                                    \
        if (!(cond)) {                                                                      \
            std::fprintf(stderr, "\n==FUZZ_CHECK== %s:%d: %s\n  failed: %s\n", __FILE__,   \
                         __LINE__, std::string(what).c_str(), #cond);                        \
            std::fflush(stderr);                                                            \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)

namespace fuzz {

inline std::string_view as_view(const std::uint8_t* data, std::size_t size) {
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

// Strict UTF-8 check written independently of the library's validator:
// shortest forms only, no surrogates, nothing above U+10FFFF.
inline bool valid_utf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    std::size_t n = s.size(), i = 0;
    while (i < n) {
        unsigned c = p[i];
        std::size_t len;
        std::uint32_t cp, min;
        if (c < 0x80) { ++i; continue; }
        if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; min = 0x80; }
        else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; min = 0x800; }
        else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; min = 0x10000; }
        else return false;
        if (n - i < len) return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

// Number of code points in valid UTF-8.
inline std::size_t code_points(std::string_view s) {
    std::size_t n = 0;
    for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// An expected rejection still has to be something a person can read.
inline void check_error(const sentiment::Error& e) {
    FUZZ_CHECK(!e.english().empty(), "Error without an English message");
    FUZZ_CHECK(!e.chinese().empty(), "Error without a Chinese message");
}

}  // namespace fuzz
