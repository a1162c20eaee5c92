#include "text/big5.h"

namespace sentiment {

namespace {

// Where the platforms' tables part: bytes 80 and FF, which both pass
// through as code points of their own, and the areas where Windows puts
// user-defined characters (private use) and glibc puts Hong Kong's or
// ETEN's additions (lead 81-A0, FA-FE, and C6A1-C8FE). None of it is
// plain Big5; returns the offset of the first such character, or npos.
std::size_t first_outside_plain_big5(std::string_view in) {
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    std::size_t i = 0;
    while (i < in.size()) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        const unsigned char trail = i + 1 < in.size() ? p[i + 1] : 0;
        if (c == 0x80 || c == 0xFF || c <= 0xA0 || c >= 0xFA || (c == 0xC6 && trail >= 0xA1) || c == 0xC7 || c == 0xC8)
            return i;
        i += 2;
    }
    return std::string_view::npos;
}

}  // namespace

std::size_t big5_to_utf8(std::string_view in, std::string& out) {
    const std::size_t stray = first_outside_plain_big5(in);
    const std::size_t bad = big5_platform_to_utf8(in.substr(0, stray), out);
    return bad != std::string_view::npos ? bad : stray;
}

}  // namespace sentiment
