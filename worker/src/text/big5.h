#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Big5, the traditional Chinese encoding of Taiwan and Hong Kong, as the
// platform has it: glibc's iconv on Linux, the Windows code page 950 there.
// Only plain Big5 is taken, where the two agree: not the Hong Kong
// additions (HKSCS), for which Windows has no code page, nor the areas
// where the tables part (user-defined characters on Windows).
namespace sentiment {
// Converts Big5 bytes holding whole characters to UTF-8, appended to out.
// Returns std::string_view::npos on success, otherwise the offset in `in` of
// the first byte that is not valid Big5 (out then holds the text before it).
std::size_t big5_to_utf8(std::string_view in, std::string& out);
// The same through the platform's tables alone, which take more than plain
// Big5, each its own way; big5_to_utf8 refuses what is beyond it.
std::size_t big5_platform_to_utf8(std::string_view in, std::string& out);
}
