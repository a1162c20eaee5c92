// Text decoding: encoding detection, the streaming decoder, and splitting
// into lines. Besides "no crash", checks that cutting the input into pieces
// never changes the result, that output is valid UTF-8, and compares UTF-16
// decoding with a small independent decoder.
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_common.h"
#include "io/line_reader.h"
#include "text/text_decoder.h"

using namespace sentiment;

namespace {

constexpr std::string_view kName = "input.txt";

// Piece sizes for streaming: single bytes, then an uneven mix, so that BOMs,
// multi-byte characters and CR LF pairs get split at every offset.
template <typename Fn>
void in_pieces(std::string_view bytes, int schedule, Fn&& fn) {
    static constexpr std::size_t mix[] = {1, 2, 3, 5, 8, 13, 21, 4, 7};
    std::size_t k = 0;
    while (!bytes.empty()) {
        std::size_t n = schedule == 0 ? 1 : mix[k++ % (sizeof mix / sizeof mix[0])];
        n = std::min(n, bytes.size());
        fn(bytes.substr(0, n));
        bytes.remove_prefix(n);
    }
}

struct Outcome {
    bool ok = false;
    std::string text;   // decoded text when ok
    std::string error;  // English message otherwise
};

Outcome decode_whole(Encoding enc, std::string_view bytes) {
    Outcome o;
    Decoder d(enc, std::string(kName));
    try {
        d.feed(bytes, o.text);
        d.finish();
        o.ok = true;
    } catch (const Error& e) {
        fuzz::check_error(e);
        o.error = e.english();
    }
    return o;
}

Outcome decode_streaming(Encoding enc, std::string_view bytes, int schedule) {
    Outcome o;
    Decoder d(enc, std::string(kName));
    try {
        in_pieces(bytes, schedule, [&](std::string_view piece) { d.feed(piece, o.text); });
        d.finish();
        o.ok = true;
    } catch (const Error& e) {
        fuzz::check_error(e);
        o.error = e.english();
    }
    return o;
}

// UTF-16 to UTF-8 by the book; nullopt for a cut unit or unpaired
// surrogates, with bad_at set to the offset of the first unit in error.
std::optional<std::string> reference_utf16(std::string_view b, bool little, std::size_t& bad_at) {
    bad_at = b.size() - b.size() % 2;  // a cut last unit, unless something comes first
    auto unit = [&](std::size_t i) {
        auto lo = static_cast<unsigned char>(b[i + (little ? 0 : 1)]);
        auto hi = static_cast<unsigned char>(b[i + (little ? 1 : 0)]);
        return static_cast<std::uint32_t>(hi << 8 | lo);
    };
    std::string out;
    for (std::size_t i = 0; i + 1 < b.size(); i += 2) {
        std::uint32_t cp = unit(i);
        bad_at = i;
        if (cp >= 0xDC00 && cp <= 0xDFFF) return std::nullopt;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 3 >= b.size()) return std::nullopt;
            std::uint32_t lo = unit(i + 2);
            if (lo < 0xDC00 || lo > 0xDFFF) return std::nullopt;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
            i += 2;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | cp >> 12);
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | cp >> 18);
            out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    bad_at = b.size() - b.size() % 2;
    if (b.size() % 2) return std::nullopt;
    return out;
}

// Offset of the first byte of the first broken UTF-8 sequence (a stray
// byte, or the lead byte of a bad or cut sequence), or npos.
std::size_t first_bad_utf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        std::size_t n = 1;
        while (n <= 4 && i + n <= s.size() && !fuzz::valid_utf8(s.substr(i, n))) ++n;
        if (n > 4 || i + n > s.size()) return i;
        i += n;
    }
    return std::string_view::npos;
}

// The line an error message names ("input.txt line 12: ..."), 0 for none.
std::uint64_t line_in(const std::string& message) {
    const std::string head = std::string(kName) + " line ";
    if (message.compare(0, head.size(), head) != 0) return 0;
    return std::strtoull(message.c_str() + head.size(), nullptr, 10);
}

// Lines as LineReader counts them: LF, CR LF and CR alone each end one.
std::uint64_t line_at(std::string_view text, std::size_t offset) {
    std::uint64_t line = 1;
    for (std::size_t i = 0; i < std::min(offset, text.size()); ++i)
        line += text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'));
    return line;
}

std::uint64_t line_at_utf16(std::string_view text, std::size_t offset, bool little) {
    const auto ascii = [&](std::size_t i) { return text[i + (little ? 1 : 0)] == '\0' ? text[i + (little ? 0 : 1)] : '\0'; };
    std::uint64_t line = 1;
    for (std::size_t i = 0; i + 2 <= offset; i += 2)
        line += ascii(i) == '\r' || (ascii(i) == '\n' && (i == 0 || ascii(i - 2) != '\r'));
    return line;
}

// Whether the input starts with a UTF-16 or UTF-32 byte-order mark, after
// which detection judges the text as the mark says.
bool wide_mark(std::string_view b) {
    using namespace std::string_view_literals;
    return b.substr(0, 2) == "\xFE\xFF"sv || (b.size() >= 4 && b.substr(0, 2) == "\xFF\xFE"sv) ||
           b.substr(0, 4) == "\0\0\xFE\xFF"sv;
}

// What LineReader promises: LF, CR LF or CR alone ends a line, a last line
// without a break counts, a final break does not start another line.
std::vector<std::string> reference_lines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        std::size_t end = text.find_first_of("\r\n");
        lines.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        std::size_t next = end + 1;
        if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
        text.remove_prefix(next);
    }
    return lines;
}

// Bytes of a byte-order mark the decoder drops for this encoding: UTF-8 with
// BOM always (detection saw it), UTF-16 and UTF-32 only when the first unit
// is U+FEFF.
std::size_t mark_length(std::string_view bytes, Encoding enc) {
    using namespace std::string_view_literals;
    if (enc == Encoding::Utf8Bom) return 3;
    if (enc == Encoding::Utf16LE) return bytes.substr(0, 2) == "\xFF\xFE"sv ? 2 : 0;
    if (enc == Encoding::Utf16BE) return bytes.substr(0, 2) == "\xFE\xFF"sv ? 2 : 0;
    if (enc == Encoding::Utf32LE) return bytes.substr(0, 4) == "\xFF\xFE\0\0"sv ? 4 : 0;
    if (enc == Encoding::Utf32BE) return bytes.substr(0, 4) == "\0\0\xFE\xFF"sv ? 4 : 0;
    return 0;
}

// LineReader reads its input 256 KiB at a time. A fuzz input is far smaller,
// so to put that boundary inside it, it is preceded by filler lines in its
// own encoding (after its byte-order mark, if any).
constexpr std::size_t kReadChunk = std::size_t{1} << 18;

struct Padded {
    std::string bytes;   // mark, filler, rest of the input
    std::string filler;  // the filler as UTF-8
};

Padded pad(std::string_view bytes, Encoding enc) {
    const std::size_t bom = mark_length(bytes, enc);
    const std::string_view body = bytes.substr(std::min(bom, bytes.size()));
    const std::size_t into = (body.size() * 7919) % (body.size() + 1);  // where the boundary falls in the body
    const std::size_t width = enc == Encoding::Utf16LE || enc == Encoding::Utf16BE   ? 2
                              : enc == Encoding::Utf32LE || enc == Encoding::Utf32BE ? 4
                                                                                     : 1;
    const bool little = enc == Encoding::Utf16LE || enc == Encoding::Utf32LE;
    const std::size_t units = (kReadChunk - bom - into) / width;
    Padded p;
    p.filler.assign(units, 'x');
    for (std::size_t i = 4095; i < units; i += 4096) p.filler[i] = '\n';  // long lines: few of them
    if (units) p.filler.back() = '\n';
    // Each filler character as one unit of the encoding, low byte where
    // the byte order puts it.
    std::string w(units * width, '\0');
    const std::size_t lo = little ? 0 : width - 1;
    for (std::size_t i = 0; i < units; ++i) w[width * i + lo] = p.filler[i];
    p.bytes.assign(bytes.substr(0, bom));
    p.bytes += w;
    p.bytes.append(body);
    return p;
}

// Detection, whole and in pieces, agrees with itself; returns the encoding,
// or the message refusing the input.
std::optional<Encoding> check_detection(std::string_view bytes, std::string& detect_error) {
    std::optional<Encoding> enc;
    try {
        enc = detect_encoding(bytes, kName);
    } catch (const Error& e) {
        fuzz::check_error(e);
        detect_error = e.english();
    }
    for (int schedule = 0; schedule < 2; ++schedule) {
        EncodingDetector d{std::string(kName)};
        in_pieces(bytes, schedule, [&](std::string_view piece) { d.feed(piece); });
        try {
            Encoding e = d.result();
            FUZZ_CHECK(enc && e == *enc, "detection depends on how the input is cut");
        } catch (const Error& e) {
            FUZZ_CHECK(!enc && e.english() == detect_error, "detection depends on how the input is cut");
        }
    }
    return enc;
}

// Whole-buffer decoding keeps UTF-8 as it is and refuses where detection did.
Outcome check_decode_text(std::string_view bytes, const std::optional<Encoding>& enc, const std::string& detect_error) {
    Outcome whole;
    try {
        whole.text = decode_text(bytes, kName);
        whole.ok = true;
    } catch (const Error& e) {
        fuzz::check_error(e);
        whole.error = e.english();
    }
    if (!enc && wide_mark(bytes)) {
        FUZZ_CHECK(detect_error.find("byte-order mark of") != std::string::npos,
                   "a marked file refused for something else than its text: " + detect_error);
    } else if (!enc) {
        // Refused as damaged UTF-8 or as no encoding fitting: the message
        // points at the first byte that is not UTF-8, at the first zero byte
        // (UTF-8 but no text) when it names one, or at valid UTF-8 that
        // reads as nonsense, which comes before any damage. A file mixing
        // UTF-8 with another encoding is refused at a line of the fewer kind;
        // text in GBK, Big5 or Windows-1252 but for a byte it cannot hold,
        // at that byte (a control byte may come before any damage); text in
        // another Western code page, at the byte Windows-1252 makes no sense of.
        const bool zero = detect_error.find("is a zero byte") != std::string::npos;
        const bool nonsense = detect_error.find("valid UTF-8 that reads as nonsense") != std::string::npos;
        const bool mixed = detect_error.find("the file mixes two encodings") != std::string::npos;
        const bool later = detect_error.find(" text, while the rest of the file reads as ") != std::string::npos ||
                           detect_error.find("in Windows-1252 it would stand where") != std::string::npos;
        const std::uint64_t want = line_at(bytes, zero ? bytes.find('\0') : first_bad_utf8(bytes));
        const std::uint64_t got = line_in(detect_error);
        const std::uint64_t lines = line_at(bytes, bytes.size());
        const bool right = mixed ? got >= 1 && got <= lines : later ? got >= 1 && got <= lines : nonsense ? got <= want : got == want;
        FUZZ_CHECK(right, "damaged UTF-8 reported on line " + std::to_string(got) + ", the damage is on line " +
                              std::to_string(want));
    }
    if (whole.ok) {
        FUZZ_CHECK(enc.has_value(), "decoded although detection failed");
        FUZZ_CHECK(fuzz::valid_utf8(whole.text), "decoded text is not valid UTF-8");
        if (*enc == Encoding::Utf8) FUZZ_CHECK(whole.text == bytes, "UTF-8 input changed by decoding");
        if (*enc == Encoding::Utf8Bom) FUZZ_CHECK(whole.text == bytes.substr(3), "UTF-8 input changed by decoding");
    }
    return whole;
}

// Fed in pieces, the decoder agrees with itself fed whole.
void check_streaming(Encoding e, std::string_view bytes, const Outcome& all) {
    if (all.ok) FUZZ_CHECK(fuzz::valid_utf8(all.text), std::string("output is not UTF-8 for ") + encoding_name(e));
    for (int schedule = 0; schedule < 2; ++schedule) {
        Outcome part = decode_streaming(e, bytes, schedule);
        FUZZ_CHECK(part.ok == all.ok, std::string("streaming changes success for ") + encoding_name(e));
        FUZZ_CHECK(part.text == all.text || !all.ok, std::string("streaming changes text for ") + encoding_name(e));
        FUZZ_CHECK(part.error == all.error, std::string("streaming changes the error for ") + encoding_name(e) +
                                               ": whole: " + all.error + " / pieces: " + part.error);
    }
}

// The decoder against independent references; errors name the line of the
// first bad character.
void check_against_references(Encoding e, std::string_view bytes, const Outcome& all) {
    const std::size_t bom = mark_length(bytes, e);
    const std::string_view body = bytes.substr(std::min(bom, bytes.size()));
    if (e == Encoding::Utf8 || e == Encoding::Utf8Bom) {
        // A zero byte is valid UTF-8, but no text: refused like damage.
        const std::size_t first_bad = std::min(first_bad_utf8(body), body.find('\0'));
        FUZZ_CHECK(all.ok == (first_bad == std::string_view::npos), "UTF-8 validity misjudged");
        FUZZ_CHECK(!all.ok || all.text == body, "UTF-8 text changed");
        if (!all.ok) {
            const std::uint64_t want = line_at(body, first_bad);
            FUZZ_CHECK(line_in(all.error) == want, "UTF-8 error names line " + std::to_string(line_in(all.error)) +
                                                       ", the bad byte is on line " + std::to_string(want));
        }
    }
    if (e == Encoding::Windows1252) {
        const bool unassigned = body.find_first_of("\x81\x8D\x8F\x90\x9D") != std::string_view::npos;
        FUZZ_CHECK(all.ok == !unassigned, "Windows-1252 validity misjudged");
    }
    if (e == Encoding::Utf16LE || e == Encoding::Utf16BE) {
        const bool le = e == Encoding::Utf16LE;
        std::size_t bad_at = 0;
        auto ref = reference_utf16(body, le, bad_at);
        FUZZ_CHECK(all.ok == ref.has_value(), std::string("UTF-16 validity misjudged, ") + encoding_name(e));
        FUZZ_CHECK(!ref || all.text == *ref, std::string("UTF-16 decoded wrongly, ") + encoding_name(e));
        if (!all.ok) {
            const std::uint64_t want = line_at_utf16(body, bad_at, le);
            FUZZ_CHECK(line_in(all.error) == want, std::string(encoding_name(e)) + " error names line " +
                                                       std::to_string(line_in(all.error)) + ", the bad unit is on line " +
                                                       std::to_string(want));
        }
    }
}

// A reset decoder starts over as new.
void check_reset(Encoding e, std::string_view bytes, const Outcome& all) {
    Decoder d(e, std::string(kName));
    std::string first, second;
    try {
        d.feed(bytes.substr(0, bytes.size() / 2), first);
    } catch (const Error&) {
    }
    d.reset();
    try {
        d.feed(bytes, second);
        d.finish();
        FUZZ_CHECK(all.ok && second == all.text, "reset decoder differs from a new one");
    } catch (const Error& err) {
        FUZZ_CHECK(!all.ok && err.english() == all.error, "reset decoder differs from a new one");
    }
}

// Line splitting agrees with the decoded text, also across the reader's
// read boundary. Reading 256 KiB costs twenty times the rest, so only one
// input length in sixteen pays for that.
void check_lines(std::string_view bytes, const std::optional<Encoding>& enc, const Outcome& whole) {
    try {
        std::vector<std::string> lines = read_lines(bytes, kName);
        FUZZ_CHECK(whole.ok, "read_lines accepted what decode_text refused: " + whole.error);
        FUZZ_CHECK(lines == reference_lines(whole.text), "read_lines splits differently");
    } catch (const Error& e) {
        fuzz::check_error(e);
        FUZZ_CHECK(!whole.ok, "read_lines refused what decode_text accepted: " + e.english());
    }
    if (!enc || bytes.size() % 16 != 0) return;
    Padded p = pad(bytes, *enc);
    try {
        std::vector<std::string> lines = read_lines(p.bytes, kName);
        FUZZ_CHECK(whole.ok, "behind filler, read_lines accepted what decode_text refused: " + whole.error);
        FUZZ_CHECK(lines == reference_lines(p.filler + whole.text), "lines differ across the read boundary");
    } catch (const Error& e) {
        fuzz::check_error(e);
        FUZZ_CHECK(!whole.ok, "behind filler, read_lines refused what decode_text accepted: " + e.english());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::as_view(data, size);
    std::string detect_error;
    const std::optional<Encoding> enc = check_detection(bytes, detect_error);
    const Outcome whole = check_decode_text(bytes, enc, detect_error);
    // Every encoding the decoder knows; the detected one must agree with
    // decode_text.
    for (Encoding e : {Encoding::Utf8, Encoding::Utf8Bom, Encoding::Utf16LE, Encoding::Utf16BE, Encoding::Gb18030,
                       Encoding::Big5, Encoding::Windows1252, Encoding::Utf32LE, Encoding::Utf32BE}) {
        const Outcome all = decode_whole(e, bytes);
        check_streaming(e, bytes, all);
        if (enc && e == *enc) {
            FUZZ_CHECK(all.ok == whole.ok && all.error == whole.error && (!all.ok || all.text == whole.text),
                       "Decoder disagrees with decode_text");
        }
        check_against_references(e, bytes, all);
        check_reset(e, bytes, all);
    }
    check_lines(bytes, enc, whole);
    return 0;
}
