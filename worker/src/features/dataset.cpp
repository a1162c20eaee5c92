#include "features/dataset.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "text/errors.h"

namespace sentiment {

namespace {

bool is_blank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
    // Also drops U+3000, the full-width space a Chinese IME types.
    for (;;) {
        if (!s.empty() && is_blank(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
        else if (s.substr(0, 3) == "\xE3\x80\x80") s.remove_prefix(3);
        // A byte-order mark inside a file: files joined end to end.
        else if (s.substr(0, 3) == "\xEF\xBB\xBF") s.remove_prefix(3);
        else break;
    }
    for (;;) {
        if (!s.empty() && is_blank(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
        else if (s.size() >= 3 && s.substr(s.size() - 3) == "\xE3\x80\x80") s.remove_suffix(3);
        else break;
    }
    return s;
}

bool all_blank(std::string_view s) { return trim(s).empty(); }

[[noreturn]] void unknown_label(const std::string& file, std::uint64_t line, std::string_view text) {
    throw Error(where_en(file, line) + "unknown label " + quoted(text) + " (expected positive or negative)",
                where_zh(file, line) + "未知标签 " + quoted(text) + "（应为 positive 或 negative）");
}

}  // namespace

std::optional<bool> parse_label(std::string_view text) {
    text = trim(text);
    if (text.size() > 16) return std::nullopt;
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static constexpr std::array<std::string_view, 5> positive = {"positive", "pos", "1", "正面", "好评"};
    static constexpr std::array<std::string_view, 5> negative = {"negative", "neg", "0", "负面", "差评"};
    if (std::find(positive.begin(), positive.end(), lower) != positive.end()) return true;
    if (std::find(negative.begin(), negative.end(), lower) != negative.end()) return false;
    return std::nullopt;
}

void check_review_length(std::string_view line, std::string_view file, std::uint64_t line_number) {
    if (line.size() <= max_review_bytes) return;
    const std::string size = std::to_string(line.size() >> 20);
    throw Error(where_en(file, line_number) + "line too long (" + size + " MiB; at most 1 MiB per review)",
                where_zh(file, line_number) + "这一行太长（" + size + " MiB；每条评论最多 1 MiB）");
}

namespace {

// Labels, one a line, into 1 (positive) and 0. Blank lines count only at
// the very end; one among labels is an unknown label.
std::vector<std::uint8_t> read_labels(LineReader& labels, const std::function<void(double)>& progress, double total) {
    const std::string& ln = labels.name();
    std::vector<std::uint8_t> result;
    std::string_view line;
    std::uint64_t blank_run = 0;  // blank label lines not yet known to be trailing
    std::uint64_t blank_start = 0;
    std::string blank_text;
    std::uint64_t next_report = 0;
    while (labels.next(line)) {
        if (progress && total > 0 && labels.line_number() >= next_report) {
            next_report = labels.line_number() + 4096;
            progress(double(labels.bytes_read()) / total);
        }
        if (all_blank(line)) {
            if (blank_run++ == 0) {
                blank_start = labels.line_number();
                blank_text.assign(line);
            }
            continue;
        }
        if (blank_run > 0) unknown_label(ln, blank_start, blank_text);
        auto label = parse_label(line);
        if (!label) unknown_label(ln, labels.line_number(), line);
        result.push_back(*label ? 1 : 0);
    }
    return result;
}

struct ReviewLines {
    std::uint64_t lines = 0, last_nonempty = 0, nonempty = 0;
    std::uint64_t label_words = 0;  // reviews that are a label word alone
};

// Reads the reviews through once, refusing any line too long, and rewinds.
ReviewLines scan_reviews(LineReader& reviews, const std::function<void(double)>& progress, double done,
                         double total) {
    ReviewLines r;
    std::string_view line;
    std::uint64_t next_report = 0;
    while (reviews.next(line)) {
        ++r.lines;
        check_review_length(line, reviews.name(), r.lines);
        if (!all_blank(line)) {
            r.last_nonempty = r.lines;
            ++r.nonempty;
            r.label_words += parse_label(line).has_value();
        }
        if (progress && r.lines >= next_report) {
            next_report = r.lines + 4096;
            if (total > 0) progress((done + double(reviews.bytes_read())) / total);
        }
    }
    reviews.rewind();
    return r;
}

// As many labels as reviews, up to blank lines at the end of either.
void check_line_counts(const ReviewLines& r, std::uint64_t n, const std::string& rn, const std::string& ln) {
    if (r.nonempty == 0)
        throw Error(rn + ": no reviews to learn from (the file is empty)", rn + "：没有可供学习的评论（文件为空）");
    if (r.last_nonempty > n) {
        throw Error(where_en(rn, n + 1) + "this review has no label: " + ln + " has " + std::to_string(n) +
                        " labels but " + rn + " has " + std::to_string(r.last_nonempty) + " reviews",
                    where_zh(rn, n + 1) + "这条评论没有对应的标签：" + ln + " 有 " + std::to_string(n) + " 个标签，而 " +
                        rn + " 有 " + std::to_string(r.last_nonempty) + " 条评论");
    }
    if (r.lines < n) {
        throw Error(where_en(ln, r.lines + 1) + "this label has no review: " + ln + " has " + std::to_string(n) +
                        " labels but " + rn + " has " + std::to_string(r.lines) + " reviews",
                    where_zh(ln, r.lines + 1) + "这个标签没有对应的评论：" + ln + " 有 " + std::to_string(n) +
                        " 个标签，而 " + rn + " 只有 " + std::to_string(r.lines) + " 条评论");
    }
}

// Something to learn: not label words for reviews, not a single class.
void check_learnable(const ReviewLines& r, const std::vector<std::uint8_t>& labels, const std::string& rn,
                     const std::string& ln) {
    // A model learnt from label words judges nothing: the label file was
    // most likely chosen for the reviews too.
    if (r.label_words == r.nonempty)
        throw Error(rn + ": every review is a label word such as positive or negative; was the label file chosen "
                         "as the reviews too?",
                    rn + "：每条评论都只是 positive、negative 这样的标签词；是否把标签文件也选作了评论文件？");
    const std::uint64_t n = labels.size();
    const auto positives = static_cast<std::uint64_t>(std::count(labels.begin(), labels.end(), 1));
    if (positives == 0 || positives == n) {
        std::string which = positives == 0 ? "negative" : "positive";
        std::string which_zh = positives == 0 ? "负面" : "正面";
        throw Error(ln + ": all " + std::to_string(n) + " labels are " + which +
                        "; training needs both positive and negative reviews",
                    ln + "：全部 " + std::to_string(n) + " 个标签都是" + which_zh + "；训练需要正面和负面两类评论");
    }
}

}  // namespace

std::vector<std::uint8_t> validate_dataset(LineReader& reviews, LineReader& labels,
                                           const std::function<void(double)>& progress, bool require_both_classes) {
    // Both files count towards progress: a large set's labels take a while too.
    const double total = double(labels.total_bytes()) + double(reviews.total_bytes());
    std::vector<std::uint8_t> result = read_labels(labels, progress, total);
    const ReviewLines r = scan_reviews(reviews, progress, double(labels.total_bytes()), total);
    check_line_counts(r, result.size(), reviews.name(), labels.name());
    if (require_both_classes) check_learnable(r, result, reviews.name(), labels.name());
    return result;
}

Dataset read_dataset(std::string_view reviews_bytes, std::string_view labels_bytes, std::string_view reviews_name,
                     std::string_view labels_name) {
    LineReader reviews(reviews_bytes, std::string(reviews_name));
    LineReader labels(labels_bytes, std::string(labels_name), kMaxLabelLineBytes);
    Dataset d;
    d.labels = validate_dataset(reviews, labels);
    std::string_view line;
    while (d.reviews.size() < d.labels.size() && reviews.next(line)) d.reviews.emplace_back(line);
    return d;
}

}  // namespace sentiment
