#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/encoding_detector.h"
#include "text/line_breaks.h"

namespace sentiment {

// Turns bytes in a known encoding into UTF-8 without a byte-order mark.
// Pieces may split characters anywhere. Throws Error naming the file and
// line at the first byte sequence that is invalid in that encoding.
class Decoder {
public:
    Decoder(Encoding encoding, std::string name);

    void feed(std::string_view piece, std::string& out);
    void finish();  // throws if the input ended inside a character
    void reset();

private:
    [[noreturn]] void fail(std::string_view produced) const;
    void feed_utf8(std::string_view piece, std::string& out);
    void feed_utf16(std::string_view piece, std::string& out);
    void feed_double_byte(std::string_view piece, std::string& out);
    void feed_utf32(std::string_view piece, std::string& out);
    void feed_cp1252(std::string_view piece, std::string& out);

    Encoding encoding_;
    std::string name_;
    std::string carry_;          // bytes of a character cut at the end of a piece
    std::uint32_t high_ = 0;     // UTF-16 high surrogate waiting for its pair
    std::size_t bom_left_ = 0;
    bool first_unit_ = true;
    Utf8Validator validator_;
    std::uint64_t line_ = 1;     // line of the first byte not yet produced
    LineBreaks breaks_;          // of the text produced so far
};

// Whole-buffer convenience: detect, then decode to UTF-8.
std::string decode_text(std::string_view bytes, std::string_view name);

}  // namespace sentiment
