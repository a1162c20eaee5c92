#include "text/text_decoder.h"

#include <algorithm>

#include "text/big5.h"
#include "text/errors.h"
#include "text/gb18030.h"
#include "text/line_breaks.h"
#include "text/utf8.h"

namespace sentiment {

namespace {

// Windows-1252's 80-9F; the rest of 80-FF is Latin-1. Zero: not assigned.
constexpr std::uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool in(unsigned char c, unsigned char lo, unsigned char hi) { return c >= lo && c <= hi; }

// The byte structure of GB18030: 00-7F alone; 81-FE then 40-7E or 80-FE;
// or 81-FE 30-39 81-FE 30-39. Big5's: 00-7F alone, or 81-FE then 40-7E or
// A1-FE (the converter judges the pair). Returns the length of the leading
// run of whole characters; `bad` tells whether it stopped at a byte no
// character can hold (otherwise at a character cut by the end of the input).
std::size_t whole_characters(std::string_view s, bool gb, bool& bad) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    bad = false;
    std::size_t i = 0;
    while (i < n) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        if (!in(p[i], 0x81, 0xFE)) break;
        if (i + 1 == n) return i;
        if (in(p[i + 1], 0x40, 0x7E) || in(p[i + 1], gb ? 0x80 : 0xA1, 0xFE)) {
            i += 2;
            continue;
        }
        if (!gb || !in(p[i + 1], 0x30, 0x39)) break;
        if (i + 2 == n) return i;
        if (!in(p[i + 2], 0x81, 0xFE)) break;
        if (i + 3 == n) return i;
        if (!in(p[i + 3], 0x30, 0x39)) break;
        i += 4;
    }
    bad = i < n;
    return i;
}

}  // namespace

Decoder::Decoder(Encoding encoding, std::string name) : encoding_(encoding), name_(std::move(name)) { reset(); }

void Decoder::reset() {
    carry_.clear();
    high_ = 0;
    validator_ = Utf8Validator{};
    line_ = 1;
    breaks_ = LineBreaks{};
    bom_left_ = encoding_ == Encoding::Utf8Bom ? 3 : 0;
    first_unit_ = true;
}

void Decoder::fail(std::string_view produced) const {
    LineBreaks breaks = breaks_;
    const std::uint64_t line = line_ + breaks.count(produced);
    throw Error(where_en(name_, line) + "bytes that are not valid " + encoding_name(encoding_) +
                    " text; save the file as UTF-8 or GBK and try again",
                where_zh(name_, line) + "含有不合法的 " + encoding_name(encoding_) +
                    " 字节；请将文件另存为 UTF-8 或 GBK 后重试");
}

void Decoder::feed(std::string_view piece, std::string& out) {
    if (bom_left_ > 0) {
        std::size_t skip = std::min(bom_left_, piece.size());
        piece.remove_prefix(skip);
        bom_left_ -= skip;
    }
    if (piece.empty()) return;
    const std::size_t start = out.size();
    switch (encoding_) {
    case Encoding::Utf8:
    case Encoding::Utf8Bom: feed_utf8(piece, out); break;
    case Encoding::Utf16LE:
    case Encoding::Utf16BE: feed_utf16(piece, out); break;
    case Encoding::Gb18030:
    case Encoding::Big5: feed_double_byte(piece, out); break;
    case Encoding::Windows1252: feed_cp1252(piece, out); break;
    case Encoding::Utf32LE:
    case Encoding::Utf32BE: feed_utf32(piece, out); break;
    }
    line_ += breaks_.count(std::string_view(out).substr(start));
}

void Decoder::feed_utf8(std::string_view piece, std::string& out) {
    const std::size_t bad = validator_.feed(piece);
    // Zero bytes are valid UTF-8 but no text has them; unmarked files are
    // refused for them before decoding, a marked one here. Only one before
    // the first broken byte counts, so that the error does not depend on
    // where the reads are cut.
    const std::size_t nul = piece.substr(0, bad).find('\0');
    if (bad != std::string_view::npos && nul == std::string_view::npos) fail(piece.substr(0, bad));
    if (nul != std::string_view::npos) {
        LineBreaks breaks = breaks_;
        const std::uint64_t line = line_ + breaks.count(piece.substr(0, nul));
        throw Error(where_en(name_, line) + "a zero byte, which text does not have: the file is binary or damaged",
                    where_zh(name_, line) + "含有空字节，文本中不会有：文件是二进制文件或已损坏");
    }
    out.append(piece);
}

void Decoder::feed_utf16(std::string_view piece, std::string& out) {
    const std::size_t start = out.size();
    const bool little = encoding_ == Encoding::Utf16LE;
    auto unit_at = [&](const char* q) {
        auto b0 = static_cast<unsigned char>(q[0]), b1 = static_cast<unsigned char>(q[1]);
        return little ? std::uint32_t(b0 | (b1 << 8)) : std::uint32_t((b0 << 8) | b1);
    };
    auto take = [&](std::uint32_t unit) {
        // UTF-16 is also taken without a byte-order mark.
        if (first_unit_) {
            first_unit_ = false;
            if (unit == 0xFEFF) return;
        }
        if (high_ != 0) {
            if (unit < 0xDC00 || unit > 0xDFFF) fail(std::string_view(out).substr(start));
            append_utf8(out, 0x10000 + ((high_ - 0xD800) << 10) + (unit - 0xDC00));
            high_ = 0;
        } else if (unit >= 0xD800 && unit <= 0xDBFF) {
            high_ = unit;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            fail(std::string_view(out).substr(start));
        } else {
            append_utf8(out, unit);
        }
    };
    if (!carry_.empty()) {
        char pair[2] = {carry_[0], piece[0]};
        carry_.clear();
        piece.remove_prefix(1);
        take(unit_at(pair));
    }
    out.reserve(out.size() + piece.size() * 3 / 2);
    std::size_t i = 0;
    for (; i + 2 <= piece.size(); i += 2) take(unit_at(piece.data() + i));
    carry_.assign(piece.substr(i));
}

// GB18030 and Big5: whole characters go to the platform's converter, a
// character cut at the end of the piece waits for the next.
void Decoder::feed_double_byte(std::string_view piece, std::string& out) {
    std::string joined;
    if (!carry_.empty()) {
        joined = carry_ + std::string(piece);
        carry_.clear();
        piece = joined;
    }
    const bool gb = encoding_ == Encoding::Gb18030;
    const std::size_t start = out.size();
    bool bad = false;
    const std::size_t whole = whole_characters(piece, gb, bad);
    const std::string_view chars = piece.substr(0, whole);
    if ((gb ? gb18030_to_utf8(chars, out) : big5_to_utf8(chars, out)) != std::string_view::npos || bad)
        fail(std::string_view(out).substr(start));
    carry_.assign(piece.substr(whole));
}

void Decoder::feed_utf32(std::string_view piece, std::string& out) {
    const std::size_t start = out.size();
    const bool little = encoding_ == Encoding::Utf32LE;
    std::string joined;
    if (!carry_.empty()) {
        joined = carry_ + std::string(piece);
        carry_.clear();
        piece = joined;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(piece.data());
    std::size_t i = 0;
    for (; i + 4 <= piece.size(); i += 4) {
        const std::uint32_t unit = little ? std::uint32_t(p[i]) | std::uint32_t(p[i + 1]) << 8 |
                                                std::uint32_t(p[i + 2]) << 16 | std::uint32_t(p[i + 3]) << 24
                                          : std::uint32_t(p[i]) << 24 | std::uint32_t(p[i + 1]) << 16 |
                                                std::uint32_t(p[i + 2]) << 8 | std::uint32_t(p[i + 3]);
        if (first_unit_) {
            first_unit_ = false;
            if (unit == 0xFEFF) continue;
        }
        if (unit > 0x10FFFF || (unit >= 0xD800 && unit <= 0xDFFF)) fail(std::string_view(out).substr(start));
        append_utf8(out, unit);
    }
    carry_.assign(piece.substr(i));
}

void Decoder::feed_cp1252(std::string_view piece, std::string& out) {
    const std::size_t start = out.size();
    out.reserve(out.size() + piece.size() + piece.size() / 8);
    for (char ch : piece) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
            continue;
        }
        const std::uint32_t cp = c >= 0xA0 ? c : kCp1252High[c - 0x80];
        if (cp == 0) fail(std::string_view(out).substr(start));
        append_utf8(out, cp);
    }
}

void Decoder::finish() {
    if (!carry_.empty() || high_ != 0 || validator_.mid_sequence()) fail({});
}

std::string decode_text(std::string_view bytes, std::string_view name) {
    Decoder d(detect_encoding(bytes, name), std::string(name));
    std::string out;
    out.reserve(bytes.size());
    d.feed(bytes, out);
    d.finish();
    return out;
}

}  // namespace sentiment
