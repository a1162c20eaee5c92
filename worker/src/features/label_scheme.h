#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sentiment {

// The spellings a label may take, any case: the words of each class, and
// the numbers 0 to 5, whose meaning depends on the whole column (see
// LabelColumn). The order is the order of kLabelSpellings.
enum class LabelForm : std::uint8_t {
    Positive, Pos, Zhengmian, Haoping,
    Negative, Neg, Fumian, Chaping,
    Zero, One, Two, Three, Four, Five,
};
inline constexpr std::size_t kLabelForms = 14;
inline constexpr std::array<std::string_view, kLabelForms> kLabelSpellings = {
    "positive", "pos", "正面", "好评", "negative", "neg", "负面", "差评", "0", "1", "2", "3", "4", "5"};

// Blanks around a label or review: ASCII white space, U+3000 (the
// full-width space a Chinese IME types) and, in front, a byte-order mark
// (files joined end to end leave one mid-file).
std::string_view trim_blanks(std::string_view text);

// The form of a label text, blanks (and U+3000, and a byte-order mark)
// around it ignored; "4.0" is 4. Nothing for any other text.
std::optional<LabelForm> label_form(std::string_view text);

// How the numbers of a column were read.
enum class LabelReading : std::uint8_t {
    Words,   // no numbers at all
    Binary,  // only 0 and 1: 1 positive, 0 negative
    Stars,   // some 2 to 5: 4-5 positive, 1-2 negative, 3 left out
};

// How many labels of each form a column held and how they were read.
struct LabelTally {
    LabelReading reading = LabelReading::Words;
    std::array<std::uint64_t, kLabelForms> counts{};

    // Class of a form under this reading: 1 positive, 0 negative, -1 left out.
    int class_of(LabelForm form) const;
    std::uint64_t in_class(int cls) const;
    std::uint64_t positive() const { return in_class(1); }
    std::uint64_t negative() const { return in_class(0); }
    std::uint64_t left_out() const { return in_class(-1); }
    // "5, 4 → 好评 positive (3,120); 1, 2 → 差评 negative (880); 3 left out (412)"
    std::string mapping() const;
    // Which reading was taken and why, in English and in Chinese:
    // "star ratings, as 2 to 5 occur: ...".
    std::string reading_en() const;
    std::string reading_zh() const;
};

// Labels with the rows they came from: what the learner and the evaluation
// take, and which rows of the file that is.
struct LabelSet {
    std::vector<std::uint8_t> labels;  // of the rows kept, in order; 1 = positive
    std::vector<bool> kept;            // one per row read; empty when every row is kept
    LabelTally tally;
};

// Reads a column of labels (a label file's lines, a table's label cells)
// and settles their meaning once all are seen: a column whose numbers are
// all 0 and 1 stays binary, as label files always were; a column with any
// of 2 to 5 holds star ratings, where 1 is one star and 0 is an error.
class LabelColumn {
public:
    // Messages name `file` and, when not empty, the column.
    LabelColumn(std::string file, std::string column = {});
    // Throws Error naming the line for an unknown label or a rating outside 1-5.
    void add(std::string_view text, std::uint64_t line);
    // Room for `labels` labels, for a caller that counted them first: growing
    // holds the old and the new copy at once, two bytes a label.
    void reserve(std::size_t labels) { forms_.reserve(labels); }
    std::size_t size() const { return forms_.size(); }
    // Throws Error naming the first 0 of a star column. The labels take the
    // forms' place, so a column never holds more than a byte a row.
    LabelSet resolve() &&;

private:
    std::string where_en(std::uint64_t line) const;
    std::string where_zh(std::uint64_t line) const;

    std::string file_, column_;
    std::vector<std::uint8_t> forms_;  // LabelForm values, then the labels in their place
    std::array<std::uint64_t, kLabelForms> counts_{};
    std::uint64_t first_zero_line_ = 0;
};

// Training needs reviews of both classes: throws Error naming `file` when the
// kept labels hold only one (or none: every review rated 3 stars).
void check_both_classes(const LabelSet& set, const std::string& file);

// 3120 -> "3,120": the figures the tool prints.
std::string thousands(std::uint64_t n);

}  // namespace sentiment
