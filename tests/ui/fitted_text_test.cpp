// The status line's cut and its break across the two rooms, with a measure of 10 pixels a character
// (a UTF-8 character counted once, however many bytes it takes).
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

// "head|tail", as the two rooms show them.
std::string Split(const std::string& text, int headWidth, int tailWidth) {
    const SplitTextRecord split = SplitFittedText(text, headWidth, tailWidth, TenPerCharacter);
    return split.head + "|" + split.tail;
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

TEST(SplitFittedText, FitsTheTailRoomOrBreaksAtASpaceIntoTheHeadRoomOrIsCut) {
    EXPECT_EQ(Split("Recording: Mic", 100, 140), "|Recording: Mic");
    EXPECT_EQ(Split("", 100, 0), "|");
    // The most words the head's room holds; a space at its very end breaks too.
    EXPECT_EQ(Split("aaa bbb ccc ddd", 80, 80), "aaa bbb|ccc ddd");
    EXPECT_EQ(Split("aaa bbb ccc ddd", 70, 80), "aaa bbb|ccc ddd");
    // Before the dash when what follows it fits whole, else at the last space.
    EXPECT_EQ(Split("ab cd \xE2\x80\x94 ef gh", 200, 70), "ab cd|\xE2\x80\x94 ef gh");
    EXPECT_EQ(Split("ab cd \xE2\x80\x94 ef gh", 200, 60), "ab cd \xE2\x80\x94 ef|gh");
    // What fits neither room is cut: no space within the head's room, or a
    // tail too long.
    EXPECT_EQ(Split("abcdefgh ijklmnop", 30, 60), "|abc...");
    EXPECT_EQ(Split("ab cdefghijkl", 30, 60), "ab|cde...");
}

TEST(SplitFittedText, AVeryLongTextIsMeasuredAFewTimesOnly) {
    std::string name = "Not connected: " + std::string(65536, 'x') + " \xE2\x80\x94 recording";
    int measured = 0;
    const SplitTextRecord split = SplitFittedText(name, 310, 200, [&](std::string_view text) {
        measured += static_cast<int>(text.size());
        return TenPerCharacter(text);
    });
    EXPECT_EQ(split.head, "Not connected:");
    EXPECT_EQ(split.tail, std::string(17, 'x') + "...");
    EXPECT_LT(measured, 2000);
}
