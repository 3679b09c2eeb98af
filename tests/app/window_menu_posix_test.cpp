// The window's menu on the headless platform: what it lists, what a choice
// records from, and what it remembers. Posix only: a choice writes the
// settings file, which here goes to a private folder (XDG_CONFIG_HOME).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/reading_aids.h"
#include "app/settings.h"
#include "app/window_menu.h"
#include "capture/capture_device.h"
#include "capture/capture_inputs_null.h"
#include "capture/capture_null.h"
#include "capture/capture_state.h"
#include "meter/meter_table.h"
#include "tests/support/settings_written.h"
#include "ui/event_queue.h"
#include "ui/ui_null.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Texts(const NullShownMenu& menu) {
    std::vector<std::string> texts;
    for (const PopupMenuItem& item : menu.items) {
        std::string text = item.command == 0 ? "-" : item.text;
        if (item.checked) text += " [x]";
        if (!item.enabled) text += " (grey)";
        texts.push_back(text);
    }
    return texts;
}

int64_t CommandOf(const NullShownMenu& menu, const std::string& text) {
    for (const PopupMenuItem& item : menu.items)
        if (item.text == text) return item.command;
    return -1;
}

// Chooses an item of the open menu and hands its event on as the loop does.
void Choose(const std::string& text) {
    ASSERT_TRUE(NullChooseMenuItem(CommandOf(NullShownMenus().back(), text))) << text;
    ASSERT_EQ(PollEvent(), EVENT_MENU);
    TakeWindowMenuChoice(EventControl());
}

std::string FileText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A private settings folder and an open headless device; what a test saves
// is written before the folder goes.
class WindowMenu : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(folder_);
        setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
        ResetNullUi();
        ResetEventState();
        ResetNullCapture(true);
    }
    void OpenDevice() {
        Capture().DeviceHandle =
            OpenCaptureDevice(DEFAULT_CAPTURE_DEVICE, WaveFormatRecord{}, nullptr);
        ASSERT_NE(Capture().DeviceHandle.Get(), nullptr);
    }
    void TearDown() override {
        EXPECT_TRUE(SettingsWritten());
        StopCaptureDevice(Capture().DeviceHandle);
        Capture().DeviceHandle = nullptr;
        LoadSettingsText("");
        unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(folder_);
    }
    const fs::path folder_ =
        fs::temp_directory_path() / ("vellumtone-menu-" + std::to_string(getpid()));
    const fs::path file = folder_ / "vellumtone" / "vellumtone.ini";
};

TEST_F(WindowMenu, ListsChoosesAndRemembers) {
    // Two inputs of one name, the first the default; the name remembered
    // for the chosen one was edited by hand in Latin-1.
    SetNullCaptureInputs({{"mic_a", "Microphone A", false, true},
                          {"mic_b", "Microphone A", false},
                          {"out.monitor", "Speakers", true}},
                         true);
    OpenDevice();
    LoadSettingsText("[Vellumtone]\nInput=usb_mic\nInputName=Mikrofon f\xFCr USB\n");

    OpenWindowMenu(false);
    ASSERT_EQ(NullShownMenus().size(), 1u);
    EXPECT_TRUE(NullShownMenus().back().atPointer);
    const std::vector<std::string> aids = {"-",
                                           "Always on top",
                                           "-",
                                           "Scale marks",
                                           "Decibel scale",
                                           "Peak hold",
                                           "Level readout",
                                           "Hold overload until clicked",
                                           "Clear overload (grey)",
                                           "Read levels (L)",
                                           "Announce clipping"};
    auto shown = [&aids](std::vector<std::string> inputs) {
        inputs.insert(inputs.end(), aids.begin(), aids.end());
        return inputs;
    };
    EXPECT_EQ(Texts(NullShownMenus().back()),
              shown({"Default input (Microphone A)", "Microphone A", "Microphone A (2)",
                     "Mikrofon f\uFFFDr USB (not connected) [x] (grey)", "-", "What's playing",
                     "Speakers (output)"}));
    EXPECT_FALSE(fs::exists(file));  // opening the menu writes nothing

    // An output's monitor: one tick, and nothing left of the input before.
    Choose("Speakers (output)");
    EXPECT_EQ(NullCaptureTarget(), CaptureTarget::NAMED_INPUT);
    EXPECT_EQ(NullCaptureTargetId(), "out.monitor");
    OpenWindowMenu(false);
    EXPECT_EQ(Texts(NullShownMenus().back()),
              shown({"Default input (Microphone A)", "Microphone A", "Microphone A (2)", "-",
                     "What's playing", "Speakers (output) [x]"}));
    ASSERT_TRUE(SettingsWritten());
    EXPECT_EQ(FileText(file),
              "[Vellumtone]\nPlaying=0\nInput=out.monitor\nInputName=Speakers (output)\n");
    Choose("What's playing");
    OpenWindowMenu(false);
    EXPECT_EQ(Texts(NullShownMenus().back()),
              shown({"Default input (Microphone A)", "Microphone A", "Microphone A (2)", "-",
                     "What's playing [x]", "Speakers (output)"}));
    Choose("Microphone A (2)");
    EXPECT_EQ(NullCaptureTargetId(), "mic_b");

    OpenWindowMenu(true);
    EXPECT_FALSE(NullShownMenus().back().atPointer);
    Choose("Always on top");
    EXPECT_EQ(NullWindowsOnTop(), (std::vector<int64_t>{MAIN_WINDOW}));
    OpenWindowMenu(true);
    EXPECT_EQ(Texts(NullShownMenus().back()).end()[-10], "Always on top [x]");
    Choose("Default input (Microphone A)");
    EXPECT_EQ(NullCaptureTarget(), CaptureTarget::DEFAULT_INPUT);
    OpenWindowMenu(true);
    EXPECT_EQ(Texts(NullShownMenus().back())[0], "Default input (Microphone A) [x]");
    ASSERT_TRUE(SettingsWritten());
    EXPECT_EQ(FileText(file), "[Vellumtone]\nPlaying=0\nInput=\nInputName=\nOnTop=1\n");
    // Remembered at the next start.
    ResetNullUi();
    ApplyRememberedChoices();
    EXPECT_EQ(NullWindowsOnTop(), (std::vector<int64_t>{MAIN_WINDOW}));

    // The reading aids, each a check item of its own; clearing the overload
    // light only while it is held.
    for (const char* aid : {"Scale marks", "Decibel scale", "Peak hold", "Level readout",
                            "Hold overload until clicked", "Announce clipping"}) {
        OpenWindowMenu(true);
        Choose(aid);
    }
    OpenWindowMenu(true);
    const std::vector<std::string> texts = Texts(NullShownMenus().back());
    EXPECT_EQ(
        std::vector<std::string>(texts.end() - 8, texts.end()),
        (std::vector<std::string>{"Scale marks [x]", "Decibel scale [x]", "Peak hold [x]",
                                  "Level readout [x]", "Hold overload until clicked [x]",
                                  "Clear overload", "Read levels (L)", "Announce clipping [x]"}));
    ASSERT_TRUE(SettingsWritten());
    EXPECT_EQ(FileText(file),
              "[Vellumtone]\nPlaying=0\nInput=\nInputName=\nOnTop=1\nScaleMarks=1\n"
              "DecibelScale=1\nPeakHold=1\nLevelReadout=1\nHoldOverload=1\nAnnounceClipping=1\n");
    Choose("Peak hold");
    EXPECT_EQ(ReadSettingInteger("PeakHold", 1), 0);

    // Clearing the held light, by the menu or a click, waits for the
    // analysis thread's update: the meter records are its own meanwhile.
    for (auto clear : {+[] { ClearOverloadLights(); }, +[] { ClickMeter(LEFT_METER); }}) {
        std::unique_lock<std::mutex> update(MeterUpdateLock());
        auto cleared = std::async(std::launch::async, clear);
        EXPECT_EQ(cleared.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
        update.unlock();
        cleared.wait();
    }
}

// A sound server may name a node with anything, line breaks among it: the
// file keeps it, and the menu after a restart ticks that input.
TEST_F(WindowMenu, AnyNameIsRememberedAsChosen) {
    const std::string id = "node\nwith ]=\\n\r";
    SetNullCaptureInputs({{id, "Two\nlines", false}}, false);
    OpenDevice();
    OpenWindowMenu(false);
    Choose("Two\nlines");
    EXPECT_EQ(NullCaptureTargetId(), id);
    ASSERT_TRUE(SettingsWritten());
    EXPECT_EQ(FileText(file),
              "[Vellumtone]\nPlaying=0\nInput=node\\nwith ]=\\\\n\\r\nInputName=Two\\nlines\n");
    LoadSettingsFile();
    OpenWindowMenu(false);
    EXPECT_EQ(Texts(NullShownMenus().back())[1], "Two\nlines [x]");
}

// The default item names the default input as its own item does, so that
// two of one name are told apart there too.
TEST_F(WindowMenu, TheDefaultItemNamesTheDefaultAsItsRowDoes) {
    SetNullCaptureInputs({{"mic_a", "Microphone A", false}, {"mic_b", "Microphone A", false, true}},
                         true);
    OpenDevice();
    OpenWindowMenu(false);
    EXPECT_EQ(Texts(NullShownMenus().back())[0], "Default input (Microphone A (2)) [x]");
}

}  // namespace
