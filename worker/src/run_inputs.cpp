#include "run_inputs.h"

#include <filesystem>
#include <fstream>

#include "features/dataset.h"
#include "features/kept_rows.h"
#include "io/standard_streams.h"
#include "text/errors.h"

namespace sentiment {

namespace {

namespace fs = std::filesystem;

// Whether two regular files hold the same bytes; false for empty ones,
// which are refused as empty anyway.
bool same_bytes(const std::string& a, const std::string& b) {
    std::error_code ec;
    const fs::path pa = fs::u8path(a), pb = fs::u8path(b);
    if (!fs::is_regular_file(pa, ec) || !fs::is_regular_file(pb, ec)) return false;
    const auto size = fs::file_size(pa, ec);
    if (ec || size == 0 || fs::file_size(pb, ec) != size || ec) return false;
    std::ifstream fa(pa, std::ios::binary), fb(pb, std::ios::binary);
    std::vector<char> ba(1 << 16), bb(1 << 16);
    while (fa && fb) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount() || !std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin())) return false;
    }
    return fa.eof() && fb.eof();
}

[[noreturn]] void one_file_for_both(const LabelledFiles& files, const Error& why) {
    std::error_code ec;
    const bool same = fs::equivalent(fs::u8path(files.reviews), fs::u8path(files.labels), ec);
    throw Error(files.reviews + " and " + files.labels + (same ? " are the same file" : " hold the same content") +
                    "; each needs a file of its own (was one file chosen for both?). A table whose first row names a "
                    "review column and a label or rating column may be chosen for both, but this is not one: " +
                    why.english(),
                files.reviews + " 与 " + files.labels + (same ? " 是同一个文件" : " 内容完全相同") +
                    "；二者需要各自的文件（是否同一个文件选了两次？）。首行为列名、含评论列和标签或评分列的表格"
                    "可以两处都选，但这个文件不是：" + why.chinese());
}

}  // namespace

LabelledFiles pair_as_table(const LabelledFiles& files) {
    if (!files.table.empty() || !same_bytes(files.reviews, files.labels)) return files;
    LabelledFiles table = files;
    table.table = files.reviews;
    table.pair_is_table = true;
    return table;
}

LabelledInput::~LabelledInput() = default;

std::unique_ptr<LabelledInput> LabelledInput::open(const LabelledFiles& files, bool require_both_classes,
                                                   const std::function<void(double)>& progress) {
    std::unique_ptr<LabelledInput> input(new LabelledInput);
    if (files.table.empty())
        input->open_pair(files, require_both_classes, progress);
    else
        input->open_table(files, require_both_classes, progress);
    return input;
}

void LabelledInput::open_pair(const LabelledFiles& files, bool require_both_classes,
                              const std::function<void(double)>& progress) {
    // Reading the reviews twice (encoding, then checks) is half the work.
    const auto part = [&](double from, double share) {
        return [=, &progress](double f) {
            if (progress) progress(from + share * f);
        };
    };
    lines_ = LineReader::open(files.reviews, input_display_name(files.reviews), part(0, 0.5));
    auto labels = LineReader::open(files.labels, input_display_name(files.labels), {}, kMaxLabelLineBytes);
    set_ = validate_dataset(*lines_, *labels, part(0.5, 0.5), require_both_classes);
    summary_.rows = set_.kept.empty() ? set_.labels.size() : set_.kept.size();
    kept_ = std::make_unique<KeptRows>(*lines_, set_.kept);
}

void LabelledInput::open_table(const LabelledFiles& files, bool require_both_classes,
                               const std::function<void(double)>& progress) {
    const bool pair = files.pair_is_table;
    try {
        table_ = ReviewTable::open(files.table, input_display_name(files.table), files.columns, true, [&](double f) {
            if (progress) progress(0.5 * f);
        });
    } catch (const Error& e) {
        // Settling the header and columns is where a file that is no table
        // shows it; a table found faulty there is named with its fault.
        if (pair) one_file_for_both(files, e);
        throw;
    }
    TableLabels read = read_table_labels(*table_, [&](double f) {
        if (progress) progress(0.5 + 0.5 * f);
    });
    if (require_both_classes) check_both_classes(read.set, files.table);
    set_ = std::move(read.set);
    summary_.table = table_->layout();
    summary_.pair_was_table = pair;
    summary_.rows = read.rows;
    summary_.blank_rows = read.blank_rows;
    summary_.without_text = read.without_text;
    texts_ = std::make_unique<TableTexts>(*table_);
    kept_ = std::make_unique<KeptRows>(*texts_, set_.kept);
}

LinesToJudge open_lines_to_judge(const std::string& input, const std::string& table, const ColumnRequest& columns) {
    LinesToJudge judged;
    if (table.empty()) {
        judged.lines = LineReader::open(input, input_display_name(input));
    } else {
        judged.table = ReviewTable::open(table, input_display_name(table), columns, false);
        judged.texts = std::make_unique<TableTexts>(*judged.table);
    }
    return judged;
}

}  // namespace sentiment
