#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace sentiment {
// Converts whole characters in the named iconv encoding to UTF-8, appended
// to out; returns npos, or the offset of the first byte the converter
// refuses (out then holds the text before it). Throws Error, naming the
// encoding as `shown`, when the system cannot convert from it at all.
std::size_t iconv_to_utf8(const char* from, const char* shown, std::string_view in, std::string& out);
}
