#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "features/label_scheme.h"
#include "features/review_table.h"
#include "io/line_reader.h"

namespace sentiment {

// Where a train or eval run reads labelled reviews: a reviews file and a
// labels file, or one table holding both.
struct LabelledFiles {
    std::string reviews = "reviews.txt";
    std::string labels = "labels.txt";
    std::string table;      // when set, the reviews and labels come from it
    ColumnRequest columns;  // of the table
    bool pair_is_table = false;  // the table is the reviews and labels files (pair_as_table)
};

// The same table chosen as both files, as the window stages it when the
// user picks one spreadsheet export twice: the two files hold the very same
// bytes. Returns the files to read then (the table), else `files` as given.
// Throws the refusal of one file chosen for both when that file is not a
// table with a header row naming its columns.
LabelledFiles pair_as_table(const LabelledFiles& files);

// What the reading found, for the caller to tell.
struct InputSummary {
    std::optional<TableLayout> table;  // when read as a table
    bool pair_was_table = false;       // the reviews and labels files were one table
    std::uint64_t rows = 0, blank_rows = 0, without_text = 0;
};

// Labelled reviews, checked before any work is done: the reviews kept
// (3-star ones and, in tables, rows without text left out) in order, their
// labels, and how the labels were read. The reviews are read again from
// the file on every pass.
class LabelledInput {
public:
    // progress receives the fraction of the checking read.
    static std::unique_ptr<LabelledInput> open(const LabelledFiles& files, bool require_both_classes,
                                               const std::function<void(double)>& progress = {});
    ~LabelledInput();

    TextSource& reviews() { return *kept_; }
    const LabelSet& labels() const { return set_; }
    const InputSummary& summary() const { return summary_; }

private:
    LabelledInput() = default;
    void open_pair(const LabelledFiles& files, bool require_both_classes, const std::function<void(double)>& progress);
    void open_table(const LabelledFiles& files, bool require_both_classes, const std::function<void(double)>& progress);

    std::unique_ptr<LineReader> lines_;
    std::unique_ptr<ReviewTable> table_;
    std::unique_ptr<TextSource> texts_;
    std::unique_ptr<TextSource> kept_;
    LabelSet set_;
    InputSummary summary_;
};

// The lines a test run judges: a text file's lines, or a table's texts,
// one a row.
struct LinesToJudge {
    std::unique_ptr<LineReader> lines;
    std::unique_ptr<ReviewTable> table;
    std::unique_ptr<TextSource> texts;
    TextSource& source() { return texts ? *texts : *lines; }
};
LinesToJudge open_lines_to_judge(const std::string& input, const std::string& table, const ColumnRequest& columns);

}  // namespace sentiment
