#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sentiment {

enum class Encoding { Utf8, Utf8Bom, Utf16LE, Utf16BE, Gb18030 };

const char* encoding_name(Encoding e);

// Checks UTF-8 piece by piece; a sequence may be split across pieces.
// After a bad byte it resynchronises, so it can also count damage.
class Utf8Validator {
public:
    // Returns the offset of the first bad byte in this piece, or npos.
    std::size_t feed(std::string_view piece);
    bool mid_sequence() const { return need_ != 0; }
    std::uint64_t multibyte_sequences() const { return multibyte_; }
    std::uint64_t bad_bytes() const { return bad_; }

private:
    int need_ = 0;
    unsigned char lo_ = 0x80, hi_ = 0xBF;
    std::uint64_t multibyte_ = 0;
    std::uint64_t bad_ = 0;
};

// Works out the encoding of a file fed to it piece by piece: a byte-order
// mark decides at once; otherwise valid UTF-8 wins, and anything else is
// taken for GB18030 unless it looks like UTF-8 with a few broken bytes
// (decoding such a file as GB18030 would garble it without a word).
class EncodingDetector {
public:
    explicit EncodingDetector(std::string name) : name_(std::move(name)) {}
    void feed(std::string_view piece);
    bool has_bom() const { return bom_; }
    Encoding result() const;  // throws Error for broken UTF-8

private:
    std::string name_;
    std::string head_;  // first bytes, to look for a byte-order mark
    bool bom_ = false;
    Encoding bom_encoding_ = Encoding::Utf8;
    Utf8Validator validator_;
    std::uint64_t lines_before_first_bad_ = 0;
    std::uint64_t newlines_ = 0;
    bool seen_bad_ = false;
};

Encoding detect_encoding(std::string_view bytes, std::string_view name);

}  // namespace sentiment
