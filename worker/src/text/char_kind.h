#pragma once
#include <cstdint>

namespace sentiment {

// What a character read from bytes says about whether the reading is right.
enum class CharKind : std::uint8_t {
    Invalid,     // no character: the bytes do not form one in this encoding
    CommonHan,   // one of the Chinese characters most text is made of
    Han,         // any other Chinese character
    Kana,        // Japanese syllables
    Hangul,      // Korean syllables and letters
    Letter,      // letters of the alphabets in everyday use
    Mark,        // combining marks: they need a letter before them
    Punctuation, // punctuation, symbols, digits and spaces of any script
    Rare,        // private use, controls, archaic and specialist letters:
                 // what bytes of another encoding turn into
};

CharKind char_kind(char32_t cp);

// The alphabet a letter belongs to, so that letters of two alphabets inside
// one word can be told; 0 for anything that is not such a letter.
enum class Alphabet : std::uint8_t { None, Latin, Greek, Cyrillic, Armenian, Hebrew, Arabic, Other };
Alphabet alphabet_of(char32_t cp);

}  // namespace sentiment
