#include "features/label_direction.h"

#include <cstdio>

#include "features/hashed_features.h"

namespace sentiment {

const std::vector<PolarWord>& polar_words() {
    static const std::vector<PolarWord> words = {
        {"great", true},     {"excellent", true}, {"wonderful", true}, {"amazing", true},   {"perfect", true},
        {"delicious", true}, {"love", true},      {"best", true},      {"好吃", true},      {"喜欢", true},
        {"喜歡", true},      {"棒", true},        {"满意", true},      {"滿意", true},      {"赞", true},
        {"贊", true},        {"推荐", true},      {"推薦", true},      {"完美", true},      {"bad", false},
        {"terrible", false}, {"awful", false},    {"horrible", false}, {"worst", false},    {"boring", false},
        {"waste", false},    {"disappointing", false}, {"垃圾", false}, {"失望", false},    {"难吃", false},
        {"難吃", false},     {"恶心", false},     {"噁心", false},     {"糟糕", false},     {"差劲", false},
        {"差勁", false},     {"退款", false}};
    return words;
}

namespace {

bool latin_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Latin words match whole and in any case ("Great!", not "greatly");
// Chinese ones anywhere, as Chinese has no spaces between words.
bool holds(std::string_view lowered, std::string_view word) {
    const bool latin = latin_letter(word.front());
    for (std::size_t at = lowered.find(word); at != std::string_view::npos; at = lowered.find(word, at + 1)) {
        if (!latin) return true;
        const std::size_t end = at + word.size();
        if ((at == 0 || !latin_letter(lowered[at - 1])) && (end == lowered.size() || !latin_letter(lowered[end])))
            return true;
    }
    return false;
}

std::string example(const PolarWord& w, double weight) {
    char buf[96];
    std::snprintf(buf, sizeof buf, " → %s (%+.2f)", weight > 0 ? "好评 positive" : "差评 negative", weight);
    return std::string(w.word) + buf;
}

}  // namespace

std::vector<std::uint64_t> count_polar_words(TextSource& reviews) {
    const std::vector<PolarWord>& words = polar_words();
    std::vector<std::uint64_t> counts(words.size(), 0);
    std::string lowered;
    std::string_view line;
    reviews.rewind();
    while (reviews.next(line)) {
        lowered.assign(line);
        for (char& c : lowered) c = lower_ascii(c);
        for (std::size_t i = 0; i < words.size(); ++i) counts[i] += holds(lowered, words[i].word);
    }
    reviews.rewind();
    return counts;
}

LabelDirection judge_label_direction(const Model& model, const std::vector<std::uint64_t>& counts) {
    const std::vector<PolarWord>& words = polar_words();
    FeatureExtractor fx(model.features);
    std::vector<std::uint32_t> ids;
    LabelDirection d;
    for (std::size_t i = 0; i < words.size() && i < counts.size(); ++i) {
        if (counts[i] < kPolarEvidence) continue;
        fx.extract(words[i].word, ids);
        const double weight = model.score(ids) - model.bias;
        if (weight == 0) continue;  // hashed to nothing the model learnt
        ++d.found;
        if ((weight > 0) == words[i].positive) continue;
        ++d.wrong;
        if (d.examples.size() < 4) d.examples.push_back(example(words[i], weight));
    }
    using V = LabelDirection::Verdict;
    d.verdict = d.found < 3 ? V::TooFewWords : 4 * d.wrong >= 3 * d.found ? V::MayBeInverted
              : 4 * d.wrong <= d.found ? V::Agrees : V::Unclear;
    return d;
}

namespace {

std::string joined(const std::vector<std::string>& items) {
    std::string s;
    for (const std::string& item : items) s += (s.empty() ? "" : ", ") + item;
    return s;
}

}  // namespace

std::string LabelDirection::describe_en() const {
    const std::string of = std::to_string(wrong) + " of " + std::to_string(found);
    switch (verdict) {
    case Verdict::MayBeInverted:
        return "the labels may be inverted: " + of + " unmistakable words in the reviews point the wrong way (" +
               joined(examples) + "); if the labels mean the opposite (1 = a bad review, say), swap them and train again";
    case Verdict::Agrees:
        return "the labels point the right way (" + of + " unmistakable words in the reviews point the wrong way)";
    case Verdict::Unclear:
        return "unclear: " + of + " unmistakable words in the reviews point the wrong way (" + joined(examples) + ")";
    case Verdict::TooFewWords:
        break;
    }
    return "not checked: only " + std::to_string(found) + " of the unmistakable words occur in " +
           std::to_string(kPolarEvidence) + " or more reviews";
}

std::string LabelDirection::describe_zh() const {
    const std::string of = std::to_string(found) + " 个明确的褒贬词中有 " + std::to_string(wrong) + " 个";
    switch (verdict) {
    case Verdict::MayBeInverted:
        return "标签可能正负颠倒：评论中 " + of + "被判为相反的倾向（" + joined(examples) +
               "）；若标签的含义相反（例如 1 表示差评），请对调后重新训练";
    case Verdict::Agrees:
        return "标签方向正确（评论中 " + of + "被判为相反的倾向）";
    case Verdict::Unclear:
        return "无法判断：评论中 " + of + "被判为相反的倾向（" + joined(examples) + "）";
    case Verdict::TooFewWords:
        break;
    }
    return "未检查：明确的褒贬词中只有 " + std::to_string(found) + " 个在 " + std::to_string(kPolarEvidence) +
           " 条以上的评论中出现";
}

}  // namespace sentiment
