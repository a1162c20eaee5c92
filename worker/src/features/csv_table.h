#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "io/line_reader.h"

namespace sentiment {

// One record of a table: its fields, in one buffer reused from record to
// record.
class CsvRecord {
public:
    std::size_t size() const { return ends_.size(); }
    std::string_view operator[](std::size_t i) const {
        const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(text_).substr(begin, ends_[i] - begin);
    }
    // The line of the file the record starts on, 1-based.
    std::uint64_t line() const { return line_; }
    // Every field empty or blank: a row a spreadsheet leaves between others.
    bool blank() const;

private:
    friend class CsvReader;
    std::string text_;
    std::vector<std::size_t> ends_;
    std::uint64_t line_ = 0;
};

// A field longer than a review may be is refused, as a line of a plain file is.
inline constexpr std::size_t kMaxFieldBytes = std::size_t(1) << 20;
// All fields of one record together.
inline constexpr std::size_t kMaxRecordBytes = std::size_t(4) << 20;

// Reads the records of a CSV or TSV file as RFC 4180 has them: fields
// separated by the delimiter; a field in double quotes may hold the
// delimiter, line breaks (read as "\n") and doubled quotes standing for
// one; quotes inside an unquoted field are plain characters. The text comes
// decoded from a LineReader, so a table is read in every encoding and with
// every line end a plain file is. Errors name the file and line: an unclosed
// quote at the end of the file names the line where it opened.
class CsvReader {
public:
    CsvReader(LineReader& lines, char delimiter) : lines_(lines), delimiter_(delimiter) {}
    bool next(CsvRecord& record);
    void rewind() { lines_.rewind(); }
    const std::string& name() const { return lines_.name(); }
    char delimiter() const { return delimiter_; }
    LineReader& lines() { return lines_; }

private:
    // Reads one field from line_ at pos_, which ends up past its delimiter;
    // whether another field follows.
    bool read_field(CsvRecord& record);
    void read_quoted(CsvRecord& record, std::uint64_t opened);
    void check_field(const CsvRecord& record, std::size_t start, std::uint64_t opened) const;

    LineReader& lines_;
    char delimiter_;
    std::string_view line_;
    std::size_t pos_ = 0;
};

// The delimiter of a table whose first line is `header`: the most frequent
// of tab, comma and semicolon outside double quotes (a tie goes to the one
// named first); a comma when there is none, for a table of one column.
char detect_delimiter(std::string_view header);

// "tab", "comma", "semicolon" for messages.
const char* delimiter_name(char delimiter);

}  // namespace sentiment
