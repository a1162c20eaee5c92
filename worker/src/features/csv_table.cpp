#include "features/csv_table.h"

#include <algorithm>

#include "features/label_scheme.h"
#include "text/errors.h"

namespace sentiment {

bool CsvRecord::blank() const {
    for (std::size_t i = 0; i < size(); ++i)
        if (!trim_blanks((*this)[i]).empty()) return false;
    return true;
}

bool CsvReader::next(CsvRecord& record) {
    record.text_.clear();
    record.ends_.clear();
    if (!lines_.next(line_)) return false;
    record.line_ = lines_.line_number();
    pos_ = 0;
    while (read_field(record)) {
    }
    return true;
}

bool CsvReader::read_field(CsvRecord& record) {
    const std::size_t start = record.text_.size();
    if (pos_ < line_.size() && line_[pos_] == '"') {
        ++pos_;
        read_quoted(record, lines_.line_number());
    } else {
        const std::size_t end = std::min(line_.find(delimiter_, pos_), line_.size());
        record.text_.append(line_.substr(pos_, end - pos_));
        pos_ = end;
    }
    check_field(record, start, record.line_);
    record.ends_.push_back(record.text_.size());
    if (pos_ == line_.size()) return false;
    ++pos_;  // past the delimiter: another field follows
    return true;
}

// From just past an opening quote to just past its closing quote, across
// lines when the field holds line breaks.
void CsvReader::read_quoted(CsvRecord& record, std::uint64_t opened) {
    const std::size_t start = record.text_.size();
    for (;;) {
        const std::size_t quote = line_.find('"', pos_);
        if (quote == std::string_view::npos) {
            record.text_.append(line_.substr(pos_));
            record.text_ += '\n';
            check_field(record, start, opened);
            if (!lines_.next(line_))
                throw Error(where_en(name(), opened) + "a double quote opens a field here and is never closed "
                                                         "(the file ends inside it)",
                            where_zh(name(), opened) + "此行有一个双引号开始了一个字段，但直到文件末尾都没有闭合");
            pos_ = 0;
            continue;
        }
        record.text_.append(line_.substr(pos_, quote - pos_));
        pos_ = quote + 1;
        if (pos_ < line_.size() && line_[pos_] == '"') {
            record.text_ += '"';
            ++pos_;
            continue;
        }
        if (pos_ < line_.size() && line_[pos_] != delimiter_) {
            const std::string_view after = line_.substr(pos_, 12);
            throw Error(where_en(name(), lines_.line_number()) + "after the closing double quote of a field, found " +
                            quoted(after) + " where a " + delimiter_name(delimiter_) +
                            " or the end of the line belongs (a quote inside a quoted field is written twice: \"\")",
                        where_zh(name(), lines_.line_number()) + "字段的右双引号之后应为分隔符或行尾，实际为 " +
                            quoted(after) + "（带引号字段内的双引号须写两次：\"\"）");
        }
        return;
    }
}

void CsvReader::check_field(const CsvRecord& record, std::size_t start, std::uint64_t opened) const {
    if (record.text_.size() - start > kMaxFieldBytes)
        throw Error(where_en(name(), opened) + "a field starting here is longer than 1 MiB (is a double quote "
                                               "never closed?)",
                    where_zh(name(), opened) + "从此行开始的一个字段超过 1 MiB（是否有双引号没有闭合？）");
    if (record.text_.size() > kMaxRecordBytes)
        throw Error(where_en(name(), record.line_) + "a row starting here is longer than 4 MiB",
                    where_zh(name(), record.line_) + "从此行开始的一行数据超过 4 MiB");
}

char detect_delimiter(std::string_view header) {
    std::size_t tabs = 0, commas = 0, semicolons = 0;
    bool quoted_part = false;
    for (char c : header) {
        if (c == '"') quoted_part = !quoted_part;
        if (quoted_part) continue;
        tabs += c == '\t';
        commas += c == ',';
        semicolons += c == ';';
    }
    if (tabs > 0 && tabs >= commas && tabs >= semicolons) return '\t';
    if (semicolons > commas) return ';';
    return ',';
}

const char* delimiter_name(char delimiter) {
    return delimiter == '\t' ? "tab" : delimiter == ';' ? "semicolon" : "comma";
}

}  // namespace sentiment
