#include <gtest/gtest.h>

#include "io/line_reader.h"
#include "test_support.h"
#include "text/errors.h"
#include "text/text_decoder.h"
#include "test_support.h"

using namespace sentiment;
using namespace std::string_literals;

namespace {

struct EncodedCase {
    const char* name;
    std::string bytes;
    Encoding encoding;
    friend void PrintTo(const EncodedCase& c, std::ostream* os) { *os << c.name; }
};

// Every form of the two lines "你好" and "世界".
const std::vector<std::string> kLines = {"你好", "世界"};

class EveryEncoding : public ::testing::TestWithParam<EncodedCase> {};

TEST_P(EveryEncoding, DetectsAndDecodesBothLines) {
    const auto& c = GetParam();
    EXPECT_EQ(detect_encoding(c.bytes, "t.txt"), c.encoding);
    EXPECT_EQ(read_lines(c.bytes, "t.txt"), kLines);
}

TEST_P(EveryEncoding, GivesTheSameLinesWhenFedOneByteAtATime) {
    const auto& c = GetParam();
    Decoder d(c.encoding, "t.txt");
    std::string out;
    for (char b : c.bytes) d.feed(std::string_view(&b, 1), out);
    d.finish();
    EXPECT_EQ(read_lines(out, "t.txt"), kLines);
}

INSTANTIATE_TEST_SUITE_P(
    Decoder, EveryEncoding,
    ::testing::Values(
        EncodedCase{"utf8", "你好\n世界\n", Encoding::Utf8},
        EncodedCase{"utf8_crlf", "你好\r\n世界\r\n", Encoding::Utf8},
        EncodedCase{"utf8_no_final_newline", "你好\n世界", Encoding::Utf8},
        EncodedCase{"utf8_bom", "\xEF\xBB\xBF你好\r\n世界", Encoding::Utf8Bom},
        EncodedCase{"utf16le_bom", "\xFF\xFE\x60\x4F\x7D\x59\x0D\x00\x0A\x00\x16\x4E\x4C\x75\x0A\x00"s, Encoding::Utf16LE},
        EncodedCase{"utf16be_bom", "\xFE\xFF\x4F\x60\x59\x7D\x00\x0A\x4E\x16\x75\x4C"s, Encoding::Utf16BE},
        EncodedCase{"gb18030_crlf", "\xC4\xE3\xBA\xC3\r\n\xCA\xC0\xBD\xE7\n", Encoding::Gb18030},
        EncodedCase{"big5", "\xA7\x41\xA6\x6E\n\xA5\x40\xAC\xC9\n", Encoding::Big5},
        EncodedCase{"utf32le_bom", "\xFF\xFE\0\0\x60\x4F\0\0\x7D\x59\0\0\n\0\0\0\x16\x4E\0\0\x4C\x75\0\0"s, Encoding::Utf32LE},
        EncodedCase{"utf32be_bom", "\0\0\xFE\xFF\0\0\x4F\x60\0\0\x59\x7D\0\0\0\n\0\0\x4E\x16\0\0\x75\x4C"s, Encoding::Utf32BE}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Decoder, KeepsCharactersOutsideTheBasicPlane) {
    EXPECT_EQ(decode_text("\xFF\xFE\x3D\xD8\x00\xDE"s, "t.txt"), "😀");
    EXPECT_EQ(decode_text("ok \x94\x39\xFC\x36"s, "t.txt"), "ok 😀");  // four-byte GB18030
}

TEST(Decoder, PlainAsciiIsUtf8AndEmptyIsNothing) {
    EXPECT_EQ(detect_encoding("hello\n", "t.txt"), Encoding::Utf8);
    EXPECT_TRUE(read_lines("", "t.txt").empty());
    EXPECT_EQ(read_lines("\n\n", "t.txt"), (std::vector<std::string>{"", ""}));
}

struct BadCase {
    const char* name;
    std::string bytes;
    const char* where;  // expected "file line N" in the message
    friend void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }
};

class InvalidBytes : public ::testing::TestWithParam<BadCase> {};

TEST_P(InvalidBytes, AreRefusedWithFileAndLine) {
    const auto& c = GetParam();
    try {
        read_lines(c.bytes, "in.txt");
        FAIL() << "no error for " << c.name;
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(c.where), std::string::npos) << e.what();
        EXPECT_NE(e.chinese().find("in.txt"), std::string::npos) << e.chinese();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Decoder, InvalidBytes,
    ::testing::Values(
        // Mostly good UTF-8 with one damaged byte on line 3 must not be
        // reinterpreted as GB18030.
        BadCase{"damaged_utf8", "好评很好，非常满意\n服务很好，很满意\n坏\xFF了\n很好很好\n", "in.txt line 3"},
        BadCase{"no_encoding_fits", "abc\ndef \x81 ghi\n", "in.txt line 2"},
        BadCase{"utf8_bom_then_garbage", "\xEF\xBB\xBFok\n\xC3\x28\n", "in.txt line 2"},
        // The mark settles the encoding, but zero bytes are still no text.
        BadCase{"utf8_bom_then_zero_bytes", "\xEF\xBB\xBFok\nabc\0\0def\n"s, "in.txt line 2"},
        BadCase{"utf16_odd_length", "\xFF\xFE\x41\x00\x42"s, "in.txt line 1"},
        BadCase{"utf16_lone_surrogate", "\xFF\xFE\x41\x00\x0A\x00\x00\xD8\x41\x00"s, "in.txt line 2"},
        BadCase{"utf8_cut_at_end", "\xEF\xBB\xBFok\n\xE4\xBD"s, "in.txt line 2"},
        // Without a byte-order mark the cut last character is the only damage
        // and is found only at the end of the input.
        BadCase{"utf8_cut_at_end_no_bom", "好评好评好评好评\n\xE5\xA5"s, "in.txt line 2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf8Validator, RejectsOverlongsSurrogatesAndOutOfRange) {
    for (std::string bad : {"\xC0\xAF"s, "\xE0\x80\xAF"s, "\xED\xA0\x80"s, "\xF4\x90\x80\x80"s, "\xF5\x80"s, "\x80"s}) {
        Utf8Validator v;
        EXPECT_NE(v.feed(bad), std::string_view::npos) << quoted(bad);
    }
    Utf8Validator v;
    EXPECT_EQ(v.feed("\xF0\x9F"), std::string_view::npos);
    EXPECT_TRUE(v.mid_sequence());
    EXPECT_EQ(v.feed("\x98\x80"), std::string_view::npos);
    EXPECT_FALSE(v.mid_sequence());
}

}  // namespace

namespace {

// Text that is not UTF-8 is decoded only when the bytes leave no doubt;
// otherwise it is refused, never garbled.
struct GuessCase {
    const char* name;
    std::string bytes;
    Encoding encoding;
    std::vector<std::string> lines;
    friend void PrintTo(const GuessCase& c, std::ostream* os) { *os << c.name; }
};

class EncodingGuess : public ::testing::TestWithParam<GuessCase> {};

TEST_P(EncodingGuess, PicksTheEncodingThatKeepsTheText) {
    const auto& c = GetParam();
    EXPECT_EQ(detect_encoding(c.bytes, "t.txt"), c.encoding);
    EXPECT_EQ(read_lines(c.bytes, "t.txt"), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Decoder, EncodingGuess,
    ::testing::Values(
        GuessCase{"cp1252_apostrophe", "I don\x92t like this film at all\n", Encoding::Windows1252,
                  {"I don’t like this film at all"}},
        GuessCase{"cp1252_accents", "caf\xE9 cr\xE8me\nna\xEFve r\xE9sum\xE9 \x80 5\n", Encoding::Windows1252,
                  {"café crème", "naïve résumé € 5"}},
        GuessCase{"gbk_short", "\xCC\xAB\xC4\xD1\xB3\xD4\xC1\xCB\n", Encoding::Gb18030, {"太难吃了"}},
        GuessCase{"gbk_with_ascii", "ok \xBA\xC3\xB3\xD4 good\r\n", Encoding::Gb18030, {"ok 好吃 good"}},
        // Traditional characters often have an ASCII-range trail byte.
        GuessCase{"gbk_traditional", "\x95\x72\xe9\x67\xe9\x4c\xc1\xcb\xa3\xac\xbf\xea\xd7\xd3\xd2\xb2\x9b\x5d\xbd\x6f\n",
                  Encoding::Gb18030, {"時間長了，筷子也沒給"}},
        // A review's tail after a line break (坑爹") reads as common Big5 (諧註)
        // too: too short to be a mixture.
        GuessCase{"gbk_traditional_with_short_tail",
                  "\x95\x72\xe9\x67\xe9\x4c\xc1\xcb\xa3\xac\xbf\xea\xd7\xd3\xd2\xb2\x9b\x5d\xbd\x6f\n\xbf\xd3\xb5\xf9\"\n",
                  Encoding::Gb18030, {"時間長了，筷子也沒給", "坑爹\""}},
        // Half of these pairs are also well-formed UTF-8.
        GuessCase{"gbk_looking_like_utf8", "\xd0\xa1\xb2\xcb\xba\xdc\xba\xc3\xb3\xd4\xa1\xa3", Encoding::Gb18030,
                  {"小菜很好吃。"}},
        GuessCase{"utf16le_chinese_no_bom", "}Y\x03T\n\0}Y\x03T"s, Encoding::Utf16LE, {"好吃", "好吃"}},
        GuessCase{"utf16le_no_bom", "g\0o\0o\0d\0\n\0`O}Y\n\0"s, Encoding::Utf16LE, {"good", "你好"}},
        GuessCase{"utf16be_no_bom", "\0b\0a\0d\0\r\0\nO`Y}"s, Encoding::Utf16BE, {"bad", "你好"}},
        // Traditional Chinese from Taiwan: Big5, which GBK would garble.
        GuessCase{"big5_two_lines",
                  "\xb3\x6f\xae\x61\xa9\xb1\xaa\xba\xa4\xfb\xa6\xd7\xc4\xd1\xab\x44\xb1\x60\xa6\x6e\xa6\x59\xa1\x41\n"
                  "\xb0\x65\xc0\x5c\xa4\xd3\xba\x43\xa4\x46\xa1\x41\n",
                  Encoding::Big5, {"這家店的牛肉麵非常好吃，", "送餐太慢了，"}},
        GuessCase{"big5_one_line", "\xb0\x65\xc0\x5c\xa4\xd3\xba\x43\xa4\x46\xa1\x41\xb5\xe6\xb3\xa3\xb2\x44\xa4\x46",
                  Encoding::Big5, {"送餐太慢了，菜都涼了"}},
        // One line of Chinese in UTF-16 has no zero byte: its characters tell.
        GuessCase{"utf16le_one_line_no_zero_byte", "\x01\x90\x10\x99\x2A\x59\x62\x61\x86\x4E\x0C\xFF\xDC\x83\xFD\x90\xC9\x51\x86\x4E",
                  Encoding::Utf16LE, {"送餐太慢了，菜都凉了"}},
        GuessCase{"utf16be_one_line_no_zero_byte", "\x90\x01\x99\x10\x59\x2A\x61\x62\x4E\x86\xFF\x0C\x83\xDC\x90\xFD\x51\xC9\x4E\x86",
                  Encoding::Utf16BE, {"送餐太慢了，菜都凉了"}},
        // UTF-32 without a mark, where every character is unmistakable.
        GuessCase{"utf32le_no_bom", "}Y\0\0\x03T\0\0\n\0\0\0o\0\0\0k\0\0\0"s, Encoding::Utf32LE, {"好吃", "ok"}},
        GuessCase{"utf32be_no_bom", "\0\0Y}\0\0T\x03\0\0\0\n\0\0\0o\0\0\0k"s, Encoding::Utf32BE, {"好吃", "ok"}},
        // Short GBK that is also valid UTF-8, where it reads as a combining
        // mark with nothing to combine with, Cyrillic and Hebrew.
        GuessCase{"gbk_valid_utf8_tai_xiao", "\xCC\xAB\xD0\xA1", Encoding::Gb18030, {"太小"}},
        GuessCase{"gbk_valid_utf8_yi_zhi", "\xD2\xBB\xD6\xB1\n", Encoding::Gb18030, {"一直"}},
        GuessCase{"gbk_valid_utf8_ye_tai_ying", "\xD2\xB2\xCC\xAB\xD3\xB2\r\n", Encoding::Gb18030, {"也太硬"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
    const char* name;
    std::string bytes;
    const char* says;
    friend void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }
};

class EncodingRefused : public ::testing::TestWithParam<RefusedCase> {};

// Thirty lines of Chinese in GBK, then `last`.
std::string gbk_review_then(const std::string& last) {
    std::string text;
    for (int i = 0; i < 30; ++i) text += "\xD5\xE2\xBC\xD2\xB5\xEA\xB5\xC4\xB2\xCB\xBA\xDC\xBA\xC3\xB3\xD4\xA3\xAC\xB7\xFE\xCE\xF1\xD2\xB2\xB2\xBB\xB4\xED\n";
    return text + last;
}

TEST_P(EncodingRefused, NamesLineAndCauseNotGb18030) {
    try {
        read_lines(GetParam().bytes, "in.txt");
        FAIL() << "decoded without a word";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().says), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).find("not valid GB18030"), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Decoder, EncodingRefused,
    ::testing::Values(
        // A few Chinese characters and one stray pair: damage, not GB18030.
        RefusedCase{"utf8_with_stray_pair", "很好\n不错 \x92\x93 ok\n", "in.txt line 2: invalid UTF-8"},
        // Windows-1252 but for 0x81, which it leaves unassigned: the 0x81
        // is the trouble, not the è on line 1.
        RefusedCase{"cp1252_unassigned_after_an_accent", "tr\xE8s bien\nok \x81\n",
                    "in.txt line 2: byte 0x81 (byte 4 of the line) cannot be Windows-1252 text"},
        RefusedCase{"utf8_surrogate", "fine\nabc \xED\xA0\x80 def\n", "in.txt line 2: byte 0xED is not UTF-8 (byte 5 of the line)"},
        // Zero bytes in text that is not UTF-16: binary or damage.
        RefusedCase{"nul_after_line_break", "good food\n\0very nice\n"s, "in.txt line 2: byte 0x00 is a zero byte (byte 1"},
        RefusedCase{"nul_padding_at_end", "good food\nnice\n\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"s,
                    "in.txt line 3: byte 0x00 is a zero byte"},
        RefusedCase{"nul_in_chinese_utf8", "好吃\n\0很好\n"s, "in.txt line 2: byte 0x00 is a zero byte"},
        RefusedCase{"nul_bytes_inside_a_line", "a\0b\0\0c\n"s, "in.txt line 1: byte 0x00 is a zero byte (byte 2 of the line)"},
        // Japanese and Korean are refused, saying so.
        RefusedCase{"shift_jis",
                    "\x82\xb1\x82\xcc\x93\x58\x82\xcc\x83\x89\x81\x5b\x83\x81\x83\x93\x82\xcd\x94\xfc\x96\xa1\x82\xb5\x82\xa9\x82\xc1\x82\xbd\n",
                    "in.txt line 1: byte 0x82 is not UTF-8 (byte 1 of the line), and the text looks like another encoding, Japanese"},
        RefusedCase{"euc_jp",
                    "\xa4\xb3\xa4\xce\xc5\xb9\xa4\xce\xa5\xe9\xa1\xbc\xa5\xe1\xa5\xf3\xa4\xcf\xc8\xfe\xcc\xa3\xa4\xb7\xa4\xab\xa4\xc3\xa4\xbf\n",
                    "looks like another encoding, Japanese"},
        RefusedCase{"euc_kr",
                    "\xc0\xcc \xbd\xc4\xb4\xe7\xc0\xc7 \xc0\xbd\xbd\xc4\xc0\xba \xc1\xa4\xb8\xbb \xb8\xc0\xc0\xd6\xbe\xfa\xbe\xee\xbf\xe4.\n",
                    "looks like another encoding, Korean"},
        RefusedCase{"big5_hkscs", "\xa7\xda\x92\x5d\xa4\xb5\xa4\xe9\xad\xb9\x9d\xf7\xa6\x6e\xa6\x68\x9d\xcf\n", "Big5-HKSCS"},
        // Other Western code pages read as Windows-1252 give letters where it
        // has symbols, capitals after small letters, or Icelandic letters.
        RefusedCase{"iso8859_2_czech", "J\xED" "dlo bylo v\xFD" "born\xE9, ale doru\xE8" "en\xED trvalo p\xF8\xEDli\xB9 dlouho.\n",
                    "in.txt line 1: byte 0xFD is not UTF-8 (byte 13 of the line), and in Windows-1252"},
        RefusedCase{"iso8859_2_polish_letter_in_word", "Jedzenie by\xB3o bardzo smaczne\n", "byte 0xB3 is not UTF-8"},
        RefusedCase{"turkish", "Yemek \xE7ok g\xFCzeldi. Te\xFE" "ekk\xFCrler, a\xF0" "abey!\n", "in.txt line 1: byte 0xFE"},
        RefusedCase{"mac_roman", "Sch\x9Ane Gr\xA7" "e f\x9Fr M\x9Fller\n", "in.txt line 1: byte 0x9A is not UTF-8 (byte 4 of the line)"},
        RefusedCase{"mac_roman_apostrophe", "ok\nI don\xD5t know\n", "in.txt line 2: byte 0xD5"},
        RefusedCase{"dos_437", "Le repas \x82tait d\x82licieux\n", "in.txt line 1: byte 0x82 is not UTF-8 (byte 10 of the line)"},
        // GBK and UTF-8 lines in one file: the first line of the fewer kind.
        RefusedCase{"gbk_then_a_utf8_line",
                    "\xba\xc3\xb3\xd4\xba\xc3\xb3\xd4\xa3\xac\xb7\xc7\xb3\xa3\xc2\xfa\xd2\xe2\n\xb7\xfe\xce\xf1\xba\xdc\xba\xc3\n"
                    "味道不错，下次再来吧\n",
                    "in.txt line 3: this line is UTF-8 while line 1 and others are GB18030"},
        RefusedCase{"utf8_then_a_gbk_line", "好吃好吃，非常满意\n服务很好\n\xce\xb6\xb5\xc0\xb2\xbb\xb4\xed\n",
                    "in.txt line 3: byte 0xB5 is not UTF-8 (byte 3 of the line): this line reads as GB18030"},
        // Valid UTF-8 that reads as nonsense, and not clearly GBK either.
        RefusedCase{"utf8_nonsense", "\xCA\x83\xCC\x81", "in.txt line 1: byte 0xCA (byte 1 of the line) starts valid UTF-8 that reads as nonsense"},
        // Surrogates written one by one (CESU-8) and overlong forms: damaged UTF-8.
        RefusedCase{"cesu8_pair_in_english", "Great food \xED\xA0\xBD\xED\xB8\x80 and fast\n",
                    "in.txt line 1: byte 0xED is not UTF-8 (byte 12 of the line): a UTF-16 surrogate written as UTF-8 (CESU-8"},
        // Encodings that write Chinese, Japanese or Korean in ASCII bytes.
        RefusedCase{"hz", "~{KM2M L+B}AK~}\n", "in.txt line 1: byte 0x7B (byte 2 of the line) is a mark of HZ-GB-2312"},
        RefusedCase{"iso2022_jp", "\x1B$B$3$N\x1B(B ok\n", "in.txt line 1: byte 0x24 (byte 2 of the line) is a mark of ISO-2022"},
        RefusedCase{"utf7", "ok\nDon+IBk-t\n", "in.txt line 2: byte 0x2B (byte 4 of the line) is a mark of UTF-7"},
        // A GBK line and a Big5 line: neither reading holds for both.
        RefusedCase{"gbk_then_big5",
                    "\xba\xc3\xb3\xd4\xba\xc3\xb3\xd4\xa3\xac\xb7\xc7\xb3\xa3\xc2\xfa\xd2\xe2\n"
                    "\xb0\x65\xc0\x5c\xa4\xd3\xba\x43\xa4\x46\xa1\x41\xb5\xa5\xa4\x46\xa4\x40\xad\xd3\n",
                    "in.txt line 1: byte 0xBA is not UTF-8"},
        // Chinese but for a byte that no character of its encoding holds
        // (Windows-1252's euro, damage): that byte is named.
        RefusedCase{"gbk_with_a_euro_on_line_31", gbk_review_then("\xBC\xDB\xB8\xF1 \x80 12\xA3\xAC\xBB\xB9\xCB\xE3\xB1\xE3\xD2\xCB\n"),
                    "in.txt line 31: byte 0x80 (byte 6 of the line) cannot be GB18030 text"},
        RefusedCase{"cp1252_with_an_unassigned_byte_on_line_3", "Tr\xE8s bon\nd\xE9licieux\nPrix \x8D 12\n",
                    "in.txt line 3: byte 0x8D (byte 6 of the line) cannot be Windows-1252 text"},
        RefusedCase{"big5_with_a_euro_on_line_3",
                    "\xb0\x65\xc0\x5c\xa4\xd3\xba\x43\xa4\x46\xa1\x41\n\xb5\xe6\xb3\xa3\xb2\x44\xa4\x46\n\xb5\xe6 \x80 5\n",
                    "in.txt line 3: byte 0x80 (byte 4 of the line) cannot be Big5 text"},
        // A Western line among GBK ones: valid GBK pairs, but rare
        // characters glued into Latin words and not one common one.
        RefusedCase{"gbk_with_a_windows_1252_line", gbk_review_then("Sch\xF6ne Gr\xFC\xDF" "e\n"),
                    "in.txt line 31: this line reads as Windows-1252 while the rest of the file reads as GB18030"},
        RefusedCase{"gbk_with_a_french_line", gbk_review_then("Tr\xE8s bon, merci\n") + gbk_review_then(""),
                    "in.txt line 31: this line reads as Windows-1252 while the rest of the file reads as GB18030"},
        // Korean in GB18030's four-byte form is not Western text between digits.
        RefusedCase{"gb18030_four_byte_hangul", "\x83\x33\xB6\x32\x83\x32\xE0\x33\n", "in.txt line 1: byte 0xB6"},
        // Czech ř í read as Windows-1252: ø beside í, letters of no one language.
        RefusedCase{"iso8859_2_letters_of_two_languages", "Obsluha p\xF8\xED" "jemn\xE1\n", "in.txt line 1: byte 0xED is not UTF-8 (byte 11 of the line), and in Windows-1252"},
        // ISO-8859-2 letters at a word's end, read as Latin-1 signs (ł as ³, ž as ¾).
        RefusedCase{"iso8859_2_word_final_l", "Jedzenie by\xB3 smaczne\n", "in.txt line 1: byte 0xB3 is not UTF-8 (byte 12 of the line)"},
        RefusedCase{"iso8859_2_word_final_z", "ok\nU\xBE nikdy\n", "in.txt line 2: byte 0xBE is not UTF-8 (byte 2 of the line)"},
        // Mac Roman French: é is Ž at the start of a word.
        RefusedCase{"mac_roman_word_start", "La soupe \x8Etait froide\n", "in.txt line 1: byte 0x8E"},
        // GBK valid as UTF-8 that is only a space and a control character.
        RefusedCase{"utf8_signs_alone", "\xC2\xA0\xC2\x84", "in.txt line 1: byte 0xC2 (byte 1 of the line) starts valid UTF-8 that reads as nonsense"},
        RefusedCase{"overlong_slash", "ok\npath C:\xC0\xAFwindows\n", "in.txt line 2: byte 0xC0 is not UTF-8 (byte 8 of the line): an overlong"},
        RefusedCase{"gbk_damaged", "\xCC\xAB\xC4\xD1\n\xB3\xD4\xFF\xC1\xCB\n", "in.txt line 2: byte 0xFF (byte 3 of the line) cannot be GB18030 text"},
        RefusedCase{"cp1252_unassigned", "a\nb\nc \x8D d\n", "in.txt line 3: byte 0x8D"},
        // Lines ended by CR alone count as the reader splits them.
        RefusedCase{"zero_byte_after_cr_lines", "good\rfine\r\0bad\r"s, "in.txt line 3: byte 0x00 is a zero byte (byte 1 of the line)"},
        RefusedCase{"iso8859_2_after_cr_and_crlf", "ok\r\nok\rJedzenie by\xB3 smaczne\r",
                    "in.txt line 3: byte 0xB3 is not UTF-8 (byte 12 of the line)"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// The decoders of the newer encodings refuse what those encodings cannot
// hold, naming the line, however the input is cut.
struct DecoderCase {
    const char* name;
    Encoding encoding;
    std::string bytes;
    const char* where;
    friend void PrintTo(const DecoderCase& c, std::ostream* os) { *os << c.name; }
};

class DecoderRefuses : public ::testing::TestWithParam<DecoderCase> {};

TEST_P(DecoderRefuses, NamingTheLineWholeAndByteByByte) {
    const auto& c = GetParam();
    for (bool by_byte : {false, true}) {
        Decoder d(c.encoding, "in.txt");
        std::string out;
        try {
            if (by_byte) {
                for (char b : c.bytes) d.feed(std::string_view(&b, 1), out);
            } else {
                d.feed(c.bytes, out);
            }
            d.finish();
            FAIL() << "decoded " << quoted(out) << (by_byte ? " byte by byte" : "");
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.where), std::string::npos) << e.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Decoder, DecoderRefuses,
    ::testing::Values(
        DecoderCase{"utf32le_beyond_unicode", Encoding::Utf32LE, "A\0\0\0\n\0\0\0\0\0\x11\0"s, "in.txt line 2"},
        DecoderCase{"utf32be_surrogate", Encoding::Utf32BE, "\0\0\0A\0\0\xD8\0"s, "in.txt line 1"},
        DecoderCase{"utf32le_cut_unit", Encoding::Utf32LE, "A\0\0\0\n\0\0\0B\0\0"s, "in.txt line 2"},
        DecoderCase{"big5_bad_trail", Encoding::Big5, "ok\n\xA4\x20", "in.txt line 2"},
        DecoderCase{"big5_hong_kong_pair", Encoding::Big5, "\xA6\x6E\n\n\x9D\xF7", "in.txt line 3"},
        DecoderCase{"big5_cut_pair", Encoding::Big5, "\xA6\x6E\n\xA6", "in.txt line 2"},
        // CR alone ends a line; CR LF, even split between two pieces, one.
        DecoderCase{"utf16le_after_cr_lines", Encoding::Utf16LE, "a\0\r\0b\0\r\0\0\xDC"s, "in.txt line 3"},
        DecoderCase{"big5_after_crlf_and_cr", Encoding::Big5, "ok\r\nok\r\xA4\x20", "in.txt line 3"},
        DecoderCase{"utf8_after_cr_lines", Encoding::Utf8, "a\r\r\nb\r\xFF", "in.txt line 4"},
        // Whichever of a zero byte and a broken one comes first is named,
        // also when both arrive in one read.
        DecoderCase{"utf8_zero_byte_before_damage", Encoding::Utf8, "a\0\n\xFF"s, "in.txt line 1: a zero byte"},
        DecoderCase{"utf8_damage_before_zero_byte", Encoding::Utf8, "a\xFF\n\0"s, "in.txt line 1: bytes that are not"}),
    [](const auto& info) { return std::string(info.param.name); });

// The detector fed in small pieces refuses as it does fed whole, naming the
// same byte: a character begun in one piece and broken in the next is
// named by its first byte.
class DetectionInPieces : public ::testing::TestWithParam<RefusedCase> {};

std::string refusal(std::string_view bytes, std::size_t piece) {
    EncodingDetector d("in.txt");
    for (std::size_t i = 0; i < bytes.size(); i += piece) d.feed(bytes.substr(i, piece));
    try {
        return std::string("read as ") + encoding_name(d.result());
    } catch (const Error& e) {
        return e.what();
    }
}

TEST_P(DetectionInPieces, NamesTheByteItNamesWhole) {
    const auto& c = GetParam();
    const std::string whole = refusal(c.bytes, c.bytes.size());
    EXPECT_NE(whole.find(c.says), std::string::npos) << whole;
    for (std::size_t piece : {1, 2, 3}) EXPECT_EQ(refusal(c.bytes, piece), whole) << piece << "-byte pieces";
}

INSTANTIATE_TEST_SUITE_P(
    Decoder, DetectionInPieces,
    ::testing::Values(
        RefusedCase{"utf8_cut_before_line_break", "很好吃\n\xE5\xA5\n", "in.txt line 2: invalid UTF-8 byte sequence at byte 0xE5"},
        RefusedCase{"utf8_cut_before_ascii", "很好吃\nok \xE5\xA5ok\n", "in.txt line 2: invalid UTF-8 byte sequence at byte 0xE5, byte 4"},
        // A piece that ends one character and starts the broken one.
        RefusedCase{"utf8_cut_after_a_whole_one", "很好吃\n好\xE5\xA5\x02\n", "in.txt line 2: invalid UTF-8 byte sequence at byte 0xE5, byte 4"}),
    [](const auto& info) { return std::string(info.param.name); });

// The same refusals and readings when the text comes after more than one
// read of the line reader (256 KiB), from a file: the detector sees it in
// pieces and the line named is counted across them.
struct LateCase {
    const char* name;
    std::string tail;                 // after the filler
    const char* says;                 // in the refusal, after "big.txt line N" (empty: read)
    std::uint64_t line;               // line of the refusal, counted within the tail
    std::vector<std::string> last;    // else: the last lines read
    const char* filler_end = "\n";   // of each line of filler
    friend void PrintTo(const LateCase& c, std::ostream* os) { *os << c.name; }
};

class AfterAFullRead : public ::testing::TestWithParam<LateCase> {};

TEST_P(AfterAFullRead, IsReadOrRefusedAsOnItsOwn) {
    const auto& c = GetParam();
    constexpr std::size_t kFiller = 5000;  // lines of 60 bytes: 300,000 bytes
    std::string text;
    for (std::size_t i = 0; i < kFiller; ++i) text += std::string(59, 'a') + c.filler_end;
    TempDir dir;
    dir.write("big.txt", text + c.tail);
    try {
        auto r = LineReader::open(dir.file("big.txt"), "big.txt");
        std::vector<std::string> lines;
        std::string_view line;
        while (r->next(line)) lines.emplace_back(line);
        ASSERT_EQ(c.says[0], '\0') << "read without a word";
        ASSERT_EQ(lines.size(), kFiller + c.last.size());
        EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<std::ptrdiff_t>(c.last.size()), lines.end()), c.last);
    } catch (const Error& e) {
        ASSERT_NE(c.says[0], '\0') << e.what();
        const std::string where = "big.txt line " + std::to_string(kFiller + c.line) + ": ";
        EXPECT_EQ(std::string(e.what()).rfind(where, 0), 0u) << e.what();
        EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    LineReader, AfterAFullRead,
    ::testing::Values(
        LateCase{"zero_byte", "good\n\0bad\n"s, "byte 0x00 is a zero byte (byte 1 of the line)", 2, {}},
        LateCase{"utf8_line_in_gbk", "\xba\xc3\xb3\xd4\xba\xc3\xb3\xd4\n\xb7\xfe\xce\xf1\xba\xdc\xba\xc3\n味道不错，下次再来吧\n",
                 "this line is UTF-8 while line", 3, {}},
        LateCase{"big5", "\xb0\x65\xc0\x5c\xa4\xd3\xba\x43\xa4\x46\xa1\x41\n\xb5\xe6\xb3\xa3\xb2\x44\xa4\x46\n", "", 0,
                 {"送餐太慢了，", "菜都涼了"}},
        LateCase{"iso8859_2", "Jedzenie by\xB3 smaczne\n", "byte 0xB3 is not UTF-8 (byte 12 of the line)", 1, {}},
        LateCase{"cesu8", "ok \xED\xA0\xBD\xED\xB8\x80\n", "a UTF-16 surrogate written as UTF-8", 1, {}},
        LateCase{"shift_jis", "\x82\xb1\x82\xcc\x93\x58\x82\xcc\x83\x89\x81\x5b\x83\x81\x83\x93\x82\xcd\n",
                 "looks like another encoding, Japanese", 1, {}},
        LateCase{"hz", "x\n~{KM2M L+B}AK~}\n", "is a mark of HZ-GB-2312", 2, {}},
        LateCase{"zero_byte_after_cr_lines", "good\r\0bad\r"s, "byte 0x00 is a zero byte (byte 1 of the line)", 2, {}, "\r"},
        LateCase{"gbk_damaged_after_cr_lines", "\xCC\xAB\xC4\xD1\r\xB3\xD4\xFF\xC1\xCB\r",
                 "byte 0xFF (byte 3 of the line) cannot be GB18030 text", 2, {}, "\r"},
        LateCase{"gbk_with_a_euro_on_line_31", gbk_review_then("\xBC\xDB\xB8\xF1 \x80 12\n"),
                 "byte 0x80 (byte 6 of the line) cannot be GB18030 text", 31, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// UTF-16 (width 2) or UTF-32 (width 4) bytes of text, after the mark of
// that encoding.
std::string marked(std::u32string_view text, int width, bool little) {
    std::string out;
    auto unit = [&](std::uint32_t u) {
        for (int k = 0; k < width; ++k) {
            const int shift = 8 * (little ? k : width - 1 - k);
            out += static_cast<char>((u >> shift) & 0xFF);
        }
    };
    unit(0xFEFF);
    for (char32_t c : text) {
        if (width == 2 && c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out;
}

// After a UTF-16 or UTF-32 mark the text is judged as that encoding reads
// it: text in any script is read, what is no text is refused, naming the
// line when one character shows it.
struct MarkCase {
    const char* name;
    std::string bytes;
    const char* says;                // in the refusal; empty: read
    std::vector<std::string> lines;  // else: the lines read
    friend void PrintTo(const MarkCase& c, std::ostream* os) { *os << c.name; }
};

class AfterAMark : public ::testing::TestWithParam<MarkCase> {};

TEST_P(AfterAMark, IsReadOnlyWhenItIsText) {
    const auto& c = GetParam();
    try {
        const std::vector<std::string> lines = read_lines(c.bytes, "in.txt");
        ASSERT_EQ(c.says[0], '\0') << "read without a word";
        EXPECT_EQ(lines, c.lines);
    } catch (const Error& e) {
        ASSERT_NE(c.says[0], '\0') << e.what();
        EXPECT_EQ(std::string(e.what()).rfind(c.says, 0), 0u) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Decoder, AfterAMark,
    ::testing::Values(
        MarkCase{"russian_utf16le", marked(U"Привет, мир\r\nХорошо", 2, true), "", {"Привет, мир", "Хорошо"}},
        MarkCase{"greek_and_emoji_utf16be", marked(U"Καλό 😀\n", 2, false), "", {"Καλό 😀"}},
        MarkCase{"korean_utf32be", marked(U"맛있어요\n", 4, false), "", {"맛있어요"}},
        MarkCase{"mark_alone", marked(U"", 2, true), "", {}},
        // 你好世界 in GBK and in UTF-8 after a mark: private-use and rare
        // characters, which the decoder alone took without a word.
        MarkCase{"gbk_after_utf16le_mark", "\xFF\xFE\xC4\xE3\xBA\xC3\xCA\xC0\xBD\xE7",
                 "in.txt: the file starts with the byte-order mark of UTF-16LE, but what follows does not read as UTF-16LE text", {}},
        MarkCase{"utf8_after_utf16be_mark", "\xFE\xFF" "你好世界",
                 "in.txt: the file starts with the byte-order mark of UTF-16BE", {}},
        MarkCase{"rare_plane_after_utf32le_mark", "\xFF\xFE\0\0\x41\x42\x01\0\x43\x44\x01\0"s,
                 "in.txt: the file starts with the byte-order mark of UTF-32LE", {}},
        MarkCase{"zero_on_third_line_utf16le", marked(std::u32string(U"ok\r\nfine\rba") + U'\0' + U"d", 2, true),
                 "in.txt line 3: the file starts with the byte-order mark of UTF-16LE", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A marked file is judged to its end, past the reader's first read.
TEST(AfterAMark, FileIsJudgedToItsEnd) {
    std::u32string text;
    for (int i = 0; i < 70000; ++i) text += U"line\n";
    TempDir dir;
    dir.write("big.txt", marked(text + U'\0', 2, true));
    try {
        auto r = LineReader::open(dir.file("big.txt"), "big.txt");
        FAIL() << "read a zero character without a word";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("big.txt line 70001: the file starts with the byte-order mark", 0), 0u)
            << e.what();
    }
}

}  // namespace
