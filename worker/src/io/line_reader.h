#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/byte_source.h"
#include "text/text_decoder.h"

namespace sentiment {

// A sequence of text lines that can be read again from the start; training
// makes several passes without holding every document in memory.
class TextSource {
public:
    virtual ~TextSource() = default;
    // The view stays valid until the next call.
    virtual bool next(std::string_view& line) = 0;
    virtual void rewind() = 0;
};

// No real review comes near this; a longer line is refused while it is
// read, so that a file without line breaks cannot fill the memory.
inline constexpr std::size_t kMaxLineBytes = std::size_t(1) << 20;
// A label is one word.
inline constexpr std::size_t kMaxLabelLineBytes = 1024;

// Streams the lines of a file, standard input or byte buffer in any
// supported encoding as UTF-8, accepting LF, CR LF and CR alone (old Mac and some spreadsheet
// exports). A final line without a line break counts; a final line break
// does not start another line. A line longer than max_line_bytes (decoded)
// is refused with an Error naming the file and line.
class LineReader : public TextSource {
public:
    // Reads the whole file once to settle its encoding before returning.
    // progress receives the fraction of the file read so far. "-" is
    // standard input (see open_input).
    static std::unique_ptr<LineReader> open(const std::string& path, const std::string& display_name,
                                            const std::function<void(double)>& progress = {},
                                            std::size_t max_line_bytes = kMaxLineBytes);
    LineReader(std::unique_ptr<ByteSource> source, std::string name,
               const std::function<void(double)>& progress = {}, std::size_t max_line_bytes = kMaxLineBytes);
    // The buffer must outlive the reader.
    LineReader(std::string_view bytes, std::string name, std::size_t max_line_bytes = kMaxLineBytes);
    ~LineReader() override;

    bool next(std::string_view& line) override;
    void rewind() override;

    std::uint64_t line_number() const { return line_; }
    Encoding encoding() const { return encoding_; }
    const std::string& name() const { return name_; }
    // Bytes of input consumed so far and in total, for progress.
    std::uint64_t bytes_read() const { return consumed_; }
    std::uint64_t total_bytes() const { return total_; }

private:
    std::size_t read_raw(char* dst, std::size_t want);
    void detect(const std::function<void(double)>& progress);
    void take_line(std::size_t end, std::size_t next, std::string_view& line);
    [[noreturn]] void line_too_long() const;

    std::string name_;
    std::unique_ptr<ByteSource> source_;
    std::size_t max_line_ = kMaxLineBytes;
    std::uint64_t consumed_ = 0;
    std::uint64_t total_ = 0;
    Encoding encoding_ = Encoding::Utf8;
    std::unique_ptr<Decoder> decoder_;
    std::vector<char> raw_;
    std::string buffer_;
    std::size_t start_ = 0;
    std::size_t scanned_ = 0;
    bool eof_ = false;
    std::uint64_t line_ = 0;
};

// Whole-buffer convenience for small inputs and tests.
std::vector<std::string> read_lines(std::string_view bytes, std::string_view name);

}  // namespace sentiment
