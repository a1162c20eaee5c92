#include "features/review_table.h"

#include <algorithm>

#include "text/errors.h"

namespace sentiment {

namespace {

// Rows whose cells decide the columns: enough to see what each holds.
constexpr std::size_t kSampleRows = 2000;
constexpr std::size_t kMaxColumns = 4096;

std::string kind_of(char delimiter) { return delimiter == '\t' ? "TSV (tab)" : std::string("CSV (") + delimiter_name(delimiter) + ")"; }

}  // namespace

std::string TableLayout::describe_en() const {
    std::string s = kind_of(delimiter) + ", " + encoding_name(encoding) + ", " + std::to_string(header.size()) +
                    " columns; reviews: " + columns.text.describe_en();
    if (columns.label.chosen()) s += "; labels: " + columns.label.describe_en();
    return s;
}

std::string TableLayout::describe_zh() const {
    std::string s = kind_of(delimiter) + "，" + encoding_name(encoding) + "，" + std::to_string(header.size()) +
                    " 列；评论：" + columns.text.describe_zh();
    if (columns.label.chosen()) s += "；标签：" + columns.label.describe_zh();
    return s;
}

std::unique_ptr<ReviewTable> ReviewTable::open(const std::string& path, const std::string& display_name,
                                               const ColumnRequest& request, bool need_label,
                                               const std::function<void(double)>& progress) {
    return std::make_unique<ReviewTable>(LineReader::open(path, display_name, progress), request, need_label);
}

ReviewTable::ReviewTable(std::unique_ptr<LineReader> lines, const ColumnRequest& request, bool need_label)
    : lines_(std::move(lines)) {
    layout_.encoding = lines_->encoding();
    read_header();
    settle_columns(request, need_label);
    rewind();
}

void ReviewTable::read_header() {
    std::string_view first;
    if (!lines_->next(first) || trim_blanks(first).empty())
        throw Error(where_en(name(), 1) + "a table starts with a header row naming its columns; this line is " +
                        (lines_->line_number() == 0 ? "missing (the file is empty)" : "blank"),
                    where_zh(name(), 1) + "表格的第一行应为列名；此行" +
                        (lines_->line_number() == 0 ? "不存在（文件为空）" : "为空"));
    layout_.delimiter = detect_delimiter(first);
    lines_->rewind();
    reader_ = std::make_unique<CsvReader>(*lines_, layout_.delimiter);
    reader_->next(row_);
    if (row_.size() > kMaxColumns)
        throw Error(where_en(name(), 1) + "more than " + std::to_string(kMaxColumns) + " columns; is this a table?",
                    where_zh(name(), 1) + "超过 " + std::to_string(kMaxColumns) + " 列；这是表格吗？");
    for (std::size_t i = 0; i < row_.size(); ++i) layout_.header.emplace_back(row_[i]);
}

void ReviewTable::settle_columns(const ColumnRequest& request, bool need_label) {
    if (need_label && layout_.header.size() < 2)
        throw Error(where_en(name(), 1) + "a table of reviews and labels needs a header row naming at least two "
                                                    "columns; this line has no tab, comma or semicolon between names",
                              where_zh(name(), 1) + "含评论和标签的表格，标题行至少要有两个列名；此行没有用制表符、逗号"
                                                    "或分号分隔的列名");
    std::vector<ColumnProfile> profiles(layout_.header.size());
    for (std::size_t n = 0; n < kSampleRows;) {
        const CsvRecord* row = next();
        if (!row) break;
        for (std::size_t c = 0; c < profiles.size(); ++c) profiles[c].add((*row)[c]);
        ++n;
    }
    layout_.columns = choose_columns(layout_.header, profiles, request, need_label, name());
    const ChosenColumn& label = layout_.columns.label;
    // A header found by content could be a first row of data; its label
    // cell then reads as a label.
    if (label.chosen() && label.source == ColumnSource::Content && label_form(label.name))
        throw Error(where_en(name(), 1) + "the first row should name the columns, but it reads as data (its label cell is " +
                        quoted(label.name) + "); add a header row such as 评价,评分 or review,rating",
                    where_zh(name(), 1) + "第一行应为列名，但它像是数据（标签列为 " + quoted(label.name) +
                        "）；请加上标题行，例如 评价,评分 或 review,rating");
}

void ReviewTable::rewind() {
    reader_->rewind();
    reader_->next(row_);  // the header
    blank_rows_ = 0;
}

const CsvRecord* ReviewTable::next() {
    while (reader_->next(row_)) {
        if (row_.blank()) {
            ++blank_rows_;
            continue;
        }
        check_width(row_);
        return &row_;
    }
    return nullptr;
}

// Every row as wide as the header: a comma or line break outside quotes
// would otherwise shift the label of that row, or of every later one.
void ReviewTable::check_width(const CsvRecord& row) const {
    const std::size_t width = layout_.header.size();
    bool extra = false;
    for (std::size_t c = width; c < row.size() && !extra; ++c) extra = !trim_blanks(row[c]).empty();
    if (row.size() >= width && !extra) return;
    const std::string got = std::to_string(row.size()), want = std::to_string(width);
    throw Error(where_en(name(), row.line()) + "this row has " + got + " fields where the header has " + want +
                    " (is a " + delimiter_name(layout_.delimiter) + " or a line break in a review not inside double quotes?)",
                where_zh(name(), row.line()) + "此行有 " + got + " 个字段，而标题行有 " + want +
                    " 个（评论中的分隔符或换行是否没有用双引号括起来？）");
}

bool TableTexts::next(std::string_view& line) {
    const CsvRecord* row = table_.next();
    if (!row) return false;
    text_.assign(table_.text(*row));
    std::replace(text_.begin(), text_.end(), '\n', ' ');
    line = text_;
    return true;
}

TableLabels read_table_labels(ReviewTable& table, const std::function<void(double)>& progress) {
    TableLabels out;
    LabelColumn column(table.name(), table.layout().columns.label.name);
    std::vector<bool> has_text;
    table.rewind();
    while (const CsvRecord* row = table.next()) {
        const bool text = !trim_blanks(table.text(*row)).empty();
        has_text.push_back(text);
        if (text) column.add(table.label(*row), row->line());
        if (progress && (++out.rows & 4095) == 0 && table.total_bytes() > 0)
            progress(double(table.bytes_read()) / double(table.total_bytes()));
    }
    out.rows = has_text.size();
    out.blank_rows = table.blank_rows();
    out.without_text = static_cast<std::uint64_t>(std::count(has_text.begin(), has_text.end(), false));
    table.rewind();
    if (out.rows == 0)
        throw Error(table.name() + ": the table has no rows below its header", table.name() + "：表格在标题行之下没有数据");
    out.set = std::move(column).resolve();
    if (out.without_text == 0) return out;
    // Kept over the data rows: those with text, as far as their labels keep them.
    std::vector<bool> kept(out.rows, false);
    for (std::size_t r = 0, k = 0; r < out.rows; ++r)
        if (has_text[r]) kept[r] = out.set.kept.empty() || out.set.kept[k++];
    out.set.kept = std::move(kept);
    return out;
}

}  // namespace sentiment
