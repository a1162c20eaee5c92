#include "features/dataset.h"

#include <algorithm>

#include "features/kept_rows.h"
#include "text/errors.h"

namespace sentiment {

namespace {

bool all_blank(std::string_view s) { return trim_blanks(s).empty(); }

}  // namespace

std::optional<bool> parse_label(std::string_view text) {
    const std::optional<LabelForm> form = label_form(text);
    if (!form || *form > LabelForm::One) return std::nullopt;
    if (*form == LabelForm::Zero) return false;
    if (*form == LabelForm::One) return true;
    return *form < LabelForm::Negative;
}

void check_review_length(std::string_view line, std::string_view file, std::uint64_t line_number) {
    if (line.size() <= max_review_bytes) return;
    const std::string size = std::to_string(line.size() >> 20);
    throw Error(where_en(file, line_number) + "line too long (" + size + " MiB; at most 1 MiB per review)",
                where_zh(file, line_number) + "这一行太长（" + size + " MiB；每条评论最多 1 MiB）");
}

namespace {

// Labels, one a line, read as a column (LabelColumn). Blank lines count
// only at the very end; one among labels is an unknown label.
LabelColumn read_labels(LineReader& labels, const std::function<void(double)>& progress, double total) {
    LabelColumn column(labels.name());
    std::string_view line;
    // Counted first, so the column is sized once: on a set of many short
    // reviews the labels are most of what validation holds.
    std::size_t lines = 0;
    while (labels.next(line)) ++lines;
    labels.rewind();
    column.reserve(lines);
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
        if (blank_run > 0) column.add(blank_text, blank_start);
        column.add(line, labels.line_number());
    }
    return column;
}

struct ReviewLines {
    std::uint64_t lines = 0, last_nonempty = 0, nonempty = 0;
    std::uint64_t label_words = 0;  // reviews that are a label word alone
    // The first line with an odd number of double quotes: where a review
    // exported with a line break inside its quotes goes on to the next line.
    std::uint64_t first_odd_quotes = 0;
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
            r.label_words += label_form(line).has_value();
        }
        if (r.first_odd_quotes == 0 && std::count(line.begin(), line.end(), '"') % 2 == 1) r.first_odd_quotes = r.lines;
        if (progress && r.lines >= next_report) {
            next_report = r.lines + 4096;
            if (total > 0) progress((done + double(reviews.bytes_read())) / total);
        }
    }
    reviews.rewind();
    return r;
}

// More review lines than labels is what a line break inside a review
// makes; say where it may be, or that the files cannot tell.
Error review_without_label(const ReviewLines& r, std::uint64_t n, const std::string& rn, const std::string& ln) {
    std::string en = where_en(rn, n + 1) + "this review has no label: " + ln + " has " + std::to_string(n) +
                     " labels but " + rn + " has " + std::to_string(r.last_nonempty) +
                     " reviews; a review may hold a line break and go on over two lines";
    std::string zh = where_zh(rn, n + 1) + "这条评论没有对应的标签：" + ln + " 有 " + std::to_string(n) + " 个标签，而 " +
                     rn + " 有 " + std::to_string(r.last_nonempty) + " 条评论；可能某条评论内含换行，占了两行";
    if (r.first_odd_quotes > 0) {
        const std::string at = std::to_string(r.first_odd_quotes);
        en += ": line " + at + " is the first with an odd number of double quotes, as a quoted review cut by a "
              "line break would be";
        zh += "：第 " + at + " 行是第一处双引号个数为奇数的行，被换行截断的带引号评论正是如此";
    } else {
        en += ", but where cannot be told from the files";
        zh += "，但从文件中无法判断在哪一行";
    }
    en += " (a spreadsheet's export is read whole with --table, or by choosing it for both files)";
    zh += "（电子表格导出的文件可用 --table 读取，或在两处都选择该文件）";
    return Error(en, zh);
}

// As many labels as reviews, up to blank lines at the end of either.
void check_line_counts(const ReviewLines& r, std::uint64_t n, const std::string& rn, const std::string& ln) {
    if (r.nonempty == 0)
        throw Error(rn + ": no reviews to learn from (the file is empty)", rn + "：没有可供学习的评论（文件为空）");
    if (r.last_nonempty > n) throw review_without_label(r, n, rn, ln);
    if (r.lines < n) {
        throw Error(where_en(ln, r.lines + 1) + "this label has no review: " + ln + " has " + std::to_string(n) +
                        " labels but " + rn + " has " + std::to_string(r.lines) + " reviews",
                    where_zh(ln, r.lines + 1) + "这个标签没有对应的评论：" + ln + " 有 " + std::to_string(n) +
                        " 个标签，而 " + rn + " 只有 " + std::to_string(r.lines) + " 条评论");
    }
}

}  // namespace

LabelSet validate_dataset(LineReader& reviews, LineReader& labels, const std::function<void(double)>& progress,
                          bool require_both_classes) {
    // Both files count towards progress: a large set's labels take a while too.
    const double total = double(labels.total_bytes()) + double(reviews.total_bytes());
    LabelColumn column = read_labels(labels, progress, total);
    const ReviewLines r = scan_reviews(reviews, progress, double(labels.total_bytes()), total);
    check_line_counts(r, column.size(), reviews.name(), labels.name());
    // A model learnt from label words judges nothing: the label file was
    // most likely chosen for the reviews too.
    if (require_both_classes && r.label_words == r.nonempty)
        throw Error(reviews.name() + ": every review is a label word such as positive, negative or a star rating; "
                                     "was the label file chosen as the reviews too?",
                    reviews.name() + "：每条评论都只是 positive、negative 或星级评分这样的标签；"
                                     "是否把标签文件也选作了评论文件？");
    LabelSet set = std::move(column).resolve();
    if (require_both_classes) check_both_classes(set, labels.name());
    return set;
}

Dataset read_dataset(std::string_view reviews_bytes, std::string_view labels_bytes, std::string_view reviews_name,
                     std::string_view labels_name) {
    LineReader reviews(reviews_bytes, std::string(reviews_name));
    LineReader labels(labels_bytes, std::string(labels_name), kMaxLabelLineBytes);
    Dataset d;
    LabelSet set = validate_dataset(reviews, labels);
    KeptRows kept(reviews, set.kept);
    std::string_view line;
    while (d.reviews.size() < set.labels.size() && kept.next(line)) d.reviews.emplace_back(line);
    d.labels = std::move(set.labels);
    d.tally = set.tally;
    return d;
}

}  // namespace sentiment
