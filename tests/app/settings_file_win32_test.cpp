// The settings file on Windows: its place under the roaming application data
// folder, and the replacement in one step through MoveFileExW.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/settings_file.h"
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

}  // namespace
