// The status line's cut, with a measure of 10 pixels a character (a UTF-8
// character counted once, however many bytes it takes).
#include "ui/fitted_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int TenPerCharacter(std::string_view text) {
    int characters = 0;
    for (char byte : text) characters += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    return 10 * characters;
}

std::string Fit(const std::string& text, int width) {
    return FittedText(text, width, TenPerCharacter);
}

}  // namespace

TEST(FittedText, AWholeTextThatFitsStaysAndALongerOneIsCutWithDots) {
    EXPECT_EQ(Fit("Line In", 70), "Line In");  // exactly as wide as the space
    EXPECT_EQ(Fit("Line In", 69), "Lin...");
    EXPECT_EQ(Fit("Line In (Rear Panel)", 100), "Line In...");
    EXPECT_EQ(Fit("", 0), "");
}

TEST(FittedText, ACutKeepsWholeCharactersAndEndsInDotsAloneOrNothing) {
    // "é" and "€" are two and three bytes: never split.
    EXPECT_EQ(Fit("\xC3\xA9t\xC3\xA9 \xE2\x82\xAC\xE2\x82\xAC", 50), "\xC3\xA9t...");
    EXPECT_EQ(Fit("\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", 39), "...");
    EXPECT_EQ(Fit("Speakers", 29), "");
}

TEST(FittedText, AVeryLongTextIsMeasuredAFewTimesOnly) {
    std::string name(65536, 'x');
    int measured = 0;
    std::string shown = FittedText(name, 200, [&](std::string_view text) {
        measured += static_cast<int>(text.size());
        return TenPerCharacter(text);
    });
    EXPECT_EQ(shown, std::string(17, 'x') + "...");
    // What is measured grows with what is shown, not with the whole name.
    EXPECT_LT(measured, 2000);
}
