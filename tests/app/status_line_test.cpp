// The line beside the button on the headless platform: what it says for each
// choice and capture status once that has held a second, that it is drawn
// again only when its text changes, and the browser's failure said at once
// for a few seconds.
#include "app/status_line.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/settings_writer.h"
#include "capture/capture_inputs_null.h"
#include "ui/ui_null.h"

namespace {

using std::chrono::seconds;

struct Step {
    const char* settings;
    CaptureStatusRecord status;
    const char* expected;
};

TEST(StatusLine, SaysWhatIsRecordedWhenItIsNotTheDefaultInputWorking) {
    // Times an hour from now: no notice another test left reaches them, and
    // the notices here end an hour ago, before any other test's time.
    const auto start = std::chrono::steady_clock::now() + std::chrono::hours(1);
    const auto past = std::chrono::steady_clock::now() - std::chrono::hours(1);
    // A known text first, whatever an earlier test left shown.
    ForgetSettingsWriteFailure();  // one that a test of the settings left
    LoadSettingsText("");
    SetNullCaptureStatus({CaptureCondition::NO_SERVER, ""});
    RefreshStatusLine(start);
    RefreshStatusLine(start + seconds(1));
    ResetNullUi();

    const CaptureStatusRecord recording{CaptureCondition::RECORDING, "Built-in Mic"};
    const Step steps[] = {
        {"", recording, ""},  // the plain window
        {"", {CaptureCondition::NO_SERVER, ""}, "No sound server: waiting"},
        {"", {CaptureCondition::NO_DEVICE, ""}, "No input to record from: waiting"},
        {"[Vellumtone]\nInput=alsa_input.rear\nInputName=Line In (Rear Panel)\n",
         {CaptureCondition::RECORDING, "Line In (Rear Panel)"},
         "Recording: Line In (Rear Panel)"},
        {"[Vellumtone]\nInput=alsa_input.rear\nInputName=Line In (Rear Panel)\n",
         {CaptureCondition::STANDING_IN, "Built-in Mic"},
         "Not connected: Line In (Rear Panel) \xE2\x80\x94 recording the default input"},
        // Without the name the menu writes: what records, else the id.
        {"[Vellumtone]\nInput=mic_a\n",
         {CaptureCondition::RECORDING, "Microphone A"},
         "Recording: Microphone A"},
        {"[Vellumtone]\nInput=mic_a\n",
         {CaptureCondition::STANDING_IN, "Built-in Mic"},
         "Not connected: mic_a \xE2\x80\x94 recording the default input"},
        // What records is a monitor: named by its output, as the menu lists it.
        {"[Vellumtone]\nInput=sink_b.monitor\n",
         {CaptureCondition::RECORDING, "Speakers", true},
         "Recording: Speakers (output)"},
        // A name in another encoding (Latin-1 here) shows readably.
        {"[Vellumtone]\nInput=mic_a\nInputName=Entr\xe9 Mic\n",
         {CaptureCondition::RECORDING, "Entr\xe9 Mic"},
         "Recording: Entr\xef\xbf\xbd Mic"},
        {"[Vellumtone]\nInput=mic_a\nPlaying=1\n",
         {CaptureCondition::RECORDING, "Speakers", true},
         "Recording what's playing: Speakers (output)"},
        {"[Vellumtone]\nPlaying=1\n",
         {CaptureCondition::STANDING_IN, "Built-in Mic"},
         "Not available: what's playing \xE2\x80\x94 recording the default input"},
        {"[Vellumtone]\nPlaying=1\n",
         {CaptureCondition::NO_SERVER, ""},
         "No sound server: waiting"},
        {"[Vellumtone]\nInput=\nPlaying=0\n", recording, ""},
    };
    std::vector<std::string> expected;
    auto now = start + seconds(2);
    for (const Step& step : steps) {
        LoadSettingsText(step.settings);
        SetNullCaptureStatus(step.status);
        RefreshStatusLine(now);
        RefreshStatusLine(now + seconds(1));  // said once it has held a second
        RefreshStatusLine(now + seconds(2));  // and not drawn again
        expected.push_back(step.expected);
        now += seconds(3);
    }
    EXPECT_EQ(NullStatusTexts(), expected);

    // A moment without a device (an opening under way) is not said.
    ResetNullUi();
    SetNullCaptureStatus({CaptureCondition::NO_DEVICE, ""});
    RefreshStatusLine(now);
    SetNullCaptureStatus(recording);
    RefreshStatusLine(now + std::chrono::milliseconds(750));
    RefreshStatusLine(now + seconds(2));
    EXPECT_TRUE(NullStatusTexts().empty());

    // The browser's failure, said at once or later by the handler, shows for
    // five seconds over what the line said.
    ResetNullUi();
    LoadSettingsText("[Vellumtone]\nInput=mic_a\n");
    SetNullCaptureStatus({CaptureCondition::RECORDING, "Microphone A"});
    SayBrowserFailed(past);
    RefreshStatusLine(past + seconds(4));
    RefreshStatusLine(past + seconds(6));
    NullRefuseAddress();
    RefreshStatusLine(past + seconds(7));
    RefreshStatusLine(past + seconds(13));
    EXPECT_EQ(NullStatusTexts(), (std::vector<std::string>{
                                     "Could not open the web browser", "Recording: Microphone A",
                                     "Could not open the web browser", "Recording: Microphone A"}));
    // Left as the plain window, for the tests after this one.
    LoadSettingsText("");
    SetNullCaptureStatus({});
    RefreshStatusLine(past + seconds(13));
    RefreshStatusLine(past + seconds(15));
    ResetNullUi();
}

TEST(StatusLine, SaysAChoiceTheSettingsFileDidNotTakeUnderATroubleAndTheBrowsersNotice) {
    const auto start = std::chrono::steady_clock::now() + std::chrono::hours(2);
    ForgetSettingsWriteFailure();
    LoadSettingsText("[Vellumtone]\nInput=mic_a\n");
    SetNullCaptureStatus({CaptureCondition::RECORDING, "Microphone A"});
    RefreshStatusLine(start);
    RefreshStatusLine(start + seconds(1));
    ResetNullUi();
    // The writer gives up for real: a file over 64 KiB, then a folder where
    // the file should be.
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "vellumtone-status-line-test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "folder.ini");
    std::ofstream(folder / "large.ini") << "[Vellumtone]\n" << std::string(70000, ';') << "\n";
    const auto deadline = std::chrono::steady_clock::now() + seconds(20);
    QueueSettingChange((folder / "large.ini").string(), "OnTop", "1");
    EXPECT_FALSE(FinishSettingChanges(deadline));
    auto now = start + seconds(2);
    auto look = [&now](const CaptureStatusRecord& status) {
        SetNullCaptureStatus(status);
        RefreshStatusLine(now);
        RefreshStatusLine(now + seconds(1));
        now += seconds(2);
    };
    look({CaptureCondition::RECORDING, "Microphone A"});
    look({CaptureCondition::NO_SERVER, ""});
    look({CaptureCondition::RECORDING, "Microphone A"});
    // Another kind of failure while the browser's notice shows: said after it.
    SayBrowserFailed(now);
    QueueSettingChange((folder / "folder.ini").string(), "OnTop", "1");
    EXPECT_FALSE(FinishSettingChanges(deadline));
    RefreshStatusLine(now + seconds(1));
    now += seconds(5);
    look({CaptureCondition::RECORDING, "Microphone A"});
    EXPECT_EQ(NullStatusTexts(), (std::vector<std::string>{
                                     "Settings file too large: choice kept until the program ends",
                                     "No sound server: waiting",
                                     "Settings file too large: choice kept until the program ends",
                                     "Could not open the web browser",
                                     "Settings not saved: choice kept until the program ends"}));
    std::filesystem::remove_all(folder);
    // Left with an empty line and the notice over by the clock's time (this
    // test's times lie hours ahead), for the tests after this one.
    ForgetSettingsWriteFailure();
    LoadSettingsText("");
    SetNullCaptureStatus({});
    const auto longAgo = std::chrono::steady_clock::now() - std::chrono::hours(3);
    SayBrowserFailed(longAgo);
    RefreshStatusLine(longAgo + seconds(10));
    ResetNullUi();
}

}  // namespace
