#include "text/gb18030.h"

#include "text/iconv_to_utf8.h"

namespace sentiment {

std::size_t gb18030_to_utf8(std::string_view in, std::string& out) { return iconv_to_utf8("GB18030", "GB18030", in, out); }

}  // namespace sentiment
