#include <gtest/gtest.h>

#include "text/errors.h"

namespace {

TEST(Messages, ShowInvisibleCharactersAndForeignBytes) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\xEF\xBB\xBFpositive", "\"<U+FEFF>positive\""},
        {"pos\xE2\x80\x8B", "\"pos<U+200B>\""},
        {"a\xC2\xA0" "b\xC2\xAD" "c", "\"a<U+00A0>b<U+00AD>c\""},
        {"\xE2\x80\xAE" "evil", "\"<U+202E>evil\""},
        {"好评 \"ok\"\t", "\"好评 \\\"ok\\\"\\x09\""},
        {"\xFF\xE5\xA5", "\"\\xff\\xe5\\xa5\""},
        {"\xF3\xA0\x80\x81x", "\"<U+E0001>x\""},
        // F5-FF start no character, whatever follows them.
        {"\xF8\x88\x80 ok", "\"\\xf8\\x88\\x80 ok\""},
    };
    for (const auto& [text, shown] : cases) EXPECT_EQ(sentiment::quoted(text), shown) << shown;
    EXPECT_EQ(sentiment::quoted("好好好好", 2), "\"好好...\"");
}

}  // namespace
