#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "features/hashed_features.h"
#include "features/model.h"

namespace sentiment {

// What one bucket adds to a text's score: its weight, counted once however
// many n-grams of the text hash to it, and those n-grams.
struct Contribution {
    std::uint32_t bucket = 0;
    float weight = 0;
    std::vector<NamedFeature> ngrams;  // in the order of the text, no repeats
};

// A text's score taken apart: the bias plus one contribution per distinct
// bucket, in the order Model::score adds them, so that score() is the very
// number judging computes.
struct Explanation {
    double bias = 0;
    std::vector<Contribution> parts;
    std::size_t ngrams = 0;  // features of the text, repeats included

    double score() const;
    double probability() const;
    // The n largest contributions for 好评 (weight > 0), largest first, and
    // for 差评 (weight < 0), most negative first.
    std::vector<const Contribution*> strongest(std::size_t n, bool positive) const;
};

Explanation explain(const Model& model, FeatureExtractor& extractor, std::string_view text);

}  // namespace sentiment
