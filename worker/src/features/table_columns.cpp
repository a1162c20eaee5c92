#include "features/table_columns.h"

#include <algorithm>
#include <cstdio>
#include <functional>

#include "features/label_scheme.h"
#include "text/errors.h"
#include "text/utf8.h"

namespace sentiment {

namespace {

// Header names, compared lower-case without spaces, '_' and '-'.
const std::vector<std::string_view> kTextNames = {
    "评价", "评价内容", "内容", "评论", "评论内容", "点评", "点评内容", "文本", "正文", "留言", "评语", "买家评价",
    "用户评价", "商品评价", "review", "reviews", "reviewtext", "text", "comment", "comments", "content", "body",
    "reviewbody"};
const std::vector<std::string_view> kLabelNames = {
    "评分", "星级", "评星", "星数", "打分", "分数", "得分", "评价星级", "商品评分", "标签", "情感", "情感倾向", "极性",
    "rating", "ratings", "stars", "star", "starrating", "score", "label", "labels", "sentiment", "polarity", "class"};

// A role a column can play, and how to tell a column fit for it.
struct Role {
    const char* en;
    const char* zh;
    const char* option;
    const char* examples_en;  // names the user may give the column
    const char* examples_zh;
    const std::vector<std::string_view>& names;
    std::function<bool(const ColumnProfile&)> fits;
};

const Role kReviews{"reviews", "评论", "--text-column", "评价 or review", "评价 或 review", kTextNames,
                    [](const ColumnProfile& p) { return p.text_like(); }};
const Role kLabels{"labels", "标签", "--label-column", "评分 or rating", "评分 或 rating", kLabelNames,
                   [](const ColumnProfile& p) { return p.label_like(); }};

std::string normal_name(std::string_view s) {
    std::string out;
    for (char c : trim_blanks(s)) {
        if (c == ' ' || c == '_' || c == '-') continue;
        out += c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    }
    return out;
}

enum class Match { None, Contains, Exact };

// Exact, or a header holding a Chinese name (商品评价内容 holds 评价内容);
// English names only match whole, as "text" sits inside "context".
Match name_match(std::string_view header, const std::vector<std::string_view>& names) {
    const std::string h = normal_name(header);
    if (std::find(names.begin(), names.end(), h) != names.end()) return Match::Exact;
    for (std::string_view n : names)
        if (static_cast<unsigned char>(n[0]) >= 0x80 && h.find(n) != std::string::npos) return Match::Contains;
    return Match::None;
}

std::string number_text(double x) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", x);
    return buf;
}

std::string list_columns(const std::vector<std::size_t>& columns, const std::vector<std::string>& header,
                         const std::vector<ColumnProfile>& profiles, bool zh) {
    std::string out;
    const std::size_t shown = std::min<std::size_t>(columns.size(), 12);
    for (std::size_t k = 0; k < shown; ++k) {
        const std::size_t c = columns[k];
        const std::string mean = number_text(profiles[c].mean_chars());
        out += k == 0 ? "" : zh ? "、" : ", ";
        out += zh ? "第 " + std::to_string(c + 1) + " 列 " + quoted(header[c]) + "（平均 " + mean + " 个字符）"
                  : "column " + std::to_string(c + 1) + " " + quoted(header[c]) + " (" + mean +
                        " characters on average)";
    }
    if (shown < columns.size()) out += zh ? "……" : ", ...";
    return out;
}

std::vector<std::size_t> all_but(std::size_t columns, std::size_t excluded) {
    std::vector<std::size_t> out;
    for (std::size_t c = 0; c < columns; ++c)
        if (c != excluded) out.push_back(c);
    return out;
}

struct Table {
    const std::vector<std::string>& header;
    const std::vector<ColumnProfile>& profiles;
    const std::string& file;
};

[[noreturn]] void refuse(const Role& role, const Table& t, const std::vector<std::size_t>& candidates, bool ambiguous) {
    const std::string hint_en = std::string("; name it with ") + role.option +
                                " (a header name or a column number), or head it with a name such as " + role.examples_en;
    const std::string hint_zh = std::string("；请用 ") + role.option + " 指定（列名或列号），或将该列标题改为 " +
                                role.examples_zh + " 这类名称";
    if (ambiguous)
        throw Error(t.file + ": cannot tell which column holds the " + role.en + ": " +
                        list_columns(candidates, t.header, t.profiles, false) + hint_en,
                    t.file + "：无法确定哪一列是" + role.zh + "：" + list_columns(candidates, t.header, t.profiles, true) +
                        hint_zh);
    throw Error(t.file + ": no column of " + role.en + " found among " +
                    list_columns(candidates, t.header, t.profiles, false) + hint_en,
                t.file + "：在这些列中找不到" + role.zh + "列：" + list_columns(candidates, t.header, t.profiles, true) +
                    hint_zh);
}

ChosenColumn chosen(const Table& t, std::size_t index, ColumnSource source) {
    return ChosenColumn{index, t.header[index], source};
}

// By header name: an exact name, else a Chinese name inside a header whose
// cells fit the role; several equally good are refused.
ChosenColumn by_name(const Role& role, const Table& t, std::size_t excluded) {
    std::vector<std::size_t> exact, contains;
    for (std::size_t c : all_but(t.header.size(), excluded)) {
        const Match m = name_match(t.header[c], role.names);
        if (m == Match::Exact) exact.push_back(c);
        if (m == Match::Contains && role.fits(t.profiles[c])) contains.push_back(c);
    }
    if (exact.size() > 1) {
        std::vector<std::size_t> fitting;
        std::copy_if(exact.begin(), exact.end(), std::back_inserter(fitting),
                     [&](std::size_t c) { return role.fits(t.profiles[c]); });
        if (fitting.size() != 1) refuse(role, t, exact, true);
        exact = fitting;
    }
    if (exact.size() == 1) return chosen(t, exact[0], ColumnSource::Name);
    if (contains.size() > 1) refuse(role, t, contains, true);
    if (contains.size() == 1) return chosen(t, contains[0], ColumnSource::Name);
    return {};
}

// The one column of labels by content.
ChosenColumn labels_by_content(const Table& t, std::size_t excluded) {
    std::vector<std::size_t> fitting;
    for (std::size_t c : all_but(t.header.size(), excluded))
        if (t.profiles[c].label_like()) fitting.push_back(c);
    if (fitting.size() != 1) refuse(kLabels, t, fitting.empty() ? all_but(t.header.size(), excluded) : fitting, !fitting.empty());
    return chosen(t, fitting[0], ColumnSource::Content);
}

// The longest free text by content, if clearly the longest.
ChosenColumn text_by_content(const Table& t, std::size_t excluded) {
    std::vector<std::size_t> fitting;
    for (std::size_t c : all_but(t.header.size(), excluded))
        if (t.profiles[c].text_like()) fitting.push_back(c);
    if (fitting.empty()) refuse(kReviews, t, all_but(t.header.size(), excluded), false);
    std::stable_sort(fitting.begin(), fitting.end(), [&](std::size_t a, std::size_t b) {
        return t.profiles[a].mean_chars() > t.profiles[b].mean_chars();
    });
    const double longest = t.profiles[fitting[0]].mean_chars();
    // Reviews run longer than a product name or a remark; columns close in
    // length could be either.
    std::vector<std::size_t> close;
    for (std::size_t c : fitting)
        if (t.profiles[c].mean_chars() >= 0.8 * longest) close.push_back(c);
    if (close.size() > 1) refuse(kReviews, t, close, true);
    return chosen(t, fitting[0], ColumnSource::Content);
}

// --text-column / --label-column: a 1-based number, else a header name.
ChosenColumn asked(const Role& role, const Table& t, const std::string& request) {
    const bool number = request.find_first_not_of("0123456789") == std::string::npos && request.size() < 9;
    if (number) {
        const std::size_t n = std::stoul(request);
        if (n >= 1 && n <= t.header.size()) return chosen(t, n - 1, ColumnSource::Asked);
        throw Error(t.file + ": " + role.option + " " + request + ", but the table has columns 1 to " +
                        std::to_string(t.header.size()),
                    t.file + "：" + role.option + " " + request + "，但表格只有第 1 到 " +
                        std::to_string(t.header.size()) + " 列");
    }
    std::vector<std::size_t> same;
    for (std::size_t c = 0; c < t.header.size(); ++c)
        if (trim_blanks(t.header[c]) == trim_blanks(request)) same.push_back(c);
    if (same.size() == 1) return chosen(t, same[0], ColumnSource::Asked);
    const std::vector<std::size_t> candidates = same.empty() ? all_but(t.header.size(), ChosenColumn::kNone) : same;
    throw Error(t.file + ": " + role.option + " " + quoted(request) + (same.empty() ? " names no column" : " names several columns") +
                    "; the columns: " + list_columns(candidates, t.header, t.profiles, false),
                t.file + "：" + role.option + " " + quoted(request) + (same.empty() ? " 不是任何一列的标题" : " 对应多个列") +
                    "；各列为：" + list_columns(candidates, t.header, t.profiles, true));
}

}  // namespace

void ColumnProfile::add(std::string_view cell) {
    cell = trim_blanks(cell);
    if (cell.empty()) return;
    ++filled;
    bool has_word = false;
    for (std::size_t i = 0; i < cell.size();) {
        const auto byte = static_cast<unsigned char>(cell[i]);
        has_word |= byte >= 0x80 || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
        next_code_point(cell, i);
        ++chars;
    }
    wordy += has_word;
    label_cells += label_form(cell).has_value();
}

bool ColumnProfile::label_like() const { return filled > 0 && label_cells == filled; }

bool ColumnProfile::text_like() const { return filled > 0 && !label_like() && wordy * 2 > filled; }

std::string ChosenColumn::describe_en() const {
    static const char* how[] = {"as asked", "by its name", "by its content"};
    return "column " + std::to_string(index + 1) + " " + quoted(name) + " (" + how[int(source)] + ")";
}

std::string ChosenColumn::describe_zh() const {
    static const char* how[] = {"按指定", "按列名", "按内容"};
    return "第 " + std::to_string(index + 1) + " 列 " + quoted(name) + "（" + how[int(source)] + "）";
}

TableColumns choose_columns(const std::vector<std::string>& header, const std::vector<ColumnProfile>& profiles,
                            const ColumnRequest& request, bool need_label, const std::string& file) {
    const Table t{header, profiles, file};
    TableColumns out;
    if (!request.text.empty()) out.text = asked(kReviews, t, request.text);
    if (need_label && !request.label.empty()) out.label = asked(kLabels, t, request.label);
    if (need_label && !out.label.chosen()) out.label = by_name(kLabels, t, out.text.index);
    if (!out.text.chosen()) out.text = by_name(kReviews, t, out.label.index);
    if (need_label && !out.label.chosen()) out.label = labels_by_content(t, out.text.index);
    if (!out.text.chosen()) out.text = text_by_content(t, out.label.index);
    if (out.text.index == out.label.index)
        throw Error(file + ": the reviews and the labels cannot both be " + out.text.describe_en(),
                    file + "：评论和标签不能是同一列：" + out.text.describe_zh());
    return out;
}

}  // namespace sentiment
