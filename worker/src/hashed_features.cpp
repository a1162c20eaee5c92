#include "hashed_features.h"

#include <algorithm>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace sentiment {

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
}  // namespace

FeatureExtractor::FeatureExtractor(const FeatureOptions& options) : options_(options) {}

void FeatureExtractor::extract(std::string_view text, std::vector<std::uint32_t>& ids) {
    ids.clear();
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
            ids.push_back(static_cast<std::uint32_t>(mix(g + k) >> shift));
        }
    }
    if (options_.char_max > 0) {
        // Character n-grams of words with boundary marks, e.g. "<go", "od>",
        // let unseen inflections share evidence with known ones.
        std::string padded;
        for (std::size_t i = 0; i < n; ++i) {
            if (tokens_.kind(i) != TokenKind::Word) continue;
            padded.assign("<");
            padded += tokens_[i];
            padded += '>';
            const std::size_t len = padded.size();
            for (std::size_t a = 0; a < len; ++a) {
                if ((static_cast<unsigned char>(padded[a]) & 0xC0) == 0x80) continue;
                std::size_t b = a, chars = 0;
                while (b < len && chars < options_.char_max) {
                    ++b;
                    while (b < len && (static_cast<unsigned char>(padded[b]) & 0xC0) == 0x80) ++b;
                    ++chars;
                    if (chars >= options_.char_min) {
                        std::uint64_t h = XXH3_64bits_withSeed(padded.data() + a, b - a, 0x43484152);
                        ids.push_back(static_cast<std::uint32_t>(mix(h) >> shift));
                    }
                }
            }
        }
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
}

}  // namespace sentiment
