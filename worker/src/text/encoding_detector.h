#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sentiment {

enum class Encoding { Utf8, Utf8Bom, Utf16LE, Utf16BE, Gb18030, Windows1252 };

const char* encoding_name(Encoding e);

// Checks UTF-8 piece by piece; a sequence may be split across pieces.
// After a bad byte it resynchronises, so it can also count damage.
class Utf8Validator {
public:
    // Returns the offset of the first bad byte in this piece, or npos.
    std::size_t feed(std::string_view piece);
    bool mid_sequence() const { return need_ != 0; }
    std::uint64_t multibyte_sequences() const { return multibyte_; }
    // Three- and four-byte ones: Chinese in UTF-8, rare by chance in GBK.
    std::uint64_t long_sequences() const { return long_; }
    std::uint64_t bad_bytes() const { return bad_; }
    // Stretches of bad bytes: a damaged spot counts once however long it is.
    std::uint64_t bad_runs() const { return bad_runs_; }

private:
    void bad_byte(std::uint64_t at);

    int need_ = 0;
    unsigned char lo_ = 0x80, hi_ = 0xBF;
    std::uint64_t multibyte_ = 0;
    std::uint64_t long_ = 0;
    bool long_pending_ = false;
    std::uint64_t bad_ = 0;
    std::uint64_t bad_runs_ = 0;
    std::uint64_t offset_ = 0;     // bytes fed before this piece
    std::uint64_t last_bad_ = ~std::uint64_t{0};
};

// What the bytes of a file that is not UTF-8 look like in the two other
// encodings it could be in: whether GB18030's byte structure holds and how
// its double-byte characters fall, and how bytes 80-FF group, since
// Windows-1252 text has them alone between letters and Chinese has them in
// runs. Fed piece by piece.
struct ByteStatistics {
    void feed(std::string_view piece);

    std::uint64_t bytes = 0;
    std::uint64_t nul_even = 0, nul_odd = 0;     // at even / odd offsets
    // Line breaks as UTF-16 writes them, at even offsets: 0A 00 and 00 0A.
    std::uint64_t le_breaks = 0, be_breaks = 0;
    bool gb_structure_ok = true;
    // Double-byte characters with a trail byte 80-FE, except those shaped
    // like a UTF-8 two-byte character (C2-DF 80-BF), which prove nothing.
    std::uint64_t gb_high_pairs = 0;
    // Trail 40-7E, standing alone between ASCII bytes: how "don\x92t" reads;
    // Chinese characters with such a trail (many traditional ones) come among others.
    std::uint64_t gb_alone_ascii_trail = 0;
    std::uint64_t gb_joined_ascii_trail = 0;
    std::uint64_t gb_four = 0;         // four-byte characters
    std::uint64_t controls = 0;        // C0 controls other than tab and line breaks, and 7F
    std::uint64_t lone_high = 0;       // a byte 80-FF with no such neighbour, so far
    std::uint64_t high_runs = 0;       // two or more such bytes together, so far
    std::uint64_t cp1252_undefined = 0;  // 81, 8D, 8F, 90, 9D

    // The structure holds to the end, no character cut short.
    bool gb_whole() const { return gb_structure_ok && pending_size_ == 0; }
    std::uint64_t alone_ascii_trail() const { return gb_alone_ascii_trail + (alone_pending_ ? 1 : 0); }
    // The counts with a run still open at the end included.
    std::uint64_t lone() const { return lone_high + (run_ == 1); }
    std::uint64_t runs() const { return high_runs + (run_ > 1); }

private:
    void gb_byte(unsigned char c);

    unsigned char pending_[3] = {};
    int pending_size_ = 0;
    std::uint64_t run_ = 0;
    bool previous_ascii_ = true;  // the byte before (the start counts as ASCII)
    unsigned char previous_ = 0xFF;
    bool lead_after_ascii_ = false;
    bool alone_pending_ = false;  // an ASCII-trail pair waiting for the next byte
};

// Works out the encoding of a file fed to it piece by piece: a byte-order
// mark decides at once; otherwise text in UTF-16 shows by its zero bytes,
// valid UTF-8 wins, UTF-8 with a few broken bytes is refused as damaged, and
// GB18030 or Windows-1252 is chosen only when the bytes clearly look like
// it. Anything else is refused: a wrong guess would garble the text without
// a word.
class EncodingDetector {
public:
    explicit EncodingDetector(std::string name) : name_(std::move(name)) {}
    void feed(std::string_view piece);
    bool has_bom() const { return bom_; }
    Encoding result() const;  // throws Error when no encoding fits well

private:
    std::string name_;
    std::string head_;  // first bytes, to look for a byte-order mark
    bool bom_ = false;
    Encoding bom_encoding_ = Encoding::Utf8;
    Utf8Validator validator_;
    ByteStatistics stats_;
    std::uint64_t newlines_ = 0;
    // Where a refusal points: the first byte that is not UTF-8.
    std::uint64_t line_of_first_bad_ = 0;
    unsigned char first_bad_byte_ = 0;
};

Encoding detect_encoding(std::string_view bytes, std::string_view name);

}  // namespace sentiment
