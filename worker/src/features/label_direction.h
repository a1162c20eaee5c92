#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "features/model.h"
#include "io/line_reader.h"

namespace sentiment {

// Words whose polarity nobody disputes, in English and Chinese (simplified
// and traditional), to tell whether a model learnt its labels the right way
// round: a label column meaning "is this bad" trains happily into a model
// that calls complaints 好评.
struct PolarWord {
    std::string_view word;
    bool positive;
};
const std::vector<PolarWord>& polar_words();

// How many reviews hold each of polar_words(), in its order: Chinese words
// as they stand, Latin ones as whole words in any case. Rewinds `reviews`
// before and after.
std::vector<std::uint64_t> count_polar_words(TextSource& reviews);

// A word needs this many reviews before its weight says anything.
inline constexpr std::uint64_t kPolarEvidence = 3;

struct LabelDirection {
    enum class Verdict { Agrees, MayBeInverted, Unclear, TooFewWords };
    Verdict verdict = Verdict::TooFewWords;
    std::size_t found = 0;  // polar words in enough reviews to judge by
    std::size_t wrong = 0;  // of them, judged the other way by the model
    std::vector<std::string> examples;  // a few of the wrong ones: "great → 差评 negative (-1.23)"

    std::string describe_en() const;
    std::string describe_zh() const;
};

// Judges each polar word found in enough reviews by the model, the word on
// its own, bias left out. The labels may be inverted when at least 3 words
// are found and at least three quarters of them point the wrong way; they
// agree when at most a quarter do.
LabelDirection judge_label_direction(const Model& model, const std::vector<std::uint64_t>& counts);

}  // namespace sentiment
