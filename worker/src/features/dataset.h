#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "features/label_scheme.h"
#include "io/line_reader.h"

namespace sentiment {

// positive/negative, pos/neg, 1/0, 正面/负面, 好评/差评; any case, blanks
// around ignored. Returns true for positive, nothing for an unknown label
// and for the star ratings 2 to 5, which only a whole column can place
// (LabelColumn).
std::optional<bool> parse_label(std::string_view text);

// No real review comes near this; a longer line is refused, because its
// features alone would take hundreds of megabytes.
inline constexpr std::size_t max_review_bytes = std::size_t(1) << 20;

// Throws Error naming the file and line when `line` exceeds max_review_bytes.
void check_review_length(std::string_view line, std::string_view file, std::uint64_t line_number);

// Checks a training set before any work is done and returns its labels
// (1 = positive). Refuses, naming file, line and reason: undecodable text,
// an unknown label or rating, different line counts, no reviews, a single
// class. Blank lines at the very end of either file are ignored. Reviews
// rated 3 stars are left out, review line and label alike: the set's `kept`
// says which lines of the reviews reader (rewound afterwards) belong to it,
// and KeptRows reads just those. progress receives the fraction of both
// files read. Evaluation sets may hold a single class:
// require_both_classes = false.
LabelSet validate_dataset(LineReader& reviews, LineReader& labels, const std::function<void(double)>& progress = {},
                          bool require_both_classes = true);

struct Dataset {
    std::vector<std::string> reviews;  // those kept
    std::vector<std::uint8_t> labels;
    LabelTally tally;
};

// The same checks on in-memory files.
Dataset read_dataset(std::string_view reviews_bytes, std::string_view labels_bytes,
                     std::string_view reviews_name = "reviews.txt", std::string_view labels_name = "labels.txt");

}  // namespace sentiment
