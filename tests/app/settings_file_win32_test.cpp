// The settings file on Windows: its place under the roaming application data
// folder, and the replacement in one step through MoveFileExW.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "app/settings_file.h"
#include "system/windows_api_win32.h"
#include "tests/support/file_contents.h"

namespace {

namespace fs = std::filesystem;

TEST(SettingsFileWin32, ReplacesTheFileInOneStepInAFolderItMakes) {
    EXPECT_TRUE(SettingsFilePath().ends_with("\\Vellumtone\\vellumtone.ini")) << SettingsFilePath();

    const fs::path root = fs::temp_directory_path() / "vellumtone-settings-test";
    fs::remove_all(root);
    const fs::path file = root / "Vellumtone" / "vellumtone.ini";
    ASSERT_TRUE(WriteSettingsFile(file.string(), "[Vellumtone]\r\nInput=a\r\n"));
    ASSERT_TRUE(WriteSettingsFile(file.string(), "[Vellumtone]\r\nInput=b\r\n"));
    EXPECT_EQ(Contents(file), "[Vellumtone]\r\nInput=b\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}), 1);

    std::string text;
    EXPECT_EQ(ReadSettingsFile(file.string(), 12, &text), SETTINGS_FILE_READ);
    EXPECT_EQ(text, "[Vellumtone]");
    EXPECT_EQ(ReadSettingsFile((root / "none.ini").string(), 12, &text), SETTINGS_FILE_MISSING);
    EXPECT_EQ(ReadSettingsFile(root.string(), 12, &text), SETTINGS_FILE_UNREADABLE);

    // A file where the folder should be: nothing can be written.
    std::ofstream(root / "blocked") << "x";
    EXPECT_FALSE(WriteSettingsFile((root / "blocked" / "vellumtone.ini").string(), "y"));
    EXPECT_EQ(Contents(root / "blocked"), "x");
    fs::remove_all(root);
}

TEST(SettingsFileWin32, WaitsForAReaderOfTheOldFileAndRemovesWhatACrashLeft) {
    const fs::path folder = fs::temp_directory_path() / "vellumtone-settings-held";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path file = folder / "vellumtone.ini";
    std::ofstream(file) << "old";
    // As a search indexer or a virus scanner opens it: without sharing its
    // deletion, which refuses the move over it.
    HANDLE held =
        CreateFileW(file.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteSettingsFile(file.string(), "new"));
    EXPECT_EQ(Contents(file), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);
    std::thread reader([held] {
        Sleep(50);
        CloseHandle(held);
    });
    EXPECT_TRUE(WriteSettingsFile(file.string(), "new"));
    reader.join();
    EXPECT_EQ(Contents(file), "new");

    // A write cut short a while ago left its file; a young one may be
    // another copy's write in progress.
    const fs::path left = folder / "vellumtone.ini.new-4242.tmp";
    const fs::path young = folder / "vellumtone.ini.new-4343.tmp";
    std::ofstream(left) << "half";
    std::ofstream(young) << "half";
    fs::last_write_time(left, fs::file_time_type::clock::now() - std::chrono::minutes(2));
    EXPECT_TRUE(WriteSettingsFile(file.string(), "newer"));
    EXPECT_FALSE(fs::exists(left));
    EXPECT_TRUE(fs::exists(young));
    fs::remove_all(folder);
}

}  // namespace
