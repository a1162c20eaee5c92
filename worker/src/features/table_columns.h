#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sentiment {

// What the first rows of a table show of one column.
struct ColumnProfile {
    std::uint64_t filled = 0;       // cells not blank
    std::uint64_t chars = 0;        // characters in them
    std::uint64_t wordy = 0;        // cells with a letter or a Chinese character
    std::uint64_t label_cells = 0;  // cells that are a label word or 0-5

    void add(std::string_view cell);
    double mean_chars() const { return filled ? double(chars) / double(filled) : 0.0; }
    // Every value a label or a star rating: a few distinct short values.
    bool label_like() const;
    // Free text: mostly cells with letters or characters, not labels.
    bool text_like() const;
};

// How a column was settled: given on the command line, by its header, or
// by what its cells hold.
enum class ColumnSource { Asked, Name, Content };

struct ChosenColumn {
    static constexpr std::size_t kNone = std::size_t(-1);
    std::size_t index = kNone;  // 0-based
    std::string name;           // its header cell
    ColumnSource source = ColumnSource::Content;
    bool chosen() const { return index != kNone; }
    // column 4 "评价" (by its name)
    std::string describe_en() const;
    std::string describe_zh() const;
};

// --text-column and --label-column: a header name or a 1-based number;
// empty to let the table tell.
struct ColumnRequest {
    std::string text, label;
};

struct TableColumns {
    ChosenColumn text, label;  // label not chosen when it is not needed
};

// Picks the column of reviews (and, with need_label, of labels) by the
// request, else by header names (评价, 内容, 评论, review, text, comment...;
// 评分, 星级, rating, stars, label...), else by content (the longest free
// text; the one column of labels or ratings 1-5). An ambiguous choice is
// refused with the candidates listed, as is a request naming no column.
TableColumns choose_columns(const std::vector<std::string>& header, const std::vector<ColumnProfile>& profiles,
                            const ColumnRequest& request, bool need_label, const std::string& file);

}  // namespace sentiment
