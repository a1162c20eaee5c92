#include "text/encoding_detector.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "text/char_kind.h"
#include "text/double_byte.h"
#include "text/errors.h"
#include "text/line_breaks.h"

namespace sentiment {

const char* encoding_name(Encoding e) {
    switch (e) {
    case Encoding::Utf8: return "UTF-8";
    case Encoding::Utf8Bom: return "UTF-8 with BOM";
    case Encoding::Utf16LE: return "UTF-16LE";
    case Encoding::Utf16BE: return "UTF-16BE";
    case Encoding::Gb18030: return "GB18030";
    case Encoding::Windows1252: return "Windows-1252";
    case Encoding::Big5: return "Big5";
    case Encoding::Utf32LE: return "UTF-32LE";
    case Encoding::Utf32BE: return "UTF-32BE";
    }
    return "?";
}

namespace {

constexpr std::uint64_t kNone = ~std::uint64_t{0};
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

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
    lead_earlier_ = false;
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
            lead_ = offset_ + i;
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
                // Name the byte that began the broken character, when it is
                // in this piece: the one after it is often plain ASCII.
                if (first_bad == std::string_view::npos) {
                    first_bad = lead_ >= offset_ ? lead_ - offset_ : i;
                    lead_earlier_ = lead_ < offset_;
                }
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


namespace {

bool in(unsigned c, unsigned lo, unsigned hi) { return c >= lo && c <= hi; }

// A place in the file: line (from 1), byte within the line (from 1), the
// byte there and, for a reading, the character it gave.
struct Spot {
    std::uint64_t line = 0, column = 0;
    unsigned char byte = 0;
    char32_t cp = 0;
    bool set() const { return line != 0; }
};

void keep_first(Spot& kept, const Spot& s) {
    if (!kept.set()) kept = s;
}

// What the characters of one reading were.
struct Tally {
    std::uint64_t chars = 0, han = 0, common = 0, kana = 0, hangul = 0, rare = 0;
    void add(CharKind k) {
        ++chars;
        han += k == CharKind::CommonHan || k == CharKind::Han;
        common += k == CharKind::CommonHan;
        kana += k == CharKind::Kana;
        hangul += k == CharKind::Hangul;
        rare += k == CharKind::Rare || k == CharKind::Invalid;
    }
    Tally& operator+=(const Tally& o) {
        chars += o.chars, han += o.han, common += o.common, kana += o.kana, hangul += o.hangul, rare += o.rare;
        return *this;
    }
};

// Chinese read right is mostly common characters with hardly anything rare;
// Chinese read from another encoding's bytes is mostly characters outside
// the common set, symbols of the wrong kind and private-use codes.
// A little kana (づ, の) turns up in Chinese reviews too.
bool chinese_like(const Tally& t, unsigned percent) {
    return t.han > 0 && (t.kana + t.hangul) * 8 <= t.chars && t.rare * 50 <= t.chars && t.common * 100 >= t.han * percent;
}

// ---- UTF-8 ------------------------------------------------------------------

// Reads the bytes as UTF-8 shapes: well-formed characters; surrogates and
// overlong forms (well shaped, but damaged UTF-8 such as CESU-8); and bytes
// that fit no shape. Judges the characters in their context: a combining
// mark needs a letter of its alphabet before it, and a word keeps to one
// alphabet.
class Utf8Reading {
public:
    void byte(unsigned char c, const Spot& at) {
        if (need_ > 0) {
            if (in(c, 0x80, 0xBF)) {
                cp_ = (cp_ << 6) | (c & 0x3F);
                if (--need_ == 0) finish();
                return;
            }
            broken(start_);
            need_ = 0;
        }
        if (c < 0x80) {
            ascii(c, at);
            return;
        }
        start_ = at;
        if (in(c, 0xC0, 0xDF)) need_ = 1, len_ = 2, cp_ = c & 0x1F;
        else if (in(c, 0xE0, 0xEF)) need_ = 2, len_ = 3, cp_ = c & 0x0F;
        else if (in(c, 0xF0, 0xF7)) need_ = 3, len_ = 4, cp_ = c & 0x07;
        else broken(at);
    }
    void end() {
        if (need_ > 0) {
            broken(start_);
            cut_ = start_;
        }
        need_ = 0;
    }
    // The character the end of the file cut short, if any.
    const Spot& cut() const { return cut_; }
    void ascii(unsigned char c, const Spot& at) {
        const bool letter = in(c | 0x20, 'a', 'z');
        if (letter && prev_ != Alphabet::None && prev_ != Alphabet::Latin) odd(at, c);
        prev_ = letter ? Alphabet::Latin : Alphabet::None;
        after_letter_ = letter;
    }
    // Context after a run of printable ASCII that was skipped.
    void skipped(unsigned char last) {
        prev_ = in(last | 0x20, 'a', 'z') ? Alphabet::Latin : Alphabet::None;
        after_letter_ = prev_ != Alphabet::None;
    }
    bool quiet() const { return need_ == 0 && (prev_ == Alphabet::None || prev_ == Alphabet::Latin); }
    void new_line() {
        line_ = Line{};
        prev_ = Alphabet::None;
        after_letter_ = false;
    }

    struct Line {
        bool broken = false, relaxed = false;
        std::uint64_t multibyte = 0, long_ = 0;
        Tally tally;
    };
    const Line& line() const { return line_; }
    const Tally& tally() const { return tally_; }
    std::uint64_t multibyte() const { return multibyte_; }
    std::uint64_t relaxed() const { return relaxed_; }
    const Spot& first_relaxed() const { return first_relaxed_; }
    const Spot& first_odd() const { return first_odd_; }
    bool surrogate_seen() const { return surrogate_; }
    std::uint64_t broken() const { return broken_; }
    // Characters beyond ASCII that are letters or Chinese, not signs.
    std::uint64_t wordy() const { return wordy_; }
    std::uint64_t long_sequences() const { return long_; }
    const Spot& first_multibyte() const { return first_multibyte_; }

private:
    void broken(const Spot&) {
        line_.broken = true;
        ++broken_;
    }
    void odd(const Spot& at, char32_t cp) {
        ++line_.tally.rare;
        ++tally_.rare;
        Spot s = at;
        s.cp = cp;
        keep_first(first_odd_, s);
    }
    void finish() {
        static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp_ < kSmallest[len_] || (cp_ >= 0xD800 && cp_ <= 0xDFFF) || cp_ > 0x10FFFF) {
            surrogate_ = surrogate_ || (cp_ >= 0xD800 && cp_ <= 0xDFFF);
            line_.relaxed = true;
            ++relaxed_;
            keep_first(first_relaxed_, start_);
            prev_ = Alphabet::None;
            after_letter_ = false;
            return;
        }
        ++multibyte_;
        ++line_.multibyte;
        long_ += len_ > 2;
        if (!first_multibyte_.set()) first_multibyte_ = start_, first_multibyte_.cp = cp_;
        wordy_ += cp_ >= 0xA0 && (char_kind(cp_) == CharKind::Letter || char_kind(cp_) == CharKind::CommonHan ||
                                  char_kind(cp_) == CharKind::Han || char_kind(cp_) == CharKind::Kana ||
                                  char_kind(cp_) == CharKind::Hangul);
        line_.long_ += len_ > 2;
        // C1 controls in UTF-8 are Windows-1252 punctuation stored as
        // Latin-1, a common slip that leaves the text readable.
        const CharKind kind = cp_ < 0xA0 ? CharKind::Punctuation : char_kind(cp_);
        line_.tally.add(kind);
        tally_.add(kind);
        wordy_ += kind == CharKind::Letter || kind == CharKind::CommonHan || kind == CharKind::Han ||
                  kind == CharKind::Kana || kind == CharKind::Hangul;
        const Alphabet a = alphabet_of(cp_);
        bool wrong = false;
        if (kind == CharKind::Mark) {
            // Generic accents go with the European alphabets; Hebrew,
            // Arabic and Cyrillic marks with their own.
            const Alphabet need = in(cp_, 0x591, 0x5C7)                                 ? Alphabet::Hebrew
                                  : in(cp_, 0x610, 0x6ED)                               ? Alphabet::Arabic
                                  : in(cp_, 0x483, 0x489)                               ? Alphabet::Cyrillic
                                  : in(cp_, 0x300, 0x36F)                               ? Alphabet::None
                                                                                        : Alphabet::Other;
            if (!after_letter_) wrong = true;
            else if (need == Alphabet::None) wrong = prev_ != Alphabet::Latin && prev_ != Alphabet::Greek && prev_ != Alphabet::Cyrillic;
            else if (need != Alphabet::Other) wrong = prev_ != need;
            // A mark leaves the letter before it in charge.
        } else if (kind == CharKind::Letter && a != Alphabet::None) {
            wrong = prev_ != Alphabet::None && prev_ != a;
            prev_ = a;
            after_letter_ = true;
        } else {
            prev_ = Alphabet::None;
            after_letter_ = kind == CharKind::Letter;
        }
        if (wrong) {
            ++line_.tally.rare;
            ++tally_.rare;
        }
        if (wrong || kind == CharKind::Rare) {
            Spot s = start_;
            s.cp = cp_;
            keep_first(first_odd_, s);
        }
    }

    int need_ = 0, len_ = 0;
    char32_t cp_ = 0;
    Spot start_;
    Alphabet prev_ = Alphabet::None;
    bool after_letter_ = false;
    Line line_;
    Tally tally_;
    std::uint64_t multibyte_ = 0, relaxed_ = 0, broken_ = 0, wordy_ = 0, long_ = 0;
    Spot first_relaxed_, first_odd_, cut_, first_multibyte_;
    bool surrogate_ = false;
};

// ---- GBK / GB18030 and Big5 ---------------------------------------------------

// Reads the bytes as a double-byte encoding, counting what its characters
// are. A byte that no character can hold breaks the reading there; it goes
// on after it, so that each line can be judged on its own.
class DoubleByteReading {
public:
    explicit DoubleByteReading(bool gb) : gb_(gb) {}

    void byte(unsigned char c, const Spot& at) {
        switch (size_) {
        case 0:
            if (c < 0x80) return skipped(c);
            if (!in(c, 0x81, 0xFE)) return broken(at);
            bytes_[0] = c;
            lead_at_ = at;
            space_before_ = ascii_before_ == ' ';
            letter_before_ = in(ascii_before_ | 0x20, 'a', 'z');
            ascii_before_ = 0;
            size_ = 1;
            return;
        case 1:
            if (gb_ && in(c, 0x30, 0x39)) {
                bytes_[1] = c;
                size_ = 2;
                return;
            }
            if (!in(c, 0x40, 0x7E) && !in(c, 0x80, 0xFE)) return rebroken(c, at);
            pair(c);
            return;
        case 2:
            if (!in(c, 0x81, 0xFE)) return rebroken(c, at);
            bytes_[2] = c;
            size_ = 3;
            return;
        default:
            if (!in(c, 0x30, 0x39)) return rebroken(c, at);
            bytes_[3] = c;
            four();
            return;
        }
    }
    void end() {
        if (size_ > 0) broken(lead_at_);
        size_ = 0;
    }
    bool quiet() const { return size_ == 0; }
    // An ASCII byte standing alone, not the trail of a character.
    void skipped(unsigned char last) { ascii_before_ = last; }
    void new_line() { line_ = Line{}; }

    struct Line {
        bool broken = false;
        Spot first_break;
        Tally tally;
        std::uint64_t glued = 0;
    };
    const Line& line() const { return line_; }
    const Spot& first_break() const { return first_break_; }
    std::uint64_t pairs() const { return pairs_; }
    std::uint64_t spaced() const { return spaced_; }
    std::uint64_t hangul_pairs() const { return hangul_pairs_; }
    std::uint64_t ascii_trails() const { return ascii_trails_; }
    std::uint64_t hkscs() const { return hkscs_; }
    std::uint64_t four_good() const { return four_good_; }
    std::uint64_t glued() const { return glued_; }

private:
    void broken(const Spot& at) {
        line_.broken = true;
        keep_first(line_.first_break, at);
        keep_first(first_break_, at);
        size_ = 0;
        ascii_before_ = 0;
    }
    // The byte after a cut character may start the next one.
    void rebroken(unsigned char c, const Spot& at) {
        broken(lead_at_);
        byte(c, at);
    }
    void count(CharKind k) {
        if (k == CharKind::Invalid) return broken(lead_at_);
        line_.tally.add(k);
        ++pairs_;
        // Korean in EUC-KR: syllables B0A1-C8FE, and spaces between words
        // of two or three of them, which Chinese does not have.
        const bool hangul = size_ == 1 && in(bytes_[0], 0xB0, 0xC8) && trail_ >= 0xA1;
        hangul_pairs_ += hangul;
        spaced_ += hangul && space_before_;
        size_ = 0;
    }
    void pair(unsigned char trail) {
        const unsigned char lead = bytes_[0];
        trail_ = trail;
        // Hong Kong's additions, and the area where plain Big5 tables put
        // kana and symbols that Hong Kong uses for characters of its own.
        if (!gb_ && (in(lead, 0x81, 0xA0) || in(lead, 0xFA, 0xFE) || (lead == 0xC6 && trail >= 0xA1) || in(lead, 0xC7, 0xC8)))
            ++hkscs_;
        ascii_trails_ += trail < 0x80;
        // Western text read so pairs an accented letter with the letter
        // after it, inside a word.
        const bool glued = letter_before_ && in(trail | 0x20, 'a', 'z');
        glued_ += glued;
        line_.glued += glued;
        count(gb_ ? gb_pair_kind(lead, trail) : big5_pair_kind(lead, trail));
    }
    void four() {
        const std::uint32_t linear =
            (((bytes_[0] - 0x81u) * 10 + (bytes_[1] - 0x30u)) * 126 + (bytes_[2] - 0x81u)) * 10 + (bytes_[3] - 0x30u);
        constexpr std::uint32_t kSupplementary = (0x90 - 0x81) * 12600;
        CharKind k = CharKind::Invalid;
        if (linear >= kSupplementary) {
            const std::uint32_t cp = 0x10000 + (linear - kSupplementary);
            if (cp <= 0x10FFFF) k = char_kind(cp);
        } else if (linear <= 39419) {
            // The rest of the Basic Multilingual Plane: letters and signs
            // GBK lacks. Possible, but nothing a Chinese text is made of.
            k = CharKind::Rare;
        }
        four_good_ += k != CharKind::Invalid && k != CharKind::Rare;
        count(k);
    }

    bool gb_;
    unsigned char bytes_[4] = {};
    int size_ = 0;
    bool space_before_ = false, letter_before_ = false;
    unsigned char ascii_before_ = 0;
    unsigned char trail_ = 0;
    Spot lead_at_;
    Line line_;
    Spot first_break_;
    std::uint64_t pairs_ = 0, hangul_pairs_ = 0, spaced_ = 0, ascii_trails_ = 0, hkscs_ = 0, four_good_ = 0, glued_ = 0;
};

// Shift-JIS only tells Japanese apart for the message: its kana are
// two-byte characters 82 9F-F1 and 83 40-96.
class ShiftJisReading {
public:
    void byte(unsigned char c) {
        if (lead_ != 0) {
            if (in(c, 0x40, 0x7E) || in(c, 0x80, 0xFC)) {
                ++pairs_;
                kana_ += (lead_ == 0x82 && in(c, 0x9F, 0xF1)) || (lead_ == 0x83 && in(c, 0x40, 0x96));
                lead_ = 0;
                return;
            }
            ok_ = false;
            lead_ = 0;
        }
        if (in(c, 0x81, 0x9F) || in(c, 0xE0, 0xFC)) lead_ = c;
        else if (c == 0x80 || c == 0xA0 || c >= 0xFD) ok_ = false;
    }
    bool japanese() const { return ok_ && lead_ == 0 && kana_ >= 2 && kana_ * 5 >= pairs_; }

private:
    unsigned char lead_ = 0;
    bool ok_ = true;
    std::uint64_t pairs_ = 0, kana_ = 0;
};

// ---- Seven-bit encodings ------------------------------------------------------

// HZ, ISO-2022 and UTF-7 write Chinese, Japanese and Korean in ASCII bytes
// alone: valid UTF-8, and gibberish read as it. Their marks: HZ's ~{ and
// ~}, ISO-2022's escapes (ESC $ and ESC ( ...), UTF-7's runs of base64
// between + and -, which decode to characters beyond ASCII.
class SevenBitReading {
public:
    void byte(unsigned char c, const Spot& at) {
        if (in_run_) run_byte(c);
        if (!in_run_ && c == '+' && previous_ != '+') start_run(at);
        if (previous_ == '~' && c == '{') keep_first(hz_, at), ++hz_open_;
        if (previous_ == '~' && c == '}') ++hz_close_;
        if (previous_ == 0x1B && (c == '$' || c == '(' || c == ')')) keep_first(iso2022_, at);
        previous_ = c;
    }
    void end() {
        if (in_run_) run_byte('\n');
    }
    bool quiet() const { return !in_run_ && previous_ != '~' && previous_ != 0x1B; }
    void skipped(unsigned char last) { previous_ = last; }

    // Which one the text is in, if any, and where its first mark is.
    const char* which(Spot& at) const {
        if (iso2022_.set()) return at = iso2022_, "ISO-2022";
        if (hz_open_ > 0 && hz_close_ > 0) return at = hz_, "HZ-GB-2312";
        if (utf7_good_ > 0 && utf7_bad_ == 0) return at = utf7_, "UTF-7";
        return nullptr;
    }

private:
    static int base64(unsigned char c) {
        if (in(c, 'A', 'Z')) return c - 'A';
        if (in(c, 'a', 'z')) return c - 'a' + 26;
        if (in(c, '0', '9')) return c - '0' + 52;
        return c == '+' ? 62 : c == '/' ? 63 : -1;
    }
    void start_run(const Spot& at) {
        in_run_ = true;
        run_at_ = at;
        bits_ = 0;
        nbits_ = 0;
        units_ = 0;
        good_ = true;
    }
    void run_byte(unsigned char c) {
        const int v = base64(c);
        if (v >= 0 && !(c == '+' && nbits_ == 0 && units_ == 0)) {
            bits_ = (bits_ << 6) | static_cast<std::uint32_t>(v);
            nbits_ += 6;
            if (nbits_ >= 16) {
                nbits_ -= 16;
                const char32_t unit = (bits_ >> nbits_) & 0xFFFF;
                const CharKind k = char_kind(unit);
                good_ = good_ && unit >= 0x80 && k != CharKind::Rare && k != CharKind::Mark;
                ++units_;
            }
            return;
        }
        in_run_ = false;
        if (units_ == 0) return;
        if (good_ && nbits_ < 6 && (bits_ & ((1u << nbits_) - 1)) == 0) {
            keep_first(utf7_, run_at_);
            ++utf7_good_;
        } else {
            ++utf7_bad_;
        }
    }

    unsigned char previous_ = 0;
    Spot hz_, iso2022_, utf7_, run_at_;
    std::uint64_t hz_open_ = 0, hz_close_ = 0, utf7_good_ = 0, utf7_bad_ = 0;
    bool in_run_ = false, good_ = true;
    std::uint32_t bits_ = 0;
    int nbits_ = 0;
    std::uint64_t units_ = 0;
};

// ---- Windows-1252 -------------------------------------------------------------

bool cp1252_undefined(unsigned char c) { return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D; }

// Capital and small letters of Windows-1252, by byte: looked up for every
// byte of a file, so a table.
constexpr unsigned char kUpper = 1, kLower = 2;
struct Cp1252Case {
    unsigned char of[256] = {};
    constexpr Cp1252Case() {
        for (unsigned c = 0; c < 256; ++c) {
            if ((c >= 'A' && c <= 'Z') || c == 0x8A || c == 0x8C || c == 0x8E || c == 0x9F || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
                of[c] = kUpper;
            if ((c >= 'a' && c <= 'z') || c == 0x83 || c == 0x9A || c == 0x9C || c == 0x9E || (c >= 0xDF && c != 0xF7))
                of[c] = kLower;
        }
    }
};
constexpr Cp1252Case kCp1252Case;
bool cp1252_upper(unsigned char c) { return kCp1252Case.of[c] == kUpper; }
bool cp1252_lower(unsigned char c) { return kCp1252Case.of[c] == kLower; }
bool cp1252_letter(unsigned char c) { return kCp1252Case.of[c] != 0; }

// Windows-1252 read right has its high bytes where Western text puts
// accented letters, quotes and dashes. The other Western code pages put
// letters at the bytes where it has symbols and quotes (ISO-8859-2 at
// A1-BF, DOS and Mac Roman at 80-9F), and Turkish has ğ ı ş where it has
// Icelandic ð ý þ: read as Windows-1252 they give symbols inside words,
// capitals after small letters and Icelandic letters. Each high byte is
// judged with the bytes on both sides.
class Cp1252Reading {
public:
    void byte(unsigned char c, const Spot& at) {
        if (pending_) {
            // Inside a run of three or more the line is already judged.
            if (run_ >= 3) {
                pending_ = false;
                ++line_.high;
                in_words_ += in(c | 0x20, 'a', 'z');
            } else {
                judge(c);
            }
        }
        if (!cp1252_letter(c)) word_languages_ = ~0u;
        if (c >= 0x80) {
            if (cp1252_undefined(c)) {
                invalid(at);
            } else {
                pending_ = true;
                c_ = c;
                before_ = previous_;
                at_ = at;
                run_letters_ = (run_ == 0 || run_letters_) && cp1252_letter(c);
                if (++run_ >= 3) odd(at);
            }
        } else {
            end_run();
            if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) invalid(at);
        }
        previous_ = c;
    }
    void end() {
        if (pending_) judge('\n');
        end_run();
    }
    bool quiet() const { return !pending_ && run_ == 0; }
    // Western text has its high bytes alone between ASCII ones, or two
    // letters together (ção, déçu); Chinese and the like have them in runs.
    bool western() const { return lone_ > 3 * runs_; }
    // Some high byte touches an ASCII letter: a lone symbol says nothing.
    bool in_words() const { return in_words_ > 0; }
    void skipped(unsigned char last) { previous_ = last; }
    void new_line() { line_ = Line{}; }

    struct Line {
        bool invalid = false, odd = false;
        std::uint64_t high = 0;
        Spot first_odd, first_invalid;
    };
    const Line& line() const { return line_; }

private:
    void invalid(const Spot& at) {
        line_.invalid = true;
        keep_first(line_.first_invalid, at);
    }
    void odd(const Spot& at) {
        line_.odd = true;
        keep_first(line_.first_odd, at);
    }
    void end_run() {
        if (run_ > 0) ++(run_ == 1 || (run_ == 2 && run_letters_) ? lone_ : runs_);
        run_ = 0;
    }
    void judge(unsigned char after) {
        pending_ = false;
        ++line_.high;
        const unsigned char c = c_;
        const bool inside = cp1252_letter(before_) && cp1252_letter(after);
        const auto ascii_letter = [](unsigned char b) { return in(b | 0x20, 'a', 'z'); };
        // A letter is a word even alone (French à); a sign needs one beside it.
        in_words_ += cp1252_letter(c) || ascii_letter(before_) || ascii_letter(after);
        // Between digits: the shape of GB18030's four-byte characters.
        const auto digit = [](unsigned char b) { return in(b, '0', '9'); };
        if (digit(before_) && digit(after) && c != 0xA0 && c != 0xB7 && !in(c, 0xBC, 0xBE)) return odd(at_);
        bool wrong = false;
        if (c == 0x91 || c == 0x92 || c == 0x97 || c == 0x85 || c == 0xB4) {
            wrong = false;  // apostrophes (’ and ´ typed for it), the em dash and … go anywhere
        } else if (c == 0x96) {
            wrong = cp1252_lower(before_) && cp1252_lower(after);  // DOS û and ù inside words
        } else if (c == 0x8A || c == 0x8E || c == 0x9A || c == 0x9E) {
            // Š Ž š ž: Western text hardly has them, while Mac Roman has
            // ä é ö û and DOS è Ä Ü × at these bytes.
            wrong = true;
        } else if (c == 0x82) {
            wrong = cp1252_letter(before_) || cp1252_letter(after);  // DOS é, rather than a German quote
        } else if (c == 0x84) {
            wrong = cp1252_letter(before_);  // low quotes open, they do not close
        } else if (c == 0xAD) {
            wrong = false;  // soft hyphen
        } else if (c == 0xD0 || c == 0xDD || c == 0xDE || c == 0xF0 || c == 0xFD || c == 0xFE) {
            wrong = true;  // Icelandic letters, or Turkish in ISO-8859-9
        } else if (cp1252_letter(c)) {
            wrong = cp1252_upper(c) && cp1252_lower(before_);
            // The accented letters of one word belong to one language: ø
            // beside í is Czech ř í read in the wrong code page.
            word_languages_ &= languages_of(c);
            wrong = wrong || word_languages_ == 0;
        } else if (in(c, 0xA1, 0xBF)) {
            // Latin-1's signs where ISO-8859-2 has letters (Ž ž ł ś ą ...):
            // few of them touch a word, and each only on one side of it.
            const bool ends_word = cp1252_letter(before_), starts_word = cp1252_letter(after);
            const bool may_end = c == 0xAE || c == 0xA9 || c == 0xBB || ((c == 0xB2 || c == 0xB3 || c == 0xB9) && before_ == 'm');
            const bool may_start = c == 0xA1 || c == 0xBF || c == 0xAB || c == 0xB5 || c == 0xA3 || c == 0xB0;
            wrong = (ends_word && !may_end) || (starts_word && !may_start);
        } else {
            wrong = inside;  // a symbol or quote between two letters
        }
        if (wrong) odd(at_);
    }

    // The Western languages that write a Windows-1252 letter, as bits.
    static unsigned languages_of(unsigned char c) {
        enum : unsigned { Fr = 1, Es = 2, Pt = 4, It = 8, De = 16, Nl = 32, Nordic = 64, Ca = 128, All = 255 };
        if (in(c, 0xC0, 0xDE)) c = static_cast<unsigned char>(c | 0x20);
        switch (c) {
        case 0xE0: return Fr | Pt | It | Ca;               // à
        case 0xE1: return Es | Pt | It;                    // á
        case 0xE2: return Fr | Pt;                         // â
        case 0xE3: return Pt;                              // ã
        case 0xE4: return De | Nordic;                     // ä
        case 0xE5: return Nordic;                          // å
        case 0xE6: return Nordic | Fr;                     // æ
        case 0xE7: return Fr | Pt | Ca;                    // ç
        case 0xE8: return Fr | It | Ca;                    // è
        case 0xEA: return Fr | Pt;                         // ê
        case 0xEB: return Fr | Nl;                         // ë
        case 0xEC: return It;                              // ì
        case 0xED: return Es | Pt | It | Ca;               // í
        case 0xEE: return Fr | It;                         // î
        case 0xEF: return Fr | Nl | Ca;                    // ï
        case 0xF1: return Es;                              // ñ
        case 0xF2: return It | Ca;                         // ò
        case 0xF3: return Es | Pt | It | Ca | Nl;          // ó
        case 0xF4: return Fr | Pt;                         // ô
        case 0xF5: return Pt;                              // õ
        case 0xF6: return De | Nordic | Nl;                // ö
        case 0xF8: return Nordic;                          // ø
        case 0xF9: return Fr | It;                         // ù
        case 0xFA: return Es | Pt | It | Ca;               // ú
        case 0xFB: return Fr;                              // û
        case 0xFC: return De | Es | Ca | Fr;               // ü
        case 0xDF: return De;                              // ß
        case 0x9C: case 0x8C: case 0xFF: case 0x9F: return Fr;  // œ ÿ
        default: return All;                               // é, and ƒ
        }
    }

    bool pending_ = false;
    unsigned char c_ = 0, before_ = '\n', previous_ = '\n';
    int run_ = 0;
    bool run_letters_ = false;
    unsigned word_languages_ = ~0u;
    std::uint64_t lone_ = 0, runs_ = 0, in_words_ = 0;
    Spot at_;
    Line line_;
};

// ---- UTF-16 and UTF-32 --------------------------------------------------------

// Reads the whole file as UTF-16 or UTF-32 in one byte order. Text in
// these shows only characters of a script and punctuation; 8-bit text read
// so gives rare characters, or zero characters and unpaired surrogates. A
// reading that has clearly failed stops counting. A reading a byte-order
// mark names (`marked`) may be in any alphabet and stops only at what no
// text holds.
class WideReading {
public:
    WideReading(int width, bool little, bool marked = false) : width_(width), little_(little), marked_(marked) {}

    void byte(unsigned char c, std::uint64_t offset) {
        if (!alive_) return;
        const int k = static_cast<int>(offset % static_cast<std::uint64_t>(width_));
        const int shift = 8 * (little_ ? k : width_ - 1 - k);
        unit_ |= static_cast<std::uint32_t>(c) << shift;
        if (k == width_ - 1) {
            take(unit_);
            unit_ = 0;
        }
    }
    bool alive() const { return alive_; }
    int width() const { return width_; }
    // Whole units, all valid, and text made of what text is made of.
    bool plausible(std::uint64_t bytes) const {
        if (!alive_ || high_ != 0 || bytes % static_cast<std::uint64_t>(width_) != 0) return false;
        const std::uint64_t chars = ascii_ + tally_.chars;
        return chars >= 2 && tally_.rare * 20 <= chars &&
               (ascii_ + tally_.common + tally_.kana + tally_.hangul) * 10 >= chars * 7 &&
               (tally_.han == 0 || tally_.common * 2 >= tally_.han);
    }
    // Chinese without a single zero byte: only its characters can tell.
    bool clearly_chinese(std::uint64_t bytes) const {
        return plausible(bytes) && tally_.han >= 2 && tally_.common * 10 >= tally_.han * 8 && tally_.rare == 0;
    }
    // For a marked reading: valid units that give text in some script, not
    // rare characters or Chinese characters hardly any of which are common.
    bool readable(std::uint64_t bytes) const {
        const std::uint64_t chars = ascii_ + tally_.chars;
        return alive_ && high_ == 0 && bytes % static_cast<std::uint64_t>(width_) == 0 && tally_.rare * 20 <= chars &&
               (tally_.han == 0 || tally_.common * 2 >= tally_.han);
    }
    // The line where the reading failed, counted in its own characters; 0
    // when it failed on the file as a whole.
    std::uint64_t failed_line(std::uint64_t bytes) const {
        return !alive_ ? died_on_ : high_ != 0 || bytes % static_cast<std::uint64_t>(width_) != 0 ? breaks_ + 1 : 0;
    }

private:
    void die() {
        if (alive_) died_on_ = breaks_ + 1;
        alive_ = false;
    }
    void take(std::uint32_t unit) {
        char32_t cp = unit;
        if (width_ == 2) {
            if (high_ != 0) {
                if (!in(unit, 0xDC00, 0xDFFF)) return die();
                cp = 0x10000 + ((high_ - 0xD800) << 10) + (unit - 0xDC00);
                high_ = 0;
            } else if (in(unit, 0xD800, 0xDBFF)) {
                high_ = unit;
                return;
            } else if (in(unit, 0xDC00, 0xDFFF)) {
                return die();
            }
        } else if (unit > 0x10FFFF || in(unit, 0xD800, 0xDFFF)) {
            return die();
        }
        if (cp == 0 || (cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r') || cp == 0x7F) return die();
        if (cp < 0x80) {
            ++ascii_;
            breaks_ += LineBreaks::ends_line(static_cast<unsigned char>(cp), before_);
            before_ = static_cast<unsigned char>(cp);
        } else {
            tally_.add(char_kind(cp));
            before_ = 0;
        }
        // Stop once the reading cannot come right: it costs a look at every
        // byte, which 8-bit text need not pay for long.
        const std::uint64_t chars = ascii_ + tally_.chars;
        if (!marked_ && chars >= 64 &&
            ((ascii_ + tally_.common + tally_.kana + tally_.hangul) * 2 < chars || tally_.rare * 8 > chars))
            die();
    }

    int width_;
    bool little_;
    bool marked_;
    bool alive_ = true;
    std::uint64_t breaks_ = 0, died_on_ = 0;
    unsigned char before_ = 0;
    std::uint32_t unit_ = 0;
    std::uint32_t high_ = 0;
    std::uint64_t ascii_ = 0;
    Tally tally_;
};

std::string hex(unsigned char c) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%02X", static_cast<unsigned>(c));
    return b;
}

std::string code_point(char32_t cp) {
    char b[16];
    std::snprintf(b, sizeof b, "U+%04X", static_cast<unsigned>(cp));
    return b;
}

}  // namespace

struct EncodingDetector::State {
    std::string name;
    std::string head;  // first bytes, for a byte-order mark
    bool bom = false, bom_decided = false;
    Encoding bom_encoding = Encoding::Utf8;
    // After a UTF-16 or UTF-32 mark, the file read as the mark says.
    std::optional<WideReading> marked;
    std::uint64_t marked_bytes = 0;

    std::uint64_t bytes = 0;
    std::uint64_t line = 1, column = 0;  // of the next byte
    unsigned char previous = '\n';
    bool line_high = false;  // the line so far has a byte 80-FF
    // Letters or digits in ASCII on this line (or printable ASCII skipped
    // unseen), and whether a line had them beside characters beyond ASCII.
    bool line_words = false, words_beside_signs = false;
    Spot first_nul;

    Utf8Validator validator;
    Spot first_bad;  // the first byte that is not UTF-8
    Spot last_lead;  // the last byte that may start a UTF-8 character
    Utf8Reading utf8;
    DoubleByteReading gb{true}, big5{false};
    ShiftJisReading sjis;
    SevenBitReading seven;
    Cp1252Reading cp1252;
    WideReading utf16le{2, true}, utf16be{2, false}, utf32le{4, true}, utf32be{4, false};

    // Lines whose bytes are not UTF-8 (or are, but read as nonsense): the
    // other encodings are judged on these.
    struct Foreign {
        std::uint64_t lines = 0;
        Spot first;
        bool gb_ok = true, big5_ok = true, cp1252_ok = true;
        Tally gb, big5;
        Spot gb_break, big5_break;  // the first byte each reading cannot hold
        std::uint64_t cp1252_high = 0;
        Spot cp1252_first_odd, cp1252_invalid;
        // The first line that reads well as Big5 and not as GBK, and the
        // other way round: a file mixing the two.
        std::uint64_t first_big5_not_gb = 0, first_gb_not_big5 = 0;
        // The first line that reads as Western text in Windows-1252 and, as
        // GBK or Big5, as no common character at all but a rare one or one
        // glued into a Latin word: "Schöne Grüße" among Chinese lines.
        std::uint64_t first_western_not_gb = 0, first_western_not_big5 = 0;
    } foreign;
    // Lines that read well as UTF-8 with characters beyond ASCII, and for
    // each other encoding the first of them that does not read well in it.
    struct Utf8Lines {
        std::uint64_t lines = 0;
        std::uint64_t first = 0;
        std::uint64_t first_not_gb = 0, first_not_big5 = 0, first_not_cp1252 = 0;
    } utf8_lines;
    // The whole file read as GB18030 and Big5, for text that is all valid UTF-8.
    Tally gb_all, big5_all;
    bool gb_all_ok = true, big5_all_ok = true;

    void feed(std::string_view piece);
    void take_mark(std::string_view after);
    void feed_marked(std::string_view piece);
    void byte(unsigned char c);
    void end_line();
    void finish();
    Encoding decide() const;
    void broken_chinese(const Foreign& f) const;
    [[noreturn]] void refuse_stray(const Spot& at, Encoding rest) const;
    bool quiet() const {
        return utf8.quiet() && gb.quiet() && big5.quiet() && cp1252.quiet() && seven.quiet() && !utf16le.alive() && !utf16be.alive() &&
               !utf32le.alive() && !utf32be.alive();
    }
    Spot here(unsigned char c) const { return Spot{line, column + 1, c, 0}; }
};

void EncodingDetector::State::byte(unsigned char c) {
    const Spot at = here(c);
    if (c == 0) keep_first(first_nul, at);
    if (c >= 0x80) line_high = true;
    if (c >= 0xC0) last_lead = at;
    line_words = line_words || in(c | 0x20, 'a', 'z') || in(c, '0', '9');
    utf8.byte(c, at);
    gb.byte(c, at);
    big5.byte(c, at);
    sjis.byte(c);
    seven.byte(c, at);
    cp1252.byte(c, at);
    utf16le.byte(c, bytes);
    utf16be.byte(c, bytes);
    utf32le.byte(c, bytes);
    utf32be.byte(c, bytes);
    const bool ends_line = LineBreaks::ends_line(c, previous);
    previous = c;
    ++bytes;
    ++column;
    if (ends_line) {
        end_line();
        ++line;
    }
    // The LF of CR LF belongs to the break the CR made.
    if (c == '\r' || c == '\n') column = 0;
}

// Two-byte characters a line needs before its GBK and Big5 readings are
// compared.
constexpr std::uint64_t kFewestToJudge = 4;

void EncodingDetector::State::end_line() {
    const auto& u = utf8.line();
    const auto& g = gb.line();
    const auto& b = big5.line();
    const auto& w = cp1252.line();
    words_beside_signs = words_beside_signs || (line_words && u.multibyte > 0);
    line_words = false;
    if (line_high) {
        const bool valid = !u.broken && !u.relaxed;
        const bool reads_well = valid && u.multibyte > 0 && u.tally.rare == 0 &&
                                (u.tally.han == 0 || u.tally.common * 2 >= u.tally.han);
        const bool gb_well = !g.broken && chinese_like(g.tally, 50);
        const bool big5_well = !b.broken && chinese_like(b.tally, 50);
        const bool cp1252_well = !w.invalid && !w.odd;
        if (reads_well) {
            if (utf8_lines.lines++ == 0) utf8_lines.first = line;
            if (!gb_well && utf8_lines.first_not_gb == 0) utf8_lines.first_not_gb = line;
            if (!big5_well && utf8_lines.first_not_big5 == 0) utf8_lines.first_not_big5 = line;
            if (!cp1252_well && utf8_lines.first_not_cp1252 == 0) utf8_lines.first_not_cp1252 = line;
        } else {
            if (foreign.lines++ == 0) foreign.first = Spot{line, 0, 0, 0};
            foreign.gb_ok = foreign.gb_ok && !g.broken;
            foreign.big5_ok = foreign.big5_ok && !b.broken;
            foreign.cp1252_ok = foreign.cp1252_ok && !w.invalid;
            foreign.gb += g.tally;
            foreign.big5 += b.tally;
            if (g.broken) keep_first(foreign.gb_break, g.first_break);
            if (b.broken) keep_first(foreign.big5_break, b.first_break);
            foreign.cp1252_high += w.high;
            if (w.odd) keep_first(foreign.cp1252_first_odd, w.first_odd);
            if (w.invalid) keep_first(foreign.cp1252_invalid, w.first_invalid);
            // A line that breaks in one reading tells; otherwise a few
            // characters (a review's tail after a line break, say) read as
            // common Chinese in both too often to tell anything.
            const bool judgeable = g.tally.chars >= kFewestToJudge && b.tally.chars >= kFewestToJudge;
            if (big5_well && (g.broken || (!gb_well && judgeable)) && foreign.first_big5_not_gb == 0)
                foreign.first_big5_not_gb = line;
            if (gb_well && (b.broken || (!big5_well && judgeable)) && foreign.first_gb_not_big5 == 0)
                foreign.first_gb_not_big5 = line;
            const auto western = [&](const DoubleByteReading::Line& r) {
                return cp1252_well && w.high > 0 && r.tally.common == 0 && (r.glued > 0 || r.tally.rare > 0);
            };
            if (western(g) && foreign.first_western_not_gb == 0) foreign.first_western_not_gb = line;
            if (western(b) && foreign.first_western_not_big5 == 0) foreign.first_western_not_big5 = line;
        }
    }
    gb_all += g.tally;
    big5_all += b.tally;
    gb_all_ok = gb_all_ok && !g.broken;
    big5_all_ok = big5_all_ok && !b.broken;
    line_high = false;
    utf8.new_line();
    gb.new_line();
    big5.new_line();
    cp1252.new_line();
}

void EncodingDetector::State::feed(std::string_view piece) {
    const bool had_bad = validator.bad_bytes() > 0;
    const std::size_t bad = validator.feed(piece);
    const std::uint64_t line_before = line, column_before = column;
    const auto* p = reinterpret_cast<const unsigned char*>(piece.data());
    const std::size_t n = piece.size();
    if (!had_bad && bad != std::string_view::npos) {
        const std::string_view before = piece.substr(0, bad);
        const std::size_t nl = before.find_last_of("\r\n");
        LineBreaks breaks(previous == '\r');
        first_bad = Spot{line_before + breaks.count(before),
                         nl == std::string_view::npos ? column_before + bad + 1 : bad - nl, p[bad], 0};
        // A character begun in an earlier piece and broken in this one is
        // named by its first byte, as when the file comes in one piece.
        if (validator.lead_earlier()) first_bad = last_lead;
    }
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    std::size_t i = 0;
    while (i < n) {
        // Printable ASCII changes no reading that is between characters:
        // skip it a word at a time.
        if (i + 8 <= n && previous < 0x80 && quiet()) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            // No byte 80-FF, none below 20, no 7F, and no + or ~, which may
            // start a seven-bit encoding's mark.
            const auto has = [&](unsigned char b) {
                const std::uint64_t v = word ^ (kOnes * b);
                return ((v - kOnes) & ~v & kHighBits) != 0;
            };
            if (!(word & kHighBits) && !((word - kOnes * 0x20) & ~word & kHighBits) && !has(0x7F) && !has('+') &&
                !has('~')) {
                previous = p[i + 7];
                line_words = true;
                seven.skipped(previous);
                utf8.skipped(previous);
                gb.skipped(previous);
                big5.skipped(previous);
                cp1252.skipped(previous);
                bytes += 8;
                column += 8;
                i += 8;
                continue;
            }
        }
        byte(p[i]);
        ++i;
    }
}

void EncodingDetector::State::finish() {
    utf8.end();
    gb.end();
    big5.end();
    cp1252.end();
    seven.end();
    if (column > 0) end_line();
}

namespace {

// "byte 0xA0" and where it is on its line, " (byte 5 of the line)".
std::string byte_en(const Spot& s) { return "byte " + hex(s.byte); }
std::string column_en(const Spot& s) { return " (byte " + std::to_string(s.column) + " of the line)"; }
std::string byte_zh(const Spot& s) { return "第 " + std::to_string(s.column) + " 个字节 " + hex(s.byte); }

[[noreturn]] void refuse(const std::string& name, const Spot& s, const std::string& en, const std::string& zh) {
    throw Error(where_en(name, s.line) + en, where_zh(name, s.line) + zh);
}

const char* kSaveEn = "; save the file as UTF-8 and try again";
const char* kSaveZh = "；请将文件另存为 UTF-8 后重试";

}  // namespace

Encoding EncodingDetector::State::decide() const {
    const State& s = *this;
    const std::string& n = s.name;
    const std::uint64_t size = s.bytes;

    // Zero bytes: text has none, except UTF-16 and UTF-32, where they must
    // fall where those put them and the reading must make sense.
    if (s.first_nul.set()) {
        if (s.utf32le.plausible(size)) return Encoding::Utf32LE;
        if (s.utf32be.plausible(size)) return Encoding::Utf32BE;
        const bool le = s.utf16le.plausible(size), be = s.utf16be.plausible(size);
        if (le != be) return le ? Encoding::Utf16LE : Encoding::Utf16BE;
        refuse(n, s.first_nul,
               byte_en(s.first_nul) + " is a zero byte" + column_en(s.first_nul) +
                   ", which text does not have, and the file does not read as "
                                      "UTF-16 or UTF-32 either: it is binary or damaged",
               byte_zh(s.first_nul) + " 是空字节，文本中不会有；文件也不像 UTF-16 或 UTF-32 文本：它是二进制文件或已损坏");
    }

    const bool utf8_valid = s.validator.bad_bytes() == 0 && !s.validator.mid_sequence();
    // Chinese in UTF-16 on one line has no zero byte at all.
    if (!utf8_valid) {
        const bool le = s.utf16le.clearly_chinese(size), be = s.utf16be.clearly_chinese(size);
        if (le != be) return le ? Encoding::Utf16LE : Encoding::Utf16BE;
    }

    const bool gb_whole = s.gb_all_ok && chinese_like(s.gb_all, 60) && s.gb.glued() * 4 < s.gb.pairs();
    const bool big5_whole =
        s.big5_all_ok && s.big5.hkscs() == 0 && chinese_like(s.big5_all, 60) && s.big5.glued() * 4 < s.big5.pairs();
    if (utf8_valid) {
        const Tally& t = s.utf8.tally();
        Spot mark;
        if (const char* seven = s.utf8.multibyte() == 0 ? s.seven.which(mark) : nullptr)
            refuse(n, mark,
                   std::string("byte ") + hex(mark.byte) + column_en(mark) + " is a mark of " + seven +
                       ", which writes Chinese, Japanese or Korean in ASCII bytes and which this program does not read" +
                       kSaveEn,
                   byte_zh(mark) + " 是 " + seven + " 编码的标记，这种编码用 ASCII 字节写中日韩文字，本程序不读取" + kSaveZh);
        // Short GBK can also be valid UTF-8 made only of signs and controls
        // (聽聞 is C2 A0 C2 84): with no words on their lines to go by, that
        // reading is no better than nonsense.
        const bool bare_signs = s.utf8.wordy() == 0 && s.utf8.long_sequences() == 0 && !s.words_beside_signs;
        if (s.utf8.multibyte() == 0 || (t.rare == 0 && !bare_signs)) return Encoding::Utf8;
        // Short GBK text can be valid UTF-8 by chance; it then reads as
        // marks and letters of several alphabets jumbled together.
        if (gb_whole && !big5_whole) return Encoding::Gb18030;
        if (big5_whole && !gb_whole) return Encoding::Big5;
        if (!bare_signs && t.rare * 2 < s.utf8.multibyte()) return Encoding::Utf8;
        const Spot& odd = s.utf8.first_odd().set() ? s.utf8.first_odd() : s.utf8.first_multibyte();
        refuse(n, odd,
               byte_en(odd) + column_en(odd) + " starts valid UTF-8 that reads as nonsense (" + code_point(odd.cp) +
                   ": a mark with no letter to go with, letters of two alphabets in one word, or signs alone), and the "
                   "file does not read clearly as GBK or Big5 either" + kSaveEn,
               byte_zh(odd) + " 起是合法的 UTF-8，但读出来没有意义（" + code_point(odd.cp) +
                   "），文件也不像 GBK 或 Big5 编码" + kSaveZh);
    }

    // Well-shaped but forbidden UTF-8: surrogates written one by one
    // (CESU-8, as Java and MySQL's utf8mb3 write them) and overlong forms.
    if (s.utf8.broken() == 0 && s.utf8.relaxed() > 0) {
        const Spot& b = s.first_bad;
        const std::string what = s.utf8.surrogate_seen()
                                     ? "a UTF-16 surrogate written as UTF-8 (CESU-8, as Java and MySQL's utf8mb3 write them)"
                                     : "an overlong UTF-8 form";
        refuse(n, b,
               byte_en(b) + " is not UTF-8" + column_en(b) + ": " + what + "; this is damaged UTF-8, not another encoding" + kSaveEn,
               byte_zh(b) + " 不是 UTF-8：" + (s.utf8.surrogate_seen() ? "按 UTF-8 写出的 UTF-16 代理项（CESU-8）" : "超长的 UTF-8 形式") +
                   "，这是损坏的 UTF-8，不是另一种编码" + kSaveZh);
    }

    const Foreign& f = s.foreign;
    const Spot& bad = s.first_bad.set() ? s.first_bad : s.utf8.cut();
    const bool japanese = s.sjis.japanese() || (f.gb.kana >= 2 && f.gb.kana * 4 >= f.gb.chars);
    const bool korean = !japanese && f.gb_ok && s.gb.hangul_pairs() >= 4 && s.gb.hangul_pairs() * 10 >= s.gb.pairs() * 8 &&
                        s.gb.spaced() * 5 >= s.gb.hangul_pairs() && f.gb.common * 10 < f.gb.han * 8;
    if (japanese || korean) {
        const std::string lang_en = japanese ? "Japanese (Shift-JIS or EUC-JP)" : "Korean (EUC-KR)";
        const std::string lang_zh = japanese ? "日文（Shift-JIS 或 EUC-JP）" : "韩文（EUC-KR）";
        refuse(n, bad,
               byte_en(bad) + " is not UTF-8" + column_en(bad) + ", and the text looks like another encoding, " + lang_en +
                   ", which this program does not read" + kSaveEn,
               byte_zh(bad) + " 不是 UTF-8，文本看起来是另一种编码：" + lang_zh + "，本程序不读取这种编码" + kSaveZh);
    }
    if (s.big5.hkscs() > 0 && f.big5.han >= 3 && chinese_like(f.big5, 60) && !(f.gb_ok && chinese_like(f.gb, 60)))
        refuse(n, bad,
               byte_en(bad) + " is not UTF-8" + column_en(bad) +
                   ", and the text looks like Big5 with Hong Kong characters (Big5-HKSCS), "
                              "which this program does not read" + kSaveEn,
               byte_zh(bad) + " 不是 UTF-8，文本看起来是带香港字的 Big5（Big5-HKSCS），本程序不读取这种编码" + kSaveZh);

    const bool have_utf8 = s.utf8_lines.lines > 0;
    // Beside lines of UTF-8, one character read as Chinese could as well be
    // damage: it takes two.
    const auto chinese = [&](bool ok, const Tally& t, const DoubleByteReading& r) {
        return ok && chinese_like(t, 60) && (!have_utf8 || t.han >= 2) && r.glued() * 4 < r.pairs();
    };
    bool gb = chinese(f.gb_ok, f.gb, s.gb);
    bool big5 = chinese(f.big5_ok && s.big5.hkscs() == 0, f.big5, s.big5);
    // Emoji and other characters beyond GBK take four bytes of a shape no
    // other encoding makes.
    const bool gb_four = f.gb_ok && f.gb.chars > 0 && f.gb.chars == s.gb.four_good() && f.gb.rare == 0;
    const bool cp1252 =
        f.cp1252_ok && !f.cp1252_first_odd.set() && f.cp1252_high > 0 && s.cp1252.western() && s.cp1252.in_words();
    if (gb && big5) {
        // Both read as Chinese only in very short text: the one with clearly
        // more common characters wins, else neither.
        const auto score = [](const Tally& t) { return t.common * 100 / t.han; };
        if (score(f.gb) >= score(f.big5) + 25 && f.gb.common >= f.big5.common + 2) big5 = false;
        else if (score(f.big5) >= score(f.gb) + 25 && f.big5.common >= f.gb.common + 2) gb = false;
        else gb = big5 = false;
    }
    // The encoding the lines that are not UTF-8 are in, unless lines of
    // UTF-8 stand beside them: then name the first line of the fewer kind.
    const auto take = [&](Encoding chosen, std::uint64_t first_not) {
        if (first_not == 0) return chosen;
        const char* other = encoding_name(chosen);
        if (s.utf8_lines.lines > f.lines) {
            refuse(n, bad,
                   byte_en(bad) + " is not UTF-8" + column_en(bad) + ": this line reads as " + other + " while line " +
                       std::to_string(s.utf8_lines.first) + " and others are UTF-8; the file mixes two encodings" + kSaveEn,
                   byte_zh(bad) + " 不是 UTF-8：这一行是 " + other + " 编码，而第 " + std::to_string(s.utf8_lines.first) +
                       " 行等是 UTF-8；文件混用了两种编码" + kSaveZh);
        }
        refuse(n, Spot{first_not, 0, 0, 0},
               std::string("this line is UTF-8 while line ") + std::to_string(f.first.line) + " and others are " + other +
                   "; the file mixes two encodings" + kSaveEn,
               std::string("这一行是 UTF-8，而第 ") + std::to_string(f.first.line) + " 行等是 " + other +
                   " 编码；文件混用了两种编码" + kSaveZh);
    };
    // A line that reads as the other of GBK and Big5 only.
    const auto agree = [&](Encoding chosen, std::uint64_t other_line, Encoding other) {
        if (other_line == 0) return;
        refuse(n, Spot{other_line, 0, 0, 0},
               std::string("this line reads as ") + encoding_name(other) + " while the rest of the file reads as " +
                   encoding_name(chosen) + "; the file mixes two encodings or is damaged" + kSaveEn,
               std::string("这一行是 ") + encoding_name(other) + " 编码，而文件其余部分是 " + encoding_name(chosen) +
                   " 编码；文件混用了两种编码或已损坏" + kSaveZh);
    };
    if (gb_four || (gb && !cp1252)) {
        agree(Encoding::Gb18030, f.first_big5_not_gb, Encoding::Big5);
        agree(Encoding::Gb18030, f.first_western_not_gb, Encoding::Windows1252);
        return take(Encoding::Gb18030, s.utf8_lines.first_not_gb);
    }
    if (big5 && !cp1252) {
        agree(Encoding::Big5, f.first_gb_not_big5, Encoding::Gb18030);
        agree(Encoding::Big5, f.first_western_not_big5, Encoding::Windows1252);
        return take(Encoding::Big5, s.utf8_lines.first_not_big5);
    }

    // A few broken spots among UTF-8 characters are damage: GBK read as
    // UTF-8 breaks at almost every character.
    const std::uint64_t damage = s.validator.bad_runs() + (s.validator.mid_sequence() ? 1 : 0);
    const std::uint64_t good = s.validator.multibyte_sequences(), long_ = s.validator.long_sequences();
    if ((long_ >= 2 && long_ >= 2 * damage) || (good >= 2 && good >= 2 * damage))
        refuse(n, bad,
               "invalid UTF-8 byte sequence at " + byte_en(bad) + ", byte " + std::to_string(bad.column) +
                   " of the line (the rest of the file is UTF-8, so this byte is damage, not another encoding)",
               "UTF-8 字节序列无效，位于" + byte_zh(bad) + "（文件其余部分是 UTF-8，此处字节已损坏）");
    if (cp1252 && !gb && !big5) return take(Encoding::Windows1252, s.utf8_lines.first_not_cp1252);
    broken_chinese(f);
    // Western text but for a byte Windows-1252 leaves unassigned or a control.
    if (!f.cp1252_ok && f.cp1252_invalid.set() && !f.cp1252_first_odd.set() && f.cp1252_high > 0 &&
        s.cp1252.western() && s.cp1252.in_words() && !gb && !big5)
        refuse_stray(f.cp1252_invalid, Encoding::Windows1252);

    if (f.cp1252_ok && f.cp1252_first_odd.set() && s.cp1252.western() && !gb && !big5) {
        const Spot& odd = f.cp1252_first_odd;
        refuse(n, odd,
               byte_en(odd) + " is not UTF-8" + column_en(odd) +
                   ", and in Windows-1252 it would stand where Western text has no such "
                   "character; the file is likely in another code page (ISO-8859-2, Turkish, Mac Roman, "
                   "DOS 437/850), and which one cannot be told from its bytes" + kSaveEn,
               byte_zh(odd) + " 不是 UTF-8，按 Windows-1252 读也不合西文常理；文件可能是另一种代码页（ISO-8859-2、土耳其文、"
                              "Mac Roman、DOS 437/850），无法从字节判断是哪一种" + kSaveZh);
    }
    std::string what_en = byte_en(bad) + column_en(bad) + " starts a UTF-8 character that the file ends inside",
                what_zh = byte_zh(bad) + " 开始的 UTF-8 字符被文件结尾截断";
    Spot at = bad;
    if (s.validator.bad_bytes() > 0) {
        what_en = byte_en(bad) + " is not UTF-8" + column_en(bad);
        what_zh = byte_zh(bad) + " 不是 UTF-8";
    }
    refuse(n, at,
           what_en + ", and the file does not read clearly as GB18030, Big5 or Windows-1252 either" + kSaveEn,
           what_zh + "，文件也不像 GB18030、Big5 或 Windows-1252 编码" + kSaveZh);
}

// Text that reads as Chinese in GBK or Big5 but for a few bytes that no
// character of it can hold (a Windows-1252 € among GBK lines, damage):
// the trouble is at the first of those bytes, not at the first byte that
// is not UTF-8. Likewise for Windows-1252 below.
void EncodingDetector::State::broken_chinese(const Foreign& f) const {
    const auto near = [](bool ok, const Tally& t, const DoubleByteReading& r, const Spot& at) {
        return !ok && at.set() && chinese_like(t, 60) && r.glued() * 4 < r.pairs();
    };
    const bool gb = near(f.gb_ok, f.gb, this->gb, f.gb_break);
    const bool big5 = near(f.big5_ok, f.big5, this->big5, f.big5_break) && this->big5.hkscs() == 0;
    if (gb != big5) refuse_stray(gb ? f.gb_break : f.big5_break, gb ? Encoding::Gb18030 : Encoding::Big5);
}

void EncodingDetector::State::refuse_stray(const Spot& at, Encoding rest) const {
    const char* e = encoding_name(rest);
    refuse(name, at,
           byte_en(at) + column_en(at) + " cannot be " + e + " text, while the rest of the file reads as " + e +
               "; the file is damaged or mixes two encodings" + kSaveEn,
           byte_zh(at) + " 不可能是 " + e + " 文本，而文件其余部分是 " + e + " 编码；文件已损坏或混用了两种编码" + kSaveZh);
}

EncodingDetector::EncodingDetector(std::string name) : state_(std::make_unique<State>()) { state_->name = std::move(name); }
EncodingDetector::~EncodingDetector() = default;
EncodingDetector::EncodingDetector(EncodingDetector&&) noexcept = default;
EncodingDetector& EncodingDetector::operator=(EncodingDetector&&) noexcept = default;

bool EncodingDetector::settled() const { return state_->bom && !state_->marked; }

void EncodingDetector::State::take_mark(std::string_view after) {
    const bool little = bom_encoding == Encoding::Utf16LE || bom_encoding == Encoding::Utf32LE;
    if (bom_encoding == Encoding::Utf16LE || bom_encoding == Encoding::Utf16BE) marked.emplace(2, little, true);
    if (bom_encoding == Encoding::Utf32LE || bom_encoding == Encoding::Utf32BE) marked.emplace(4, little, true);
    if (!marked) return;
    // A mark is one unit long; the head may hold bytes after it.
    feed_marked(std::string_view(head).substr(std::min(std::size_t(marked->width()), head.size())));
    feed_marked(after);
}

void EncodingDetector::State::feed_marked(std::string_view piece) {
    if (!marked) return;
    for (const char c : piece) marked->byte(static_cast<unsigned char>(c), marked_bytes++);
}

void EncodingDetector::feed(std::string_view piece) {
    State& s = *state_;
    if (s.bom) return s.feed_marked(piece);
    if (!s.bom_decided) {
        const std::size_t take = std::min<std::size_t>(4 - s.head.size(), piece.size());
        s.head.append(piece.substr(0, take));
        const auto h = [&](std::size_t k) { return static_cast<unsigned char>(s.head[k]); };
        const std::size_t got = s.head.size();
        // FF FE starts both UTF-16LE's mark and UTF-32LE's (FF FE 00 00).
        if (got >= 3 && h(0) == 0xEF && h(1) == 0xBB && h(2) == 0xBF) {
            s.bom = true, s.bom_encoding = Encoding::Utf8Bom;
        } else if (got >= 2 && h(0) == 0xFE && h(1) == 0xFF) {
            s.bom = true, s.bom_encoding = Encoding::Utf16BE;
        } else if (got == 4 && h(0) == 0xFF && h(1) == 0xFE) {
            s.bom = true, s.bom_encoding = h(2) == 0 && h(3) == 0 ? Encoding::Utf32LE : Encoding::Utf16LE;
        } else if (got == 4 && h(0) == 0 && h(1) == 0 && h(2) == 0xFE && h(3) == 0xFF) {
            s.bom = true, s.bom_encoding = Encoding::Utf32BE;
        }
        s.bom_decided = s.bom || got == 4;
        if (s.bom) return s.take_mark(piece.substr(take));
    }
    s.feed(piece);
}

Encoding EncodingDetector::result() const {
    const State& s = *state_;
    if (s.marked && !s.marked->readable(s.marked_bytes)) {
        const char* e = encoding_name(s.bom_encoding);
        const std::uint64_t line = s.marked->failed_line(s.marked_bytes);
        throw Error(where_en(s.name, line) + "the file starts with the byte-order mark of " + e +
                        ", but what follows does not read as " + e + " text" + kSaveEn,
                    where_zh(s.name, line) + "文件以 " + e + " 的字节顺序标记开头，但后面的内容不是 " + e + " 文本" +
                        kSaveZh);
    }
    if (s.bom) return s.bom_encoding;
    // Fewer than four bytes: a mark may still be one.
    if (!s.bom_decided) {
        const auto h = [&](std::size_t k) { return static_cast<unsigned char>(s.head[k]); };
        if (s.head.size() >= 2 && h(0) == 0xFF && h(1) == 0xFE) return Encoding::Utf16LE;
    }
    State done = s;
    done.finish();
    return done.decide();
}

Encoding detect_encoding(std::string_view bytes, std::string_view name) {
    EncodingDetector d{std::string(name)};
    d.feed(bytes);
    return d.result();
}

}  // namespace sentiment
