#include "features/label_scheme.h"

#include <algorithm>

#include "text/errors.h"

namespace sentiment {

namespace {

bool is_blank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

constexpr std::string_view kWideSpace = "\xE3\x80\x80", kBom = "\xEF\xBB\xBF";

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// "4", "+4", "4.5", "-1", "10", "4,5": a number, which as a label must be a
// star rating; anything else is a word.
bool looks_numeric(std::string_view s) {
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.remove_prefix(1);
    const std::size_t whole = std::find_if_not(s.begin(), s.end(), is_digit) - s.begin();
    if (whole == 0) return false;
    s.remove_prefix(whole);
    if (s.empty()) return true;
    if (s[0] != '.' && s[0] != ',') return false;
    s.remove_prefix(1);
    return !s.empty() && std::all_of(s.begin(), s.end(), is_digit);
}

// "4.0" and "4.00" as spreadsheets and data tools write whole numbers.
std::string_view drop_zero_fraction(std::string_view s) {
    const std::size_t dot = s.find('.');
    if (dot == std::string_view::npos || dot + 1 == s.size()) return s;
    const std::string_view fraction = s.substr(dot + 1);
    return std::all_of(fraction.begin(), fraction.end(), [](char c) { return c == '0'; }) ? s.substr(0, dot) : s;
}

const char* class_en(int cls) { return cls == 1 ? "好评 positive" : "差评 negative"; }

std::string column_note_en(const std::string& column) { return column.empty() ? "" : " in column " + quoted(column); }
std::string column_note_zh(const std::string& column) { return column.empty() ? "" : "（" + quoted(column) + " 列）"; }

}  // namespace

std::string_view trim_blanks(std::string_view s) {
    for (;;) {
        if (!s.empty() && is_blank(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
        else if (s.substr(0, 3) == kWideSpace || s.substr(0, 3) == kBom) s.remove_prefix(3);
        else break;
    }
    for (;;) {
        if (!s.empty() && is_blank(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
        else if (s.size() >= 3 && s.substr(s.size() - 3) == kWideSpace) s.remove_suffix(3);
        else break;
    }
    return s;
}

std::optional<LabelForm> label_form(std::string_view text) {
    text = trim_blanks(text);
    if (text.size() > 16) return std::nullopt;
    std::string lower(drop_zero_fraction(text));
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    const auto at = std::find(kLabelSpellings.begin(), kLabelSpellings.end(), lower);
    if (at == kLabelSpellings.end()) return std::nullopt;
    return static_cast<LabelForm>(at - kLabelSpellings.begin());
}

int LabelTally::class_of(LabelForm form) const {
    switch (form) {
    case LabelForm::Positive: case LabelForm::Pos: case LabelForm::Zhengmian: case LabelForm::Haoping: return 1;
    case LabelForm::Negative: case LabelForm::Neg: case LabelForm::Fumian: case LabelForm::Chaping: return 0;
    case LabelForm::Zero: return 0;  // never counted under Stars: resolve() refuses it
    case LabelForm::One: return reading == LabelReading::Stars ? 0 : 1;
    case LabelForm::Two: return 0;
    case LabelForm::Three: return -1;
    case LabelForm::Four: case LabelForm::Five: return 1;
    }
    return -1;
}

std::uint64_t LabelTally::in_class(int cls) const {
    std::uint64_t n = 0;
    for (std::size_t f = 0; f < kLabelForms; ++f)
        if (class_of(static_cast<LabelForm>(f)) == cls) n += counts[f];
    return n;
}

std::string LabelTally::mapping() const {
    std::string out;
    for (int cls : {1, 0, -1}) {
        std::vector<std::size_t> forms;
        for (std::size_t f = 0; f < kLabelForms; ++f)
            if (counts[f] > 0 && class_of(static_cast<LabelForm>(f)) == cls) forms.push_back(f);
        if (forms.empty()) continue;
        // The commonest spelling first; ties in the order of kLabelSpellings.
        std::stable_sort(forms.begin(), forms.end(), [&](std::size_t a, std::size_t b) { return counts[a] > counts[b]; });
        if (!out.empty()) out += "; ";
        for (std::size_t k = 0; k < forms.size(); ++k) out += (k ? ", " : "") + std::string(kLabelSpellings[forms[k]]);
        out += cls < 0 ? " left out" : std::string(" → ") + class_en(cls);
        out += " (" + thousands(in_class(cls)) + ")";
    }
    return out;
}

std::string LabelTally::reading_en() const {
    switch (reading) {
    case LabelReading::Words: return "words, no numbers";
    case LabelReading::Binary: return "1 = positive, 0 = negative, as only 0 and 1 occur";
    case LabelReading::Stars:
        return "star ratings, as 2 to 5 occur: 4 and 5 positive, 1 and 2 negative, 3 left out";
    }
    return {};
}

std::string LabelTally::reading_zh() const {
    switch (reading) {
    case LabelReading::Words: return "文字标签，没有数字";
    case LabelReading::Binary: return "1 = 正面、0 = 负面（只出现 0 和 1）";
    case LabelReading::Stars: return "星级评分（出现了 2 到 5）：4、5 星为好评，1、2 星为差评，3 星不用";
    }
    return {};
}

LabelColumn::LabelColumn(std::string file, std::string column) : file_(std::move(file)), column_(std::move(column)) {}

std::string LabelColumn::where_en(std::uint64_t line) const {
    return sentiment::where_en(file_, line);
}

std::string LabelColumn::where_zh(std::uint64_t line) const { return sentiment::where_zh(file_, line); }

void LabelColumn::add(std::string_view text, std::uint64_t line) {
    const std::optional<LabelForm> form = label_form(text);
    if (!form && looks_numeric(trim_blanks(text)))
        throw Error(where_en(line) + "rating " + quoted(trim_blanks(text)) + column_note_en(column_) +
                        " is outside 1 to 5 (star ratings are whole numbers from 1 to 5)",
                    where_zh(line) + "评分 " + quoted(trim_blanks(text)) + column_note_zh(column_) +
                        " 不在 1 到 5 之间（星级评分为 1 到 5 的整数）");
    if (!form)
        throw Error(where_en(line) + "unknown label " + quoted(text) + column_note_en(column_) +
                        " (expected positive or negative: positive/negative, pos/neg, 1/0, 正面/负面 or 好评/差评 "
                        "in any case, or a star rating from 1 to 5)",
                    where_zh(line) + "未知标签 " + quoted(text) + column_note_zh(column_) +
                        "（可用的标签：positive/negative、pos/neg、1/0、正面/负面、好评/差评，不分大小写；"
                        "或 1 到 5 的星级评分）");
    if (*form == LabelForm::Zero && first_zero_line_ == 0) first_zero_line_ = line;
    forms_.push_back(static_cast<std::uint8_t>(*form));
    ++counts_[static_cast<std::size_t>(*form)];
}

LabelSet LabelColumn::resolve() && {
    LabelSet set;
    LabelTally& t = set.tally;
    t.counts = counts_;
    const auto count = [&](LabelForm f) { return counts_[static_cast<std::size_t>(f)]; };
    const bool stars = count(LabelForm::Two) + count(LabelForm::Three) + count(LabelForm::Four) + count(LabelForm::Five) > 0;
    t.reading = stars ? LabelReading::Stars
                : count(LabelForm::Zero) + count(LabelForm::One) > 0 ? LabelReading::Binary
                                                                      : LabelReading::Words;
    if (stars && first_zero_line_ > 0)
        throw Error(where_en(first_zero_line_) + "rating 0" + column_note_en(column_) +
                        " in a column of star ratings (it holds ratings from 2 to 5, so its numbers are stars from "
                        "1 to 5; a column of 1 = positive, 0 = negative holds only 0 and 1)",
                    where_zh(first_zero_line_) + "评分 0" + column_note_zh(column_) +
                        " 出现在星级评分列中（该列有 2 到 5 的评分，数字即 1 到 5 星；"
                        "以 1 = 正面、0 = 负面表示的标签列只能有 0 和 1）");
    const bool all_kept = t.left_out() == 0;
    if (!all_kept) set.kept.reserve(forms_.size());
    // In place: the label of row i goes to a place at or before i.
    std::size_t to = 0;
    for (const std::uint8_t f : forms_) {
        const int cls = t.class_of(static_cast<LabelForm>(f));
        if (!all_kept) set.kept.push_back(cls >= 0);
        if (cls >= 0) forms_[to++] = static_cast<std::uint8_t>(cls);
    }
    forms_.resize(to);
    set.labels = std::move(forms_);
    return set;
}

void check_both_classes(const LabelSet& set, const std::string& file) {
    const std::uint64_t n = set.labels.size();
    if (n == 0)
        throw Error(file + ": all " + thousands(set.tally.left_out()) +
                        " labels are 3-star ratings, which are left out; training needs reviews rated 1-2 and 4-5",
                    file + "：全部 " + thousands(set.tally.left_out()) +
                        " 个标签都是 3 星，3 星评论不用；训练需要 1–2 星和 4–5 星的评论");
    const auto positives = static_cast<std::uint64_t>(std::count(set.labels.begin(), set.labels.end(), 1));
    if (positives == 0 || positives == n) {
        const std::string which = positives == 0 ? "negative" : "positive";
        const std::string which_zh = positives == 0 ? "负面" : "正面";
        throw Error(file + ": all " + std::to_string(n) + " labels are " + which +
                        "; training needs both positive and negative reviews",
                    file + "：全部 " + std::to_string(n) + " 个标签都是" + which_zh + "；训练需要正面和负面两类评论");
    }
}

std::string thousands(std::uint64_t n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

}  // namespace sentiment
