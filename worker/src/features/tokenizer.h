#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sentiment {

enum class TokenKind : std::uint8_t { Word, Han, Punct, Symbol };

// Tokens of one text packed into a single buffer, reused between texts so
// that tokenising a large file does not allocate per token.
class TokenList {
public:
    void clear();
    void add(std::string_view text, TokenKind kind);
    std::size_t size() const { return ends_.size(); }
    std::string_view operator[](std::size_t i) const;
    TokenKind kind(std::size_t i) const { return kinds_[i]; }

private:
    std::string chars_;
    std::vector<std::uint32_t> ends_;
    std::vector<TokenKind> kinds_;
};

// Splits UTF-8 text into tokens:
//  - runs of letters and digits (Latin, Greek, Cyrillic...) become lower-case
//    words; an apostrophe inside a word stays ("don't");
//  - each Chinese/Japanese/Korean character is a token of its own, since
//    such text has no spaces; n-grams over them act as words;
//  - . , ; : ! ? (and their full-width forms, 。 、) are tokens and end a
//    negation scope; other symbols separate words, emoji are kept;
//  - after a negation word (not, no, never, ...n't) the following words up
//    to the next punctuation get the prefix "neg_": "not good" -> not neg_good;
//    likewise the characters after 不, 没, 无, 别, 未 (and traditional forms).
// Bytes that are not valid UTF-8 act as separators.
void tokenize(std::string_view text, TokenList& out);
std::vector<std::string> tokenize(std::string_view text);

}  // namespace sentiment
