#include "text/big5.h"

namespace sentiment {

std::size_t big5_to_utf8(std::string_view in, std::string& out) {
    // Bytes 80 and FF are no part of any Big5 character, though both
    // platforms' tables pass them through as code points of their own.
    const std::size_t stray = in.find_first_of(std::string_view("\x80\xFF", 2));
    const std::size_t bad = big5_platform_to_utf8(in.substr(0, stray), out);
    return bad != std::string_view::npos ? bad : stray;
}

}  // namespace sentiment
