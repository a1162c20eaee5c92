#include "features/hashed_features.h"

#include <algorithm>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "text/errors.h"

namespace sentiment {

void check_feature_options(const FeatureOptions& f) {
    const std::string bits = std::to_string(kMinBits) + " to " + std::to_string(kMaxBits);
    if (f.bits < kMinBits || f.bits > kMaxBits)
        throw Error("--bits must be from " + bits, "--bits 须在 " + std::to_string(kMinBits) + " 到 " +
                                                         std::to_string(kMaxBits) + " 之间");
    if (f.ngrams < 1 || f.ngrams > kMaxNgrams)
        throw Error("--ngrams must be from 1 to " + std::to_string(kMaxNgrams),
                    "--ngrams 须在 1 到 " + std::to_string(kMaxNgrams) + " 之间");
    if ((f.char_min == 0) != (f.char_max == 0) || f.char_min > f.char_max || f.char_max > kMaxCharNgram)
        throw Error("--char-min and --char-max must both be 0, or 1 <= char-min <= char-max <= " +
                        std::to_string(kMaxCharNgram),
                    "--char-min 与 --char-max 须同时为 0，或满足 1 ≤ char-min ≤ char-max ≤ " +
                        std::to_string(kMaxCharNgram));
}

namespace {
inline std::uint64_t mix(std::uint64_t h) {
    // Finaliser of MurmurHash3: spreads every input bit over the top bits
    // that pick the bucket.
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}
inline std::uint64_t rotl(std::uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }

// Removes repeated ids keeping first occurrences in order, with a small
// open-addressing table that stays in cache; sorting hundreds of ids per
// review cost more than everything else.
void distinct(std::vector<std::uint32_t>& ids) {
    static thread_local std::vector<std::uint32_t> table;
    std::size_t size = 64;
    while (size < 2 * ids.size()) size <<= 1;
    table.assign(size, 0xFFFFFFFFu);
    const std::size_t mask = size - 1;
    std::size_t out = 0;
    for (std::size_t k = 0; k < ids.size(); ++k) {
        std::uint32_t id = ids[k];
        std::size_t slot = (id * 0x9E3779B1u) & mask;
        for (;;) {
            if (table[slot] == id) break;
            if (table[slot] == 0xFFFFFFFFu) {
                table[slot] = id;
                ids[out++] = id;
                break;
            }
            slot = (slot + 1) & mask;
        }
    }
    ids.resize(out);
}
}  // namespace

FeatureExtractor::FeatureExtractor(const FeatureOptions& options) : options_(options) {}

// Calls emit(id, letters, name) for every feature of the text, repeats included, in
// a fixed order; name() spells the feature out, and only explanations call
// it, so judging pays nothing for it.
template <class Emit>
void FeatureExtractor::each_feature(std::string_view text, Emit&& emit) {
    tokenize(text, tokens_);
    const std::size_t n = tokens_.size();
    const int shift = 64 - options_.bits;
    hashes_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::string_view t = tokens_[i];
        hashes_[i] = XXH3_64bits(t.data(), t.size());
    }
    for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t g = 0;
        for (std::size_t k = 0; k < options_.ngrams && i + k < n; ++k) {
            g = rotl(g, 23) * 0x9E3779B97F4A7C15ULL ^ hashes_[i + k];
            emit(static_cast<std::uint32_t>(mix(g + k) >> shift), false, [&] { return token_ngram(i, k + 1); });
        }
    }
    if (options_.char_max == 0) return;
    // Character n-grams of words with boundary marks, e.g. "<go", "od>",
    // let unseen inflections share evidence with known ones. FNV-1a
    // extended byte by byte hashes every n-gram from one start at once.
    for (std::size_t i = 0; i < n; ++i) {
        if (tokens_.kind(i) != TokenKind::Word) continue;
        std::string_view t = tokens_[i];
        const std::size_t len = t.size() + 2;
        auto at = [&](std::size_t k) -> unsigned char {
            return k == 0 ? '<' : k == len - 1 ? '>' : static_cast<unsigned char>(t[k - 1]);
        };
        for (std::size_t a = 0; a < len; ++a) {
            if ((at(a) & 0xC0) == 0x80) continue;
            std::uint64_t h = 0xcbf29ce484222325ULL;
            std::size_t chars = 0;
            for (std::size_t b = a; b < len;) {
                h = (h ^ at(b)) * 0x100000001b3ULL;
                ++b;
                if (b < len && (at(b) & 0xC0) == 0x80) continue;  // inside a character
                if (++chars >= options_.char_min)
                    emit(static_cast<std::uint32_t>(mix(h) >> shift), true, [&] {
                        std::string s;
                        for (std::size_t k = a; k < b; ++k) s += static_cast<char>(at(k));
                        return s;
                    });
                if (chars == options_.char_max) break;
            }
        }
    }
}

// Han characters join without a space, as they are written.
std::string FeatureExtractor::token_ngram(std::size_t first, std::size_t length) const {
    std::string s(tokens_[first]);
    for (std::size_t k = first + 1; k < first + length; ++k) {
        if (tokens_.kind(k) != TokenKind::Han || tokens_.kind(k - 1) != TokenKind::Han) s += ' ';
        s += tokens_[k];
    }
    return s;
}

void FeatureExtractor::extract(std::string_view text, std::vector<std::uint32_t>& ids) {
    ids.clear();
    each_feature(text, [&](std::uint32_t id, bool, auto&&) { ids.push_back(id); });
    distinct(ids);
}

void FeatureExtractor::extract_named(std::string_view text, std::vector<NamedFeature>& features) {
    features.clear();
    each_feature(text, [&](std::uint32_t id, bool letters, auto&& name) { features.push_back({id, name(), letters}); });
}

}  // namespace sentiment
