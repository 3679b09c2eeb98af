// The window's menu on the headless platform: what it lists, what a choice
// records from, and what it remembers. Posix only: a choice writes the
// settings file, which here goes to a private folder (XDG_CONFIG_HOME).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/settings.h"
#include "app/window_menu.h"
#include "capture/capture_device.h"
#include "capture/capture_inputs_null.h"
#include "capture/capture_null.h"
#include "capture/capture_state.h"
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

TEST(WindowMenu, ListsChoosesAndRemembers) {
    const fs::path folder =
        fs::temp_directory_path() / ("vellumtone-menu-" + std::to_string(getpid()));
    fs::remove_all(folder);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    const fs::path file = folder / "vellumtone" / "vellumtone.ini";
    ResetNullUi();
    ResetEventState();
    ResetNullCapture(true);
    SetNullCaptureInputs({{"mic_a", "Microphone A", false}, {"out.monitor", "Speakers", true}},
                         false);
    Capture().DeviceHandle = OpenCaptureDevice(DEFAULT_CAPTURE_DEVICE, WaveFormatRecord{}, nullptr);
    ASSERT_NE(Capture().DeviceHandle.Get(), nullptr);
    LoadSettingsText("[Vellumtone]\nInput=usb_mic\n");

    OpenWindowMenu(false);
    ASSERT_EQ(NullShownMenus().size(), 1u);
    EXPECT_TRUE(NullShownMenus().back().atPointer);
    EXPECT_EQ(Texts(NullShownMenus().back()),
              (std::vector<std::string>{
                  "Default input", "Microphone A", "usb_mic (not connected) [x] (grey)", "-",
                  "What's playing (grey)", "Speakers", "-", "Always on top", "-", "Scale marks",
                  "Decibel scale", "Peak hold", "Level readout", "Hold overload until clicked",
                  "Clear overload (grey)"}));
    EXPECT_FALSE(fs::exists(file));  // opening the menu writes nothing

    Choose("Speakers");
    EXPECT_EQ(NullCaptureTarget(), CaptureTarget::NAMED_INPUT);
    EXPECT_EQ(NullCaptureTargetId(), "out.monitor");
    EXPECT_EQ(FileText(file), "[Vellumtone]\nPlaying=0\nInput=out.monitor\n");

    OpenWindowMenu(true);
    EXPECT_FALSE(NullShownMenus().back().atPointer);
    Choose("Always on top");
    EXPECT_EQ(NullWindowsOnTop(), (std::vector<int64_t>{MAIN_WINDOW}));
    OpenWindowMenu(true);
    EXPECT_EQ(Texts(NullShownMenus().back()).end()[-8], "Always on top [x]");
    Choose("Default input");
    EXPECT_EQ(NullCaptureTarget(), CaptureTarget::DEFAULT_INPUT);
    EXPECT_EQ(FileText(file), "[Vellumtone]\nPlaying=0\nInput=\nOnTop=1\n");

    // The reading aids, each a check item of its own; clearing the overload
    // light only while it is held.
    for (const char* aid : {"Scale marks", "Decibel scale", "Peak hold", "Level readout",
                            "Hold overload until clicked"}) {
        OpenWindowMenu(true);
        Choose(aid);
    }
    OpenWindowMenu(true);
    const std::vector<std::string> texts = Texts(NullShownMenus().back());
    EXPECT_EQ(std::vector<std::string>(texts.end() - 6, texts.end()),
              (std::vector<std::string>{"Scale marks [x]", "Decibel scale [x]", "Peak hold [x]",
                                        "Level readout [x]", "Hold overload until clicked [x]",
                                        "Clear overload"}));
    EXPECT_EQ(FileText(file),
              "[Vellumtone]\nPlaying=0\nInput=\nOnTop=1\nScaleMarks=1\nDecibelScale=1\n"
              "PeakHold=1\nLevelReadout=1\nHoldOverload=1\n");
    Choose("Peak hold");
    EXPECT_EQ(ReadSettingInteger("PeakHold", 1), 0);

    StopCaptureDevice(Capture().DeviceHandle);
    Capture().DeviceHandle = nullptr;
    LoadSettingsText("");
    unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(folder);
}

}  // namespace
