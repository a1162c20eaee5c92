#include "text/encoding_detector.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "text/errors.h"

namespace sentiment {

const char* encoding_name(Encoding e) {
    switch (e) {
    case Encoding::Utf8: return "UTF-8";
    case Encoding::Utf8Bom: return "UTF-8 with BOM";
    case Encoding::Utf16LE: return "UTF-16LE";
    case Encoding::Utf16BE: return "UTF-16BE";
    case Encoding::Gb18030: return "GB18030";
    case Encoding::Windows1252: return "Windows-1252";
    }
    return "?";
}

namespace {

constexpr std::uint64_t kNone = ~std::uint64_t{0};
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;

bool in(unsigned char c, unsigned char lo, unsigned char hi) { return c >= lo && c <= hi; }

std::uint64_t newlines_in(std::string_view s) { return static_cast<std::uint64_t>(std::count(s.begin(), s.end(), '\n')); }

}  // namespace

void Utf8Validator::bad_byte(std::uint64_t at) {
    ++bad_;
    // A byte that breaks a sequence is looked at again as a start, so the
    // same offset can come twice.
    if (last_bad_ == kNone || at > last_bad_ + 1) ++bad_runs_;
    last_bad_ = at;
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
                    if (word & kHighBits) break;
                    i += 8;
                }
                continue;
            }
            lo_ = 0x80;
            hi_ = 0xBF;
            long_pending_ = c >= 0xE0;
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
                bad_byte(offset_ + i);
                if (first_bad == std::string_view::npos) first_bad = i;
            }
            ++i;
        } else {
            if (c < lo_ || c > hi_) {
                // Resynchronise on this byte: it may start a new character.
                bad_byte(offset_ + i);
                need_ = 0;
                if (first_bad == std::string_view::npos) first_bad = i;
                continue;
            }
            lo_ = 0x80;
            hi_ = 0xBF;
            if (--need_ == 0) {
                ++multibyte_;
                long_ += long_pending_;
            }
            ++i;
        }
    }
    offset_ += n;
    return first_bad;
}

void ByteStatistics::gb_byte(unsigned char c) {
    if (alone_pending_) {
        ++(c < 0x80 ? gb_alone_ascii_trail : gb_joined_ascii_trail);
        alone_pending_ = false;
    }
    if (!gb_structure_ok) return;
    switch (pending_size_) {
    case 0:
        if (c < 0x80) return;
        if (c == 0x80 || c == 0xFF) break;
        pending_[0] = c;
        pending_size_ = 1;
        lead_after_ascii_ = previous_ascii_;
        return;
    case 1:
        if (in(c, 0x40, 0x7E)) {
            if (lead_after_ascii_) alone_pending_ = true;
            else ++gb_joined_ascii_trail;
            pending_size_ = 0;
            return;
        }
        if (in(c, 0x80, 0xFE)) {
            if (!(in(pending_[0], 0xC2, 0xDF) && c <= 0xBF)) ++gb_high_pairs;
            pending_size_ = 0;
            return;
        }
        if (!in(c, 0x30, 0x39)) break;
        pending_size_ = 2;
        return;
    case 2:
        if (!in(c, 0x81, 0xFE)) break;
        pending_size_ = 3;
        return;
    default:
        if (!in(c, 0x30, 0x39)) break;
        ++gb_four;
        pending_size_ = 0;
        return;
    }
    gb_structure_ok = false;
}

void ByteStatistics::feed(std::string_view piece) {
    const auto* p = reinterpret_cast<const unsigned char*>(piece.data());
    const std::size_t n = piece.size();
    std::size_t i = 0;
    while (i < n) {
        // Printable ASCII changes nothing: skip it a word at a time.
        if (pending_size_ == 0 && run_ == 0 && !alone_pending_ && i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            // No byte 80-FF, below 20 (zero bytes, controls, line breaks) or 7F.
            const std::uint64_t del = word ^ (kOnes * 0x7F);
            if (!(word & kHighBits) && !((word - kOnes * 0x20) & ~word & kHighBits) &&
                !((del - kOnes) & ~del & kHighBits)) {
                previous_ = p[i + 7];
                previous_ascii_ = true;
                i += 8;
                continue;
            }
        }
        const unsigned char c = p[i];
        const std::uint64_t at = bytes + i;
        if (c == 0) ++((at & 1) ? nul_odd : nul_even);
        if (at & 1) {
            le_breaks += c == 0 && previous_ == '\n';
            be_breaks += c == '\n' && previous_ == 0;
        }
        previous_ = c;
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) ++controls;
        if (c >= 0x80) {
            ++run_;
            if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) ++cp1252_undefined;
        } else if (run_ > 0) {
            ++(run_ == 1 ? lone_high : high_runs);
            run_ = 0;
        }
        gb_byte(c);
        previous_ascii_ = c < 0x80;
        ++i;
    }
    bytes += n;
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
    const bool had_bad = validator_.bad_bytes() > 0;
    const std::size_t bad = validator_.feed(piece);
    if (!had_bad && bad != std::string_view::npos) {
        line_of_first_bad_ = newlines_ + newlines_in(piece.substr(0, bad)) + 1;
        first_bad_byte_ = static_cast<unsigned char>(piece[bad]);
    }
    stats_.feed(piece);
    newlines_ += newlines_in(piece);
}

Encoding EncodingDetector::result() const {
    if (bom_) return bom_encoding_;
    const ByteStatistics& s = stats_;
    // UTF-16 without a mark: its ASCII characters and line breaks put zero
    // bytes at every other offset, which no text in the other encodings has.
    const std::uint64_t major = std::max(s.nul_even, s.nul_odd), minor = std::min(s.nul_even, s.nul_odd);
    if (major >= 2 && minor * 16 <= major && major * 256 >= s.bytes / 2)
        return s.nul_odd > s.nul_even ? Encoding::Utf16LE : Encoding::Utf16BE;
    // Chinese in UTF-16 has few zero bytes, but each line break has one.
    if (s.le_breaks > 0 && s.be_breaks == 0 && s.nul_odd > s.nul_even) return Encoding::Utf16LE;
    if (s.be_breaks > 0 && s.le_breaks == 0 && s.nul_even > s.nul_odd) return Encoding::Utf16BE;
    if (validator_.bad_bytes() == 0 && !validator_.mid_sequence()) return Encoding::Utf8;

    // A few broken spots among UTF-8 Chinese characters are damage: GBK read
    // as UTF-8 breaks at almost every character and rarely forms a
    // three-byte sequence. A character cut at the very end is damage on the
    // last line.
    const std::uint64_t damage = validator_.bad_runs() + (validator_.mid_sequence() ? 1 : 0);
    const std::uint64_t line = validator_.bad_bytes() > 0 ? line_of_first_bad_ : newlines_ + 1;
    auto damaged = [&] {
        return Error(where_en(name_, line) + "invalid UTF-8 byte sequence (the rest of the file is UTF-8, so this byte is damage, not another encoding)",
                     where_zh(name_, line) + "UTF-8 字节序列无效（文件其余部分是 UTF-8，此处字节已损坏）");
    };
    if (validator_.long_sequences() >= 2 && validator_.long_sequences() >= 2 * damage) throw damaged();
    // Chinese double-byte characters come in runs and mostly with trail
    // bytes 80-FE; Western text read as GB18030 pairs a lone accented letter
    // or quote with the ASCII letter after it. Control bytes mean neither.
    const std::uint64_t chinese = s.gb_high_pairs + s.gb_four;
    if (s.gb_whole() && chinese > 0 && s.alone_ascii_trail() * 4 <= chinese + s.gb_joined_ascii_trail &&
        s.controls * 64 <= s.bytes)
        return Encoding::Gb18030;
    const std::uint64_t good = validator_.multibyte_sequences();
    if (good >= 2 && good >= 2 * damage) throw damaged();
    if (s.cp1252_undefined == 0 && s.controls == 0 && s.lone() > 3 * s.runs()) return Encoding::Windows1252;

    std::string what_en = "the file ends inside a UTF-8 character", what_zh = "文件在一个 UTF-8 字符中间结束";
    if (validator_.bad_bytes() > 0) {
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned>(first_bad_byte_));
        what_en = std::string("byte ") + byte + " is not UTF-8";
        what_zh = std::string("字节 ") + byte + " 不是 UTF-8";
    }
    throw Error(where_en(name_, line) + what_en +
                    ", and the file does not read clearly as GB18030 or Windows-1252 either; save it as UTF-8 and try again",
                where_zh(name_, line) + what_zh + "，文件也不像 GB18030 或 Windows-1252 编码；请将文件另存为 UTF-8 后重试");
}

Encoding detect_encoding(std::string_view bytes, std::string_view name) {
    EncodingDetector d{std::string(name)};
    d.feed(bytes);
    return d.result();
}

}  // namespace sentiment
