#pragma once
#include "text/char_kind.h"

namespace sentiment {

// What each two-byte character of GBK (GB18030) and of Big5 is, by its two
// bytes, so that a reading can be judged without decoding it. The tables
// are made once, on first use, by decoding every pair through the
// platform's converters. Pairs that are not a character of the encoding (or
// that are not two-byte characters at all) are Invalid.
CharKind gb_pair_kind(unsigned char lead, unsigned char trail);
CharKind big5_pair_kind(unsigned char lead, unsigned char trail);

}  // namespace sentiment
