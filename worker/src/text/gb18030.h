#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// One of the two pieces of decoding that need the platform's tables (Big5,
// in big5.h, is the other): glibc's iconv on Linux, the Windows code page
// 54936 there.
namespace sentiment {
// Converts GB18030 bytes holding whole characters (the caller keeps a
// character cut at the end of a piece for the next piece) to UTF-8, appended
// to out. Returns std::string_view::npos on success, otherwise the offset in
// `in` of the first byte that is not valid GB18030 (out then holds the text
// before it).
std::size_t gb18030_to_utf8(std::string_view in, std::string& out);
}
