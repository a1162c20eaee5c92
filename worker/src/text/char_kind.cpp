#include "text/char_kind.h"

#include "text/common_han.h"

namespace sentiment {

namespace {
bool in(char32_t c, char32_t lo, char32_t hi) { return c >= lo && c <= hi; }
}  // namespace

Alphabet alphabet_of(char32_t c) {
    if (in(c, 'A', 'Z') || in(c, 'a', 'z') || in(c, 0xC0, 0x24F)) return c == 0xD7 || c == 0xF7 ? Alphabet::None : Alphabet::Latin;
    if (in(c, 0x370, 0x3FF)) return Alphabet::Greek;
    if (in(c, 0x400, 0x52F)) return Alphabet::Cyrillic;
    if (in(c, 0x531, 0x587)) return Alphabet::Armenian;
    if (in(c, 0x5D0, 0x5EA)) return Alphabet::Hebrew;
    if (in(c, 0x620, 0x64A) || in(c, 0x671, 0x6D3)) return Alphabet::Arabic;
    if (in(c, 0x700, 0x7FF)) return Alphabet::Other;
    return Alphabet::None;
}

CharKind char_kind(char32_t c) {
    if (c < 0x80) {
        if (c == '\t' || c == '\n' || c == '\r' || c == '\f') return CharKind::Punctuation;
        if (c < 0x20 || c == 0x7F) return CharKind::Rare;
        return (in(c, 'A', 'Z') || in(c, 'a', 'z')) ? CharKind::Letter : CharKind::Punctuation;
    }
    if (in(c, 0x4E00, 0x9FFF)) return common_han(c) ? CharKind::CommonHan : CharKind::Han;
    if (in(c, 0x3400, 0x4DBF) || in(c, 0xF900, 0xFAFF) || in(c, 0x20000, 0x3FFFF)) return CharKind::Han;
    if (in(c, 0x3041, 0x30FF) || in(c, 0xFF66, 0xFF9F)) return c == 0x30FB || c == 0x30FC ? CharKind::Punctuation : CharKind::Kana;
    if (in(c, 0xAC00, 0xD7A3) || in(c, 0x1100, 0x11FF) || in(c, 0x3131, 0x318E)) return CharKind::Hangul;
    // C1 controls: what Windows-1252 quotes or GBK bytes become when read as
    // UTF-8 or Latin-1.
    if (c < 0xA0) return CharKind::Rare;
    if (c < 0xC0 || c == 0xD7 || c == 0xF7) return CharKind::Punctuation;
    if (c <= 0x17F) return CharKind::Letter;
    if (in(c, 0x180, 0x24F)) return in(c, 0x218, 0x21B) || in(c, 0x1CD, 0x1DC) ? CharKind::Letter : CharKind::Rare;
    // IPA and spacing modifiers, except the few that quote marks turn into.
    if (in(c, 0x250, 0x2FF)) return c == 0x2C6 || c == 0x2DC || c == 0x2BC || c == 0x2C7 ? CharKind::Punctuation : CharKind::Rare;
    if (in(c, 0x300, 0x36F)) return CharKind::Mark;
    if (in(c, 0x386, 0x3CE)) return CharKind::Letter;
    if (in(c, 0x370, 0x3FF)) return CharKind::Rare;  // Coptic and archaic Greek
    if (in(c, 0x400, 0x45F)) return CharKind::Letter;
    if (in(c, 0x483, 0x489)) return CharKind::Mark;
    if (in(c, 0x460, 0x52F)) return in(c, 0x490, 0x491) || in(c, 0x4D8, 0x4D9) ? CharKind::Letter : CharKind::Rare;
    if (in(c, 0x531, 0x587)) return CharKind::Letter;
    if (in(c, 0x591, 0x5C7) || in(c, 0x610, 0x61A) || in(c, 0x64B, 0x65F) || c == 0x670 || in(c, 0x6D6, 0x6ED))
        return CharKind::Mark;
    if (in(c, 0x5D0, 0x5EA) || in(c, 0x620, 0x64A) || in(c, 0x671, 0x6D3)) return CharKind::Letter;
    if (in(c, 0x660, 0x669) || c == 0x60C || c == 0x61B || c == 0x61F || c == 0x5BE || c == 0x5F3 || c == 0x5F4)
        return CharKind::Punctuation;
    if (c < 0x800) return CharKind::Rare;  // Syriac, Thaana, N'Ko and the like
    if (in(c, 0xE00, 0xE7F) || in(c, 0x900, 0x9FF)) return CharKind::Letter;  // Thai, Devanagari
    if (in(c, 0x1E00, 0x1FFF)) return CharKind::Letter;                       // Vietnamese, Greek accents
    if (in(c, 0xFE00, 0xFE0F) || in(c, 0x20D0, 0x20FF)) return CharKind::Mark;
    if (in(c, 0x2000, 0x2BFF) || in(c, 0x3000, 0x303F) || in(c, 0x3200, 0x33FF) || in(c, 0xFE30, 0xFE4F) ||
        in(c, 0xFF01, 0xFF65) || in(c, 0xFFE0, 0xFFE6))
        return CharKind::Punctuation;
    if (in(c, 0x3100, 0x312F) || in(c, 0x31A0, 0x31BF)) return CharKind::Letter;  // bopomofo
    if (in(c, 0x1F000, 0x1FAFF)) return CharKind::Punctuation;  // emoji
    return CharKind::Rare;
}

}  // namespace sentiment
