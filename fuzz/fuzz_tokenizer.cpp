// The tokeniser, on arbitrary bytes (invalid UTF-8 must act as a separator),
// and the feature hashing built on it.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "features/hashed_features.h"
#include "features/tokenizer.h"
#include "fuzz_common.h"

using namespace sentiment;

namespace {

bool is_ascii_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_ascii_space_or_punct(char c) {
    auto u = static_cast<unsigned char>(c);
    return u < 0x80 && !((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '\'' || c == '_');
}

void check_tokens(const TokenList& list) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        std::string_view t = list[i];
        FUZZ_CHECK(!t.empty(), "empty token");
        FUZZ_CHECK(fuzz::valid_utf8(t), "token is not valid UTF-8");
        switch (list.kind(i)) {
        case TokenKind::Word:
            FUZZ_CHECK(std::none_of(t.begin(), t.end(), is_ascii_upper), "word not lower-cased");
            FUZZ_CHECK(std::none_of(t.begin(), t.end(), is_ascii_space_or_punct), "word holds a separator");
            FUZZ_CHECK(t.front() != '\'' && t.back() != '\'', "apostrophe at the edge of a word");
            break;
        case TokenKind::Punct:
            FUZZ_CHECK(t.size() == 1 && std::string_view(".,;:!?").find(t[0]) != std::string_view::npos,
                       "punctuation token is not one of . , ; : ! ?");
            break;
        case TokenKind::Han:
        case TokenKind::Symbol: {
            // Inside a negation scope the character carries the scope's mark.
            const std::string_view mark = "neg_";
            const std::string_view bare = t.substr(0, mark.size()) == mark ? t.substr(mark.size()) : t;
            FUZZ_CHECK(fuzz::code_points(bare) == 1, "Han or symbol token is not a single character");
            break;
        }
        default:
            FUZZ_CHECK(false, "unknown token kind");
        }
    }
}

// A few settings models really use, plus the extremes a model file may hold.
const FeatureOptions kOptions[] = {
    {21, 3, 3, 5}, {8, 1, 0, 0}, {8, 6, 1, 10}, {12, 2, 2, 2}, {24, 6, 10, 10},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::as_view(data, size);

    TokenList list;
    tokenize("Not a WORD, 不好！ stale tokens", list);  // reused lists must be cleared
    tokenize(text, list);
    check_tokens(list);

    std::vector<std::string> vec = tokenize(text);
    FUZZ_CHECK(vec.size() == list.size(), "the two tokenize overloads disagree in count");
    for (std::size_t i = 0; i < vec.size(); ++i)
        FUZZ_CHECK(vec[i] == list[i], "the two tokenize overloads disagree");

    // Tokenising the tokens' own text must not split a word differently:
    // words and single characters come back as themselves.
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list.kind(i) == TokenKind::Word) continue;
        std::string_view bare = list[i];
        if (bare.substr(0, 4) == "neg_") bare.remove_prefix(4);  // the negation mark is not part of the text
        std::vector<std::string> again = tokenize(bare);
        FUZZ_CHECK(again.size() == 1 && again[0] == bare, "a single-character token does not tokenise to itself");
    }

    const FeatureOptions& o = kOptions[size % (sizeof kOptions / sizeof kOptions[0])];
    FeatureExtractor fx(o);
    std::vector<std::uint32_t> ids, again;
    fx.extract(text, ids);
    // Distinct ids below 2^bits, in an order that depends on the text only.
    std::vector<std::uint32_t> sorted(ids);
    std::sort(sorted.begin(), sorted.end());
    FUZZ_CHECK(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end(), "feature ids repeated");
    FUZZ_CHECK(sorted.empty() || sorted.back() < (std::uint64_t{1} << o.bits), "feature id beyond the table");
    FUZZ_CHECK(list.size() == 0 || !ids.empty(), "tokens but no features");
    fx.extract(text, again);
    FUZZ_CHECK(ids == again, "feature extraction is not repeatable");
    FeatureExtractor fresh(o);
    fresh.extract(text, again);
    FUZZ_CHECK(ids == again, "feature extraction depends on the extractor's past");
    return 0;
}
