// The GB18030 and Big5 backends' contract, the same on every platform:
// whole characters in, UTF-8 appended, and the offset of the first bad byte
// with the text before it kept. Runs on glibc's iconv here and on the
// Windows code-page backends under wine.
#include <gtest/gtest.h>

#include <string>

#include "text/big5.h"
#include "text/gb18030.h"

using namespace std::string_literals;
using sentiment::big5_to_utf8;
using sentiment::gb18030_to_utf8;

namespace {

constexpr std::size_t kOk = std::string::npos;

struct Case {
    const char* name;
    std::string in;
    std::size_t bad;       // kOk, or the offset of the first bad byte
    std::string utf8;      // what out holds afterwards
};

void expect_case(std::size_t (*convert)(std::string_view, std::string&), const Case& c) {
    std::string out = "kept:";
    EXPECT_EQ(convert(c.in, out), c.bad);
    EXPECT_EQ(out, "kept:" + c.utf8);
}

class Gb18030Backend : public ::testing::TestWithParam<Case> {};

TEST_P(Gb18030Backend, ConvertsOrNamesTheFirstBadByte) { expect_case(gb18030_to_utf8, GetParam()); }

const std::string kMiB(std::size_t(1) << 20, 'a');

INSTANTIATE_TEST_SUITE_P(
    Cases, Gb18030Backend,
    ::testing::Values(
        Case{"empty", "", kOk, ""},
        Case{"ascii_and_two_byte", "ok \xC4\xE3\xBA\xC3\r\n", kOk, "ok 你好\r\n"},
        Case{"four_byte_beyond_the_bmp", "\x94\x39\xFC\x36!", kOk, "😀!"},
        Case{"last_four_byte_character", "\xE3\x32\x9A\x35", kOk, "\xF4\x8F\xBF\xBF"},
        Case{"lead_byte_0x80", "ab\x80 c", 2, "ab"},
        Case{"lead_byte_0xff", "\xC4\xE3\xFF", 2, "你"},
        Case{"bad_trail_byte", "x\xC4\x20y", 1, "x"},
        Case{"four_byte_beyond_unicode", "\xC4\xE3\xE3\x32\x9A\x36", 2, "你"},
        Case{"four_byte_lead_beyond_0xe3", "\xFE\x39\xFE\x39", 0, ""},
        // Long input is converted in runs; the bad byte keeps its offset and
        // a character across a run's end stays whole.
        Case{"bad_byte_after_a_mebibyte", kMiB + "\xC4\xE3\x80", kMiB.size() + 2, kMiB + "你"},
        Case{"character_across_a_mebibyte", kMiB.substr(1) + "\x94\x39\xFC\x36\xC4\xE3", kOk,
             kMiB.substr(1) + "😀你"}),
    [](const auto& info) { return std::string(info.param.name); });

class Big5Backend : public ::testing::TestWithParam<Case> {};

TEST_P(Big5Backend, ConvertsOrNamesTheFirstBadByte) { expect_case(big5_to_utf8, GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Cases, Big5Backend,
    ::testing::Values(
        Case{"empty", "", kOk, ""},
        Case{"ascii_and_two_byte", "ok \xA7\x41\xA6\x6E\r\n", kOk, "ok 你好\r\n"},
        // A trail byte in 40-7E, as about half of Big5's characters have.
        Case{"ascii_range_trail", "\xB3\x6F\xAE\x61\xA1\x41", kOk, "這家，"},
        Case{"lead_byte_0x80", "ab\x80 c", 2, "ab"},
        Case{"lead_byte_0xff", "\xA7\x41\xFF", 2, "你"},
        Case{"undefined_pair", "x\xA3\xC0", 1, "x"},
        // Hong Kong additions (HKSCS) are not Big5 on either platform, nor
        // the areas where Windows has user-defined characters.
        Case{"hkscs_character", "\xA6\x6E\x9D\xF7", 2, "好"},
        Case{"user_defined_area", "ok\xC6\xA1", 2, "ok"},
        Case{"user_defined_lead_fa", "\xA4\x40\xFA\x40", 2, "一"},
        Case{"bad_byte_after_a_mebibyte", kMiB + "\xA7\x41\x80", kMiB.size() + 2, kMiB + "你"},
        Case{"character_across_a_mebibyte", kMiB.substr(1) + "\xA7\x41\xA6\x6E", kOk, kMiB.substr(1) + "你好"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
