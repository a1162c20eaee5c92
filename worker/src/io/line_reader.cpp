#include "io/line_reader.h"

#include <algorithm>
#include <cstring>

#include "text/errors.h"

namespace sentiment {

namespace {
constexpr std::size_t kChunk = 1 << 18;

// Offset of the first CR or LF in [p, p + n), or n. One pass, eight bytes
// at a time: looking for LF first would scan the rest of the buffer for
// every line of a file whose lines end in CR alone.
std::size_t find_line_end(const char* p, std::size_t n) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
    const auto has_zero_byte = [](std::uint64_t v) { return ((v - kOnes) & ~v & kHigh) != 0; };
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (has_zero_byte(word ^ (kOnes * '\n')) || has_zero_byte(word ^ (kOnes * '\r'))) break;
    }
    for (; i < n; ++i)
        if (p[i] == '\n' || p[i] == '\r') return i;
    return n;
}

}  // namespace

std::unique_ptr<LineReader> LineReader::open(const std::string& path, const std::string& display_name,
                                             const std::function<void(double)>& progress,
                                             std::size_t max_line_bytes) {
    return std::make_unique<LineReader>(open_input(path, display_name), display_name, progress, max_line_bytes);
}

LineReader::LineReader(std::unique_ptr<ByteSource> source, std::string name,
                       const std::function<void(double)>& progress, std::size_t max_line_bytes)
    : name_(std::move(name)), source_(std::move(source)), max_line_(max_line_bytes), total_(source_->size()) {
    detect(progress);
}

LineReader::LineReader(std::string_view bytes, std::string name, std::size_t max_line_bytes)
    : LineReader(memory_source(bytes), std::move(name), {}, max_line_bytes) {}

LineReader::~LineReader() = default;

std::size_t LineReader::read_raw(char* dst, std::size_t want) {
    const std::size_t got = source_->read(dst, want);
    consumed_ += got;
    return got;
}

void LineReader::detect(const std::function<void(double)>& progress) {
    raw_.resize(kChunk);
    EncodingDetector detector(name_);
    for (;;) {
        std::size_t got = read_raw(raw_.data(), raw_.size());
        if (got == 0) break;
        detector.feed(std::string_view(raw_.data(), got));
        if (progress && total_ > 0) progress(double(consumed_) / double(total_));
        if (detector.settled()) break;
    }
    encoding_ = detector.result();
    decoder_ = std::make_unique<Decoder>(encoding_, name_);
    rewind();
}

void LineReader::rewind() {
    source_->rewind();
    consumed_ = 0;
    decoder_->reset();
    buffer_.clear();
    start_ = scanned_ = 0;
    eof_ = false;
    line_ = 0;
}

void LineReader::take_line(std::size_t end, std::size_t next, std::string_view& line) {
    if (end - start_ > max_line_) line_too_long();
    line = std::string_view(buffer_.data() + start_, end - start_);
    start_ = scanned_ = next;
    ++line_;
}

void LineReader::line_too_long() const {
    const bool small = max_line_ < (std::size_t{1} << 20);
    const std::string limit = small ? std::to_string(max_line_ >> 10) + " KiB" : std::to_string(max_line_ >> 20) + " MiB";
    throw Error(where_en(name_, line_ + 1) + "line too long (more than " + limit + "; is this the right file?)",
                where_zh(name_, line_ + 1) + "这一行太长（超过 " + limit + "；文件是否选错了？）");
}

bool LineReader::next(std::string_view& line) {
    for (;;) {
        const char* data = buffer_.data();
        const std::size_t at = scanned_ + find_line_end(data + scanned_, buffer_.size() - scanned_);
        if (at < buffer_.size() && data[at] == '\n') {
            take_line(at, at + 1, line);
            return true;
        }
        if (at < buffer_.size()) {
            // A CR last in the buffer may be the first half of CR LF.
            if (at + 1 < buffer_.size() || eof_) {
                take_line(at, at + 1 < buffer_.size() && data[at + 1] == '\n' ? at + 2 : at + 1, line);
                return true;
            }
            scanned_ = at;
        } else {
            scanned_ = buffer_.size();
        }
        if (eof_) {
            if (start_ >= buffer_.size()) return false;
            take_line(buffer_.size(), buffer_.size(), line);
            return true;
        }
        // Checked before reading on: a line without end cannot grow far.
        if (buffer_.size() - start_ > max_line_) line_too_long();
        buffer_.erase(0, start_);
        scanned_ -= start_;
        start_ = 0;
        std::size_t got = read_raw(raw_.data(), raw_.size());
        if (got == 0) {
            decoder_->finish();
            eof_ = true;
        } else {
            decoder_->feed(std::string_view(raw_.data(), got), buffer_);
        }
    }
}

std::vector<std::string> read_lines(std::string_view bytes, std::string_view name) {
    LineReader reader(bytes, std::string(name));
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.next(line)) lines.emplace_back(line);
    return lines;
}

}  // namespace sentiment
