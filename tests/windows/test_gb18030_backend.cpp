// The GB18030 backend's contract, the same on every platform: whole
// characters in, UTF-8 appended, and the offset of the first bad byte with
// the text before it kept. Runs on glibc's iconv here and on the Windows
// code-page backend under wine.
#include <gtest/gtest.h>

#include <string>

#include "text/gb18030.h"

using namespace std::string_literals;
using sentiment::gb18030_to_utf8;

namespace {

constexpr std::size_t kOk = std::string::npos;

struct Case {
    const char* name;
    std::string in;
    std::size_t bad;       // kOk, or the offset of the first bad byte
    std::string utf8;      // what out holds afterwards
};

class Gb18030Backend : public ::testing::TestWithParam<Case> {};

TEST_P(Gb18030Backend, ConvertsOrNamesTheFirstBadByte) {
    const Case& c = GetParam();
    std::string out = "kept:";
    EXPECT_EQ(gb18030_to_utf8(c.in, out), c.bad);
    EXPECT_EQ(out, "kept:" + c.utf8);
}

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

}  // namespace
