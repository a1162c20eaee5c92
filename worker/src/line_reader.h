#pragma once
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text_decoder.h"

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

// Streams the lines of a file or byte buffer in any supported encoding as
// UTF-8, accepting LF and CR LF. A final line without a line break counts;
// a final line break does not start another line.
class LineReader : public TextSource {
public:
    // Reads the whole file once to settle its encoding before returning.
    // progress receives the fraction of the file read so far.
    static std::unique_ptr<LineReader> open(const std::string& path, const std::string& display_name,
                                            const std::function<void(double)>& progress = {});
    // The buffer must outlive the reader.
    LineReader(std::string_view bytes, std::string name);
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
    LineReader(std::string name, std::ifstream file, std::uint64_t size, const std::function<void(double)>& progress);
    std::size_t read_raw(char* dst, std::size_t want);
    void detect(const std::function<void(double)>& progress);

    std::string name_;
    std::ifstream file_;
    bool from_file_ = false;
    std::string_view memory_;
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

// Reads a whole file; throws Error if it cannot be opened or read.
std::string read_file(const std::string& path, const std::string& display_name);

}  // namespace sentiment
