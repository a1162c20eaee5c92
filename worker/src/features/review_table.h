#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "features/csv_table.h"
#include "features/label_scheme.h"
#include "features/table_columns.h"
#include "io/line_reader.h"

namespace sentiment {

// What a table turned out to be: for messages and the model's record.
struct TableLayout {
    char delimiter = ',';
    Encoding encoding = Encoding::Utf8;
    std::vector<std::string> header;
    TableColumns columns;
    // CSV (comma), GBK, 4 columns; reviews: column 4 "评价" (by its name); ...
    std::string describe_en() const;
    std::string describe_zh() const;
};

// A table of reviews whose first row names the columns. Gives the data
// rows, blank ones skipped, each checked to have the header's columns; it
// is read again from the start for every pass, never held in memory.
class ReviewTable {
public:
    static std::unique_ptr<ReviewTable> open(const std::string& path, const std::string& display_name,
                                             const ColumnRequest& request, bool need_label,
                                             const std::function<void(double)>& progress = {});
    // Reads the header and the first rows to settle the delimiter and columns.
    ReviewTable(std::unique_ptr<LineReader> lines, const ColumnRequest& request, bool need_label);

    const TableLayout& layout() const { return layout_; }
    const std::string& name() const { return lines_->name(); }
    // The next data row, valid until the next call; nullptr at the end.
    const CsvRecord* next();
    // Back to the first data row.
    void rewind();
    std::string_view text(const CsvRecord& row) const { return row[layout_.columns.text.index]; }
    std::string_view label(const CsvRecord& row) const { return row[layout_.columns.label.index]; }
    // Blank rows passed over since the last rewind.
    std::uint64_t blank_rows() const { return blank_rows_; }
    std::uint64_t bytes_read() const { return lines_->bytes_read(); }
    std::uint64_t total_bytes() const { return lines_->total_bytes(); }

private:
    void read_header();
    void settle_columns(const ColumnRequest& request, bool need_label);
    void check_width(const CsvRecord& row) const;

    std::unique_ptr<LineReader> lines_;
    std::unique_ptr<CsvReader> reader_;
    CsvRecord row_;
    TableLayout layout_;
    std::uint64_t blank_rows_ = 0;
};

// The text column of each data row as one line, its line breaks as spaces,
// for the learners and for judging.
class TableTexts : public TextSource {
public:
    explicit TableTexts(ReviewTable& table) : table_(table) {}
    bool next(std::string_view& line) override;
    void rewind() override { table_.rewind(); }

private:
    ReviewTable& table_;
    std::string text_;
};

// The labels of a table's rows, read in one pass. Rows whose review text is
// blank teach nothing and are left out, and counted, like 3-star ones.
struct TableLabels {
    LabelSet set;  // kept: over the data rows
    std::uint64_t rows = 0, blank_rows = 0, without_text = 0;
};
TableLabels read_table_labels(ReviewTable& table, const std::function<void(double)>& progress = {});

}  // namespace sentiment
