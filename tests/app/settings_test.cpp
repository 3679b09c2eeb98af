// The settings file's text: what start-up makes of bad files, and what a
// change of one entry keeps of everything else.
#include "app/settings.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>

#include "app/settings_encoding.h"
#include "app/settings_store.h"
#include "capture/capture_state.h"

namespace {

struct CaptureSettingsRecord {
    int32_t device, channels, frequency, bufferNum, bufferLen;
    bool operator==(const CaptureSettingsRecord&) const = default;
};

std::ostream& operator<<(std::ostream& out, const CaptureSettingsRecord& s) {
    return out << "Device " << s.device << ", Channel " << s.channels << ", Frequency "
               << s.frequency << ", BufferNum " << s.bufferNum << ", BufferLen " << s.bufferLen;
}

constexpr CaptureSettingsRecord DEFAULTS{0, 2, 44100, 16, 2048};

CaptureSettingsRecord ReadFrom(std::string_view text) {
    LoadSettingsText(text);
    ReadCaptureSettings();
    const CaptureState& capture = Capture();
    return {capture.Device, capture.WaveFormat.nChannels,
            static_cast<int32_t>(capture.WaveFormat.nSamplesPerSec), capture.BufferNum,
            capture.BufferLen};
}

class SettingsTest : public ::testing::Test {
protected:
    // Later tests read the capture settings with no file.
    void TearDown() override { LoadSettingsText(""); }
};

TEST_F(SettingsTest, BadFilesGiveDefaultsAndGoodEntriesInThemStillCount) {
    const char bytes[] =
        "\0\xff\x01[Vellumtone]\0\nChannel=\0"
        "1\n\xfe\0=\0\n";
    const std::string binary(bytes, sizeof bytes - 1);
    struct Case {
        const char* what;
        std::string text;
        CaptureSettingsRecord expected;
    } cases[] = {
        {"empty", "", DEFAULTS},
        {"binary with NULs", binary, DEFAULTS},
        {"entries before any group", "Channel=1\nFrequency=48000\n", DEFAULTS},
        {"another group",
         "[Other]\nChannel=1\n[Vellumtone]\nBufferNum=8\n",
         {0, 2, 44100, 8, 2048}},
        {"keys in any case, blanks around keys, the first entry wins",
         "\xEF\xBB\xBF[vellumTONE]\r\n  CHANNEL =1\r\nchannel=2\r\nfrequency=48000\r\n",
         {0, 1, 48000, 16, 2048}},
        {"values like atoi",
         "[Vellumtone]\nFrequency= +22050 Hz\nBufferNum=-3\nDevice=3x\n",
         {3, 2, 22050, 16, 2048}},
        {"no digits, or more than 32 bits",
         "[Vellumtone]\nChannel=two\nFrequency=4294975296\n",
         {0, 2, 8000, 16, 2048}},
        {"a half-written last line",
         "[Vellumtone]\nChannel=1\nFrequency=4",
         {0, 1, 44100, 16, 2048}},
        {"a key cut short", "[Vellumtone]\nBufferNum=4\nFreque", {0, 2, 44100, 4, 2048}},
        {"unknown keys and stray lines", "[Vellumtone]\nVolume=11\n=5\nChannel\n; Channel=1\n",
         DEFAULTS},
        {"values the device or the buffers cannot take",
         "[Vellumtone]\nDevice=-1\nChannel=3\nFrequency=7999\nBufferNum=1\nBufferLen=32768\n",
         DEFAULTS},
        {"blanks around keys and values",
         "[Vellumtone]\n Channel = 1\n   BufferNum=\t 4\n",
         {0, 1, 44100, 4, 2048}},
        {"just past the highest", "[Vellumtone]\nFrequency=192001\nBufferNum=257\n", DEFAULTS},
        {"the highest values taken",
         "[Vellumtone]\nDevice=7\nChannel=1\nFrequency=192000\nBufferNum=256\nBufferLen=32767\n",
         {7, 1, 192000, 256, 32767}},
        {"an input chosen by name replaces the device number",
         "[Vellumtone]\nDevice=3\nInput=Mic A\n", DEFAULTS},
        {"so does what is playing", "[Vellumtone]\nPlaying=1\nDevice=3\nInput=\n", DEFAULTS},
        {"an empty input is the default input",
         "[Vellumtone]\nDevice=3\nInput=\nPlaying=0\n",
         {3, 2, 44100, 16, 2048}},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadFrom(c.text), c.expected) << c.what;

    // Only whole lines of the first 64 KiB are read.
    std::string huge = "[Vellumtone]\nChannel=1\n";
    huge += std::string(SETTINGS_FILE_MAX_BYTES - huge.size() - 6, ';') + "\n";
    huge += "BufferNum=8\nFrequency=48000\n" + std::string(1 << 20, 'x');
    EXPECT_EQ(ReadFrom(huge), (CaptureSettingsRecord{0, 1, 44100, 16, 2048}));
    EXPECT_EQ(LimitSettingsText(huge).size(), SETTINGS_FILE_MAX_BYTES - 5);
    EXPECT_EQ(ReadFrom(std::string(1 << 17, '\0')), DEFAULTS);

    LoadSettingsText("[Vellumtone]\nInput=Line In (2)\nOnTop=1\n");
    EXPECT_EQ(ReadSettingText("Input"), "Line In (2)");
    EXPECT_EQ(ReadSettingText("Playing"), "");
    EXPECT_EQ(ReadSettingInteger("ontop", 0), 1);
    EXPECT_EQ(ReadSettingInteger("Playing", 0x1FFFFFFFFLL), -1);  // the default, in 32 bits
    EXPECT_EQ(ParseSettingInteger("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseSettingInteger("\t\n 2147483648"), INT32_MIN);  // wraps, as a 32-bit sum
}

TEST_F(SettingsTest, AChangeKeepsEveryOtherLineAsItWas) {
    // An existing entry gets the new value in place, in whatever case it is
    // written; unknown keys, comments, other groups and line breaks stay.
    std::string text =
        "; my settings\r\n[Other]\r\nInput=elsewhere\r\n[Vellumtone]\r\nVolume=11\r\n"
        "INPUT = old\r\n\r\n[More]\r\nx\r\n";
    ASSERT_TRUE(SetSettingValue(text, "Input", "Mic (USB)", "\n"));
    EXPECT_EQ(text,
              "; my settings\r\n[Other]\r\nInput=elsewhere\r\n[Vellumtone]\r\nVolume=11\r\n"
              "INPUT =Mic (USB)\r\n\r\n[More]\r\nx\r\n");
    // A new key goes after the group's last entry, with the text's line break.
    ASSERT_TRUE(SetSettingValue(text, "OnTop", "1", "\n"));
    EXPECT_EQ(text,
              "; my settings\r\n[Other]\r\nInput=elsewhere\r\n[Vellumtone]\r\nVolume=11\r\n"
              "INPUT =Mic (USB)\r\nOnTop=1\r\n\r\n[More]\r\nx\r\n");
    EXPECT_EQ(FindSettingValue(text, "input"), "Mic (USB)");

    // Without the group, it is added at the end; a last line without a line
    // break gets one first.
    std::string other = "[Other]\nkey=value";
    ASSERT_TRUE(SetSettingValue(other, "Playing", "1", "\r\n"));
    EXPECT_EQ(other, "[Other]\nkey=value\n[Vellumtone]\nPlaying=1\n");
    std::string empty;
    ASSERT_TRUE(SetSettingValue(empty, "Input", "", "\r\n"));
    EXPECT_EQ(empty, "[Vellumtone]\r\nInput=\r\n");
    // Of several groups of the program's, a new key joins the first.
    std::string twice = "[Vellumtone]\n[Other]\nx=1\n[Vellumtone]\nInput=a\n";
    ASSERT_TRUE(SetSettingValue(twice, "OnTop", "1", "\n"));
    EXPECT_EQ(twice, "[Vellumtone]\nOnTop=1\n[Other]\nx=1\n[Vellumtone]\nInput=a\n");
    std::string headerOnly = "[Vellumtone]";
    ASSERT_TRUE(SetSettingValue(headerOnly, "OnTop", "0", "\n"));
    EXPECT_EQ(headerOnly, "[Vellumtone]\nOnTop=0");

    // What the file could not hold is refused, and the text stays as it was.
    std::string kept = "[Vellumtone]\nInput=a\n";
    const std::pair<std::string_view, std::string_view> refused[] = {
        {"Input", "two\nlines"},
        {"Input", "cr\r"},
        {"", "x"},
        {"A=B", "x"},
        {" Input", "x"},
        {"[Vellumtone]", "x"},
        {"Input", std::string_view("nul\0", 4)}};
    for (auto [key, value] : refused) {
        EXPECT_FALSE(SetSettingValue(kept, key, value, "\n")) << key << "=" << value;
    }
    EXPECT_EQ(kept, "[Vellumtone]\nInput=a\n");
}

TEST_F(SettingsTest, AnyValueReadsBackAsSaved) {
    // Names of nodes may hold line breaks, '=' and ']'; a backslash starts
    // an escape, so it is escaped too.
    for (std::string_view value :
         {std::string_view("two\nlines\r\n"), std::string_view("a]=b"),
          std::string_view("\\n is not a line break\\"), std::string_view("nul\0", 4)}) {
        const std::string written = EscapeSettingValue(value);
        std::string text = "[Vellumtone]\n";
        ASSERT_TRUE(SetSettingValue(text, "Input", written, "\n")) << written;
        LoadSettingsText(text);
        EXPECT_EQ(ReadSettingText("Input"), value);
    }
    EXPECT_EQ(EscapeSettingValue(std::string_view("a\\b\r\n\0", 6)), "a\\\\b\\r\\n\\0");
    // A backslash written by hand before anything else stays.
    LoadSettingsText("[Vellumtone]\nInput=C:\\temp\\\n");
    EXPECT_EQ(ReadSettingText("Input"), "C:\\temp\\");
}

TEST_F(SettingsTest, Utf16FilesAreReadAsTheyWillBeWrittenBack) {
    // "[Vellumtone]\r\nInput=" in UTF-16LE, U+10000 (the first pair), then
    // an unpaired surrogate half, which must come back as it was.
    std::string bytes = "\xFF\xFE";
    for (char c : std::string_view("[Vellumtone]\r\nInput=x")) bytes += {c, '\0'};
    bytes += std::string_view("\x00\xD8\x00\xDC\x00\xD8\r\0\n\0", 10);
    LoadSettingsText(bytes);
    EXPECT_EQ(ReadSettingText("Input"), "x\xF0\x90\x80\x80\xED\xA0\x80");
    SettingsTextRecord file = DecodeSettingsFile(bytes);
    EXPECT_TRUE(file.exact);
    std::string again;
    ASSERT_TRUE(EncodeSettingsFile(file.text, file.encoding, &again));
    EXPECT_EQ(again, bytes);
    EXPECT_FALSE(EncodeSettingsFile("\xFF", SettingsEncoding::UTF16_LE, &again));

    // Past the limit, only the whole lines within it, as in UTF-8; here
    // lines of 6 bytes, one of which the limit cuts.
    std::string big = "\xFE\xFF";
    for (char c : std::string_view("[Vellumtone]\nChannel=1\n")) big += {'\0', c};
    while (big.size() <= SETTINGS_FILE_MAX_BYTES) big += std::string_view("\0;\0;\0\n", 6);
    file = DecodeSettingsFile(big);
    EXPECT_FALSE(file.exact);
    EXPECT_TRUE(file.text.ends_with(";;\n"));
    EXPECT_GT(2 + 2 * file.text.size(), SETTINGS_FILE_MAX_BYTES - 6);
    EXPECT_LE(2 + 2 * file.text.size(), SETTINGS_FILE_MAX_BYTES);
    LoadSettingsText(big);
    EXPECT_EQ(ReadSettingInteger("Channel", 2), 1);
}

}  // namespace
