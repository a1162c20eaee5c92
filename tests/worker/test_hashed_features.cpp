#include <gtest/gtest.h>

#include <set>

#include "features/hashed_features.h"

using namespace sentiment;

namespace {

TEST(Features, CharacterNgramsCoverWordsWithBoundaries) {
    FeatureOptions words;
    words.ngrams = 1;
    words.char_min = words.char_max = 0;
    FeatureOptions chars = words;
    chars.char_min = 3;
    chars.char_max = 3;
    std::vector<std::uint32_t> a, b;
    FeatureExtractor(words).extract("good", a);
    FeatureExtractor(chars).extract("good", b);
    EXPECT_EQ(a.size(), 1u);
    EXPECT_EQ(b.size(), 1u + 4u);  // <go goo ood od>
    FeatureExtractor(chars).extract("好", b);
    EXPECT_EQ(b.size(), 1u);  // no letter n-grams for Chinese characters
}

TEST(Features, AreDistinctAndInRange) {
    FeatureOptions o;
    o.bits = 10;
    o.ngrams = 3;
    o.char_min = 2;
    o.char_max = 4;
    FeatureExtractor fx(o);
    std::vector<std::uint32_t> ids;
    fx.extract("good good good, very good 很好很好 " + std::string(300, 'x'), ids);
    ASSERT_FALSE(ids.empty());
    std::set<std::uint32_t> seen(ids.begin(), ids.end());
    EXPECT_EQ(seen.size(), ids.size());
    EXPECT_LT(*seen.rbegin(), 1u << 10);
    // "good" appears four times but counts once: fewer ids than n-grams.
    std::vector<std::uint32_t> once;
    fx.extract("good", once);
    std::vector<std::uint32_t> four;
    fx.extract("good good good good", four);
    EXPECT_EQ(std::set<std::uint32_t>(once.begin(), once.end()).size() + 2, four.size());
}

TEST(Features, NgramsAddFeaturesAndOrderMatters) {
    FeatureOptions uni;
    uni.ngrams = 1;
    uni.char_min = uni.char_max = 0;
    FeatureOptions tri = uni;
    tri.ngrams = 3;
    std::vector<std::uint32_t> a, b, c;
    FeatureExtractor(uni).extract("the film is good", a);
    FeatureExtractor(tri).extract("the film is good", b);
    EXPECT_EQ(a.size(), 4u);
    EXPECT_EQ(b.size(), 4u + 3u + 2u);
    FeatureExtractor(tri).extract("good is film the", c);
    EXPECT_NE(b, c);
    std::vector<std::uint32_t> a2;
    FeatureExtractor(uni).extract("good is film the", a2);
    EXPECT_EQ(std::set<std::uint32_t>(a.begin(), a.end()), std::set<std::uint32_t>(a2.begin(), a2.end()));
}

}  // namespace
