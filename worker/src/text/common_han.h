#pragma once

namespace sentiment {

// Whether a code point is one of the Chinese characters, simplified or
// traditional, that most everyday text is made of.
bool common_han(char32_t cp);

}  // namespace sentiment
