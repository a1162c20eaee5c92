#include "features/tokenizer.h"

#include <algorithm>
#include <array>

#include "text/utf8.h"

namespace sentiment {

void TokenList::clear() {
    chars_.clear();
    ends_.clear();
    kinds_.clear();
}

void TokenList::add(std::string_view text, TokenKind kind) {
    chars_.append(text);
    ends_.push_back(static_cast<std::uint32_t>(chars_.size()));
    kinds_.push_back(kind);
}

std::string_view TokenList::operator[](std::size_t i) const {
    std::uint32_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(chars_.data() + begin, ends_[i] - begin);
}

namespace {

// Folds full-width forms and CJK punctuation onto their ASCII twins, so
// "！" and "!" are one feature.
char32_t normalise(char32_t cp) {
    if (cp >= 0xFF01 && cp <= 0xFF5E) return cp - 0xFEE0;
    switch (cp) {
    case 0x3000: return U' ';
    case 0x3002: case 0xFF61: case 0x2026: return U'.';
    case 0x3001: case 0xFF64: return U',';
    case 0x2018: case 0x2019: return U'\'';
    default: return cp;
    }
}

bool is_han(char32_t cp) {
    return (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0xF900 && cp <= 0xFAFF) ||
           (cp >= 0x20000 && cp <= 0x2FA1F) || (cp >= 0x3040 && cp <= 0x30FF) || (cp >= 0xAC00 && cp <= 0xD7AF);
}

bool is_word_char(char32_t cp) {
    if (cp < 0x80) return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9');
    return cp >= 0xC0 && cp < 0x2000 && cp != 0xD7 && cp != 0xF7;
}

bool is_emoji(char32_t cp) {
    return (cp >= 0x1F300 && cp <= 0x1FAFF) || (cp >= 0x2600 && cp <= 0x27BF);
}

bool is_clause_punct(char32_t cp) {
    return cp == '.' || cp == ',' || cp == ';' || cp == ':' || cp == '!' || cp == '?';
}

char32_t lower(char32_t cp) {
    if (cp >= 'A' && cp <= 'Z') return cp + 32;
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 32;
    if (cp >= 0x391 && cp <= 0x3A9) return cp + 32;   // Greek
    if (cp >= 0x410 && cp <= 0x42F) return cp + 32;   // Cyrillic
    return cp;
}

bool is_negation(std::string_view w) {
    static constexpr std::array<std::string_view, 14> words = {
        "not", "no", "never", "cannot", "nothing", "nobody", "none", "nor",
        "neither", "without", "hardly", "barely", "nowhere", "isnt"};
    if (w.size() > 3 && w.substr(w.size() - 3) == "n't") return true;
    if (w.size() > 7 || (w[0] != 'n' && w[0] != 'c' && w[0] != 'w' && w[0] != 'h' && w[0] != 'b' && w[0] != 'i'))
        return false;
    return std::find(words.begin(), words.end(), w) != words.end();
}

bool is_han_negation(char32_t cp) {
    switch (cp) {
    case U'不': case U'没': case U'沒': case U'无': case U'無': case U'别': case U'別': case U'未':
        return true;
    default:
        return false;
    }
}

class Splitter {
public:
    explicit Splitter(TokenList& out) : out_(out) {}

    void flush_word() {
        if (word_.empty()) return;
        if (is_negation(word_)) {
            out_.add(word_, TokenKind::Word);
            negating_ = true;
        } else if (negating_) {
            prefixed_.assign("neg_");
            prefixed_ += word_;
            out_.add(prefixed_, TokenKind::Word);
        } else {
            out_.add(word_, TokenKind::Word);
        }
        word_.clear();
    }
    void end_scope() { negating_ = false; }
    void add_char(char32_t cp) {
        if (cp < 0x80) word_ += static_cast<char>(lower(cp));
        else append_utf8(word_, lower(cp));
    }
    void add_ascii(char c) { word_ += c; }
    // A Chinese negation marks the characters after it up to the end of
    // the clause, as English ones do words: 不好吃 -> 不 neg_好 neg_吃.
    void han(char32_t cp) {
        single_.clear();
        if (negating_) single_ = "neg_";
        append_utf8(single_, cp);
        out_.add(single_, TokenKind::Han);
        if (is_han_negation(cp)) negating_ = true;
    }
    bool in_word() const { return !word_.empty(); }
    void single(char32_t cp, TokenKind kind) {
        single_.clear();
        append_utf8(single_, cp);
        out_.add(single_, kind);
    }

private:
    TokenList& out_;
    std::string word_, prefixed_, single_;
    bool negating_ = false;
};

}  // namespace

void tokenize(std::string_view text, TokenList& out) {
    out.clear();
    Splitter s(out);
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        if (b < 0x80 && b != '\'') {
            // Plain ASCII, most of English text: no decoding, no folding.
            ++i;
            if ((b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) {
                s.add_ascii(static_cast<char>(b));
            } else if (b >= 'A' && b <= 'Z') {
                s.add_ascii(static_cast<char>(b + 32));
            } else if (is_clause_punct(b)) {
                s.flush_word();
                s.end_scope();
                s.single(b, TokenKind::Punct);
            } else {
                s.flush_word();
            }
            continue;
        }
        char32_t cp = next_code_point(text, i);
        if (cp == kNotUtf8) {
            s.flush_word();
            continue;
        }
        cp = normalise(cp);
        if (is_word_char(cp)) {
            s.add_char(cp);
        } else if (cp == '\'' && s.in_word() && i < text.size()) {
            std::size_t j = i;
            char32_t after = normalise(next_code_point(text, j));
            if (after != kNotUtf8 && is_word_char(after)) {
                s.add_char(cp);
            } else {
                s.flush_word();
            }
        } else if (is_han(cp)) {
            s.flush_word();
            s.han(cp);
        } else if (is_clause_punct(cp)) {
            s.flush_word();
            s.end_scope();
            s.single(cp, TokenKind::Punct);
        } else if (is_emoji(cp)) {
            s.flush_word();
            s.single(cp, TokenKind::Symbol);
        } else {
            s.flush_word();
        }
    }
    s.flush_word();
}

std::vector<std::string> tokenize(std::string_view text) {
    TokenList list;
    tokenize(text, list);
    std::vector<std::string> out;
    out.reserve(list.size());
    for (std::size_t k = 0; k < list.size(); ++k) out.emplace_back(list[k]);
    return out;
}

}  // namespace sentiment
