#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "features/tokenizer.h"

namespace sentiment {

struct FeatureOptions {
    std::uint8_t bits = 21;      // 2^bits hash buckets
    std::uint8_t ngrams = 3;     // token n-grams of length 1..ngrams
    std::uint8_t char_min = 3;   // character n-grams inside Latin words,
    std::uint8_t char_max = 5;   // lengths char_min..char_max; 0 = none
};

// Limits that keep a model table and its loading sane.
constexpr std::uint8_t kMinBits = 8;
constexpr std::uint8_t kMaxBits = 24;
constexpr std::uint8_t kMaxNgrams = 6;
constexpr std::uint8_t kMaxCharNgram = 10;

// Throws Error naming the setting out of range. The command line, the
// trainer and the model loader all judge settings by this one rule.
void check_feature_options(const FeatureOptions& options);

// A feature of a text and its bucket: an n-gram of words or Han
// characters ("not neg_good", "很好": Han characters as written), or of
// letters inside a word ("<goo": < and > mark the word's ends).
struct NamedFeature {
    std::uint32_t id;
    std::string name;
    bool letters;
};

// Maps a text to the hash buckets of the features it contains. Features are
// binary (present or not), which suits short reviews better than counts.
class FeatureExtractor {
public:
    explicit FeatureExtractor(const FeatureOptions& options);
    // ids receives distinct bucket numbers below 2^bits, in a fixed order.
    void extract(std::string_view text, std::vector<std::uint32_t>& ids);
    // Every feature extract() finds, in its order, each with its n-gram and
    // repeats included: several n-grams of a text may share a bucket.
    void extract_named(std::string_view text, std::vector<NamedFeature>& features);

private:
    template <class Emit>
    void each_feature(std::string_view text, Emit&& emit);
    std::string token_ngram(std::size_t first, std::size_t length) const;

    FeatureOptions options_;
    TokenList tokens_;
    std::vector<std::uint64_t> hashes_;
};

}  // namespace sentiment
