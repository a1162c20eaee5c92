#include <gtest/gtest.h>

#include "io/line_reader.h"
#include "text/errors.h"
#include "text/text_decoder.h"

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
        EncodedCase{"gb18030_crlf", "\xC4\xE3\xBA\xC3\r\n\xCA\xC0\xBD\xE7\n", Encoding::Gb18030}),
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
        // Half of these pairs are also well-formed UTF-8.
        GuessCase{"gbk_looking_like_utf8", "\xd0\xa1\xb2\xcb\xba\xdc\xba\xc3\xb3\xd4\xa1\xa3", Encoding::Gb18030,
                  {"小菜很好吃。"}},
        GuessCase{"utf16le_chinese_no_bom", "}Y\x03T\n\0}Y\x03T"s, Encoding::Utf16LE, {"好吃", "好吃"}},
        GuessCase{"utf16le_no_bom", "g\0o\0o\0d\0\n\0`O}Y\n\0"s, Encoding::Utf16LE, {"good", "你好"}},
        GuessCase{"utf16be_no_bom", "\0b\0a\0d\0\r\0\nO`Y}"s, Encoding::Utf16BE, {"bad", "你好"}},
        GuessCase{"nul_bytes_stay_utf8", "a\0b\0\0c\n"s, Encoding::Utf8, {"a\0b\0\0c"s}}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
    const char* name;
    std::string bytes;
    const char* says;
    friend void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }
};

class EncodingRefused : public ::testing::TestWithParam<RefusedCase> {};

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
        RefusedCase{"utf8_surrogate", "fine\nabc \xED\xA0\x80 def\n", "in.txt line 2: byte 0xA0 is not UTF-8"},
        RefusedCase{"gbk_damaged", "\xCC\xAB\xC4\xD1\n\xB3\xD4\xFF\xC1\xCB\n", "in.txt line 1: byte 0xD1 is not UTF-8"},
        RefusedCase{"cp1252_unassigned", "a\nb\nc \x8D d\n", "in.txt line 3: byte 0x8D"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
