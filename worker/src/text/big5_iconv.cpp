#include "text/big5.h"

#include "text/iconv_to_utf8.h"

namespace sentiment {

// glibc's BIG5 is Microsoft's code page 950 character for character, so the
// two platforms agree.
std::size_t big5_platform_to_utf8(std::string_view in, std::string& out) { return iconv_to_utf8("BIG5", "Big5", in, out); }

}  // namespace sentiment
