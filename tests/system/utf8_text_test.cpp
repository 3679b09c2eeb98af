// Text from outside shown readably, whatever bytes it holds.
#include "system/utf8_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf8Text, EveryByteThatStartsNoCharacterShowsAsAReplacement) {
    EXPECT_EQ(ReadableText("Mic \xC3\xBC \xF0\x9F\x8E\xA4"), "Mic \xC3\xBC \xF0\x9F\x8E\xA4");
    EXPECT_EQ(ReadableText("f\xFCr"), "f\uFFFDr");                            // Latin-1
    EXPECT_EQ(ReadableText("\xC0\xAF"), "\uFFFD\uFFFD");                      // overlong
    EXPECT_EQ(ReadableText("\xED\xA0\x80"), "\uFFFD\uFFFD\uFFFD");            // a surrogate half
    EXPECT_EQ(ReadableText("\xF4\x90\x80\x80"), "\uFFFD\uFFFD\uFFFD\uFFFD");  // past U+10FFFF
    EXPECT_EQ(ReadableText("cut \xE2\x82"), "cut \uFFFD\uFFFD");
    char32_t codePoint = 0;
    EXPECT_EQ(ReadUtf8("\xED\xA0\x80", 0, true, &codePoint), 3u);
    EXPECT_EQ(codePoint, 0xD800u);

    // Each length at its ends.
    std::string text;
    for (char32_t c : {0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xFFFFu, 0x10000u, 0x10FFFFu})
        AppendUtf8(text, c);
    EXPECT_EQ(text, "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
}

}  // namespace
