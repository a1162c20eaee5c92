#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace sentiment {

enum class Encoding { Utf8, Utf8Bom, Utf16LE, Utf16BE, Gb18030, Windows1252, Big5, Utf32LE, Utf32BE };

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
    // Whether the first bad byte of the last piece broke a character begun
    // in an earlier piece, whose lead byte was then not in this piece to name.
    bool lead_earlier() const { return lead_earlier_; }

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
    std::uint64_t lead_ = 0;       // where the character being read began
    std::uint64_t last_bad_ = ~std::uint64_t{0};
    bool lead_earlier_ = false;
};

// Works out the encoding of a file fed to it piece by piece. A byte-order
// mark decides, unless what follows a UTF-16 or UTF-32 mark does not read
// as text in it. Otherwise every encoding the file could be in is
// read side by side, and each reading is judged by what it gives: right
// readings give the common characters of a language, wrong ones give rare
// characters, marks with nothing to mark, letters of two alphabets inside
// one word, or symbols where letters stand. An encoding is chosen only when
// its reading is clearly right and no other is; each line must agree with
// it. Anything else is refused naming the line and the byte: a wrong guess
// would garble the text without a word.
class EncodingDetector {
public:
    explicit EncodingDetector(std::string name);
    ~EncodingDetector();
    EncodingDetector(EncodingDetector&&) noexcept;
    EncodingDetector& operator=(EncodingDetector&&) noexcept;

    void feed(std::string_view piece);
    // True once the rest of the file cannot change the result: after a
    // UTF-8 mark. A UTF-16 or UTF-32 mark still has what follows it judged.
    bool settled() const;
    Encoding result() const;  // throws Error when no encoding fits well

    struct State;

private:
    std::unique_ptr<State> state_;
};

Encoding detect_encoding(std::string_view bytes, std::string_view name);

}  // namespace sentiment
