#include "encoding_detector.h"

#include <algorithm>
#include <cstring>

#include "errors.h"

namespace sentiment {

const char* encoding_name(Encoding e) {
    switch (e) {
    case Encoding::Utf8: return "UTF-8";
    case Encoding::Utf8Bom: return "UTF-8 with BOM";
    case Encoding::Utf16LE: return "UTF-16LE";
    case Encoding::Utf16BE: return "UTF-16BE";
    case Encoding::Gb18030: return "GB18030";
    }
    return "?";
}

std::size_t Utf8Validator::feed(std::string_view piece) {
    std::size_t first_bad = std::string_view::npos;
    const auto* p = reinterpret_cast<const unsigned char*>(piece.data());
    const std::size_t n = piece.size();
    std::size_t i = 0;
    while (i < n) {
        unsigned char c = p[i];
        if (need_ == 0) {
            if (c < 0x80) {
                ++i;
                // Runs of ASCII, eight bytes at a time.
                while (i + 8 <= n) {
                    std::uint64_t word;
                    std::memcpy(&word, p + i, 8);
                    if (word & 0x8080808080808080ULL) break;
                    i += 8;
                }
                continue;
            }
            lo_ = 0x80;
            hi_ = 0xBF;
            if (c >= 0xC2 && c <= 0xDF) {
                need_ = 1;
            } else if (c >= 0xE0 && c <= 0xEF) {
                need_ = 2;
                if (c == 0xE0) lo_ = 0xA0;       // overlong
                if (c == 0xED) hi_ = 0x9F;       // surrogates
            } else if (c >= 0xF0 && c <= 0xF4) {
                need_ = 3;
                if (c == 0xF0) lo_ = 0x90;       // overlong
                if (c == 0xF4) hi_ = 0x8F;       // above U+10FFFF
            } else {
                ++bad_;
                if (first_bad == std::string_view::npos) first_bad = i;
            }
            ++i;
        } else {
            if (c < lo_ || c > hi_) {
                // Resynchronise on this byte: it may start a new character.
                ++bad_;
                need_ = 0;
                if (first_bad == std::string_view::npos) first_bad = i;
                continue;
            }
            lo_ = 0x80;
            hi_ = 0xBF;
            if (--need_ == 0) ++multibyte_;
            ++i;
        }
    }
    return first_bad;
}

void EncodingDetector::feed(std::string_view piece) {
    if (head_.size() < 3) {
        std::size_t take = std::min<std::size_t>(3 - head_.size(), piece.size());
        head_.append(piece.substr(0, take));
        auto h = [&](std::size_t k) { return static_cast<unsigned char>(head_[k]); };
        if (!bom_ && head_.size() >= 2) {
            if (h(0) == 0xFF && h(1) == 0xFE) {
                bom_ = true;
                bom_encoding_ = Encoding::Utf16LE;
            } else if (h(0) == 0xFE && h(1) == 0xFF) {
                bom_ = true;
                bom_encoding_ = Encoding::Utf16BE;
            }
        }
        if (!bom_ && head_.size() == 3 && h(0) == 0xEF && h(1) == 0xBB && h(2) == 0xBF) {
            bom_ = true;
            bom_encoding_ = Encoding::Utf8Bom;
        }
    }
    if (bom_) return;
    std::size_t bad = validator_.feed(piece);
    if (!seen_bad_ && bad != std::string_view::npos) {
        seen_bad_ = true;
        lines_before_first_bad_ =
            newlines_ + static_cast<std::uint64_t>(std::count(piece.begin(), piece.begin() + bad, '\n'));
    }
    if (!seen_bad_) newlines_ += static_cast<std::uint64_t>(std::count(piece.begin(), piece.end(), '\n'));
}

Encoding EncodingDetector::result() const {
    if (bom_) return bom_encoding_;
    if (!seen_bad_ && !validator_.mid_sequence()) return Encoding::Utf8;
    std::uint64_t good = validator_.multibyte_sequences();
    std::uint64_t bad = validator_.bad_bytes() + (validator_.mid_sequence() ? 1 : 0);
    // Real GB18030 text breaks UTF-8 rules at almost every character, so
    // many well-formed multi-byte sequences mean damaged UTF-8.
    if (good >= 8 && good > 4 * bad) {
        // Input cut inside its last character has no bad byte: the damage is on
        // the last line.
        std::uint64_t line = (seen_bad_ ? lines_before_first_bad_ : newlines_) + 1;
        throw Error(where_en(name_, line) + "invalid UTF-8 byte sequence (the rest of the file is UTF-8, so this byte is damage, not another encoding)",
                    where_zh(name_, line) + "UTF-8 字节序列无效（文件其余部分是 UTF-8，此处字节已损坏）");
    }
    return Encoding::Gb18030;
}

Encoding detect_encoding(std::string_view bytes, std::string_view name) {
    EncodingDetector d{std::string(name)};
    d.feed(bytes);
    return d.result();
}

}  // namespace sentiment
