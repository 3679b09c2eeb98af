// The settings file on Linux: where it lives, the replacement in one step,
// and the failures that must leave the old file as it was.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "app/settings.h"
#include "app/settings_file.h"
#include "app/settings_store.h"
#include "tests/support/file_contents.h"

namespace {

namespace fs = std::filesystem;

void Put(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A private XDG_CONFIG_HOME; the environment is given back afterwards.
class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/vellumtone-settings.XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        root_ = folder;
        chmod(folder, 0755);  // reachable by the unprivileged user below
        Keep("XDG_CONFIG_HOME", savedConfig_);
        Keep("HOME", savedHome_);
        setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        file_ = root_ / "config" / "vellumtone" / "vellumtone.ini";
    }
    void TearDown() override {
        Restore("XDG_CONFIG_HOME", savedConfig_);
        Restore("HOME", savedHome_);
        LoadSettingsText("");
        std::error_code ignored;
        fs::permissions(file_.parent_path(), fs::perms::owner_all, ignored);
        fs::remove_all(root_, ignored);
    }
    static void Keep(const char* name, std::optional<std::string>& saved) {
        if (const char* value = getenv(name)) saved = value;
    }
    static void Restore(const char* name, const std::optional<std::string>& saved) {
        if (saved) {
            setenv(name, saved->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    fs::path root_, file_;
    std::optional<std::string> savedConfig_, savedHome_;
};

TEST_F(SettingsFileTest, AChangeReplacesTheFileInOneStepAndStartUpReadsIt) {
    EXPECT_EQ(SettingsFilePath(), file_.string());
    // A relative XDG_CONFIG_HOME is not to be used: HOME's .config is.
    setenv("XDG_CONFIG_HOME", "config", 1);
    setenv("HOME", root_.c_str(), 1);
    EXPECT_EQ(SettingsFilePath(), (root_ / ".config/vellumtone/vellumtone.ini").string());
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);

    // Without a file start-up has the defaults and writes nothing.
    LoadSettingsFile();
    EXPECT_EQ(ReadSettingInteger("Channel", 2), 2);
    EXPECT_FALSE(fs::exists(root_ / "config"));

    // The first change makes the folder, for the user alone.
    ASSERT_TRUE(SaveSetting("Input", "Mic A"));
    EXPECT_EQ(Contents(file_), "[Vellumtone]\nInput=Mic A\n");
    EXPECT_EQ(fs::status(file_.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);

    // An edit made meanwhile is kept, and nothing but the file is left.
    Put(file_, "; mine\n[Vellumtone]\nInput=Mic A\nChannel=1\n[Other]\nx=1\n");
    ASSERT_TRUE(SaveSetting("OnTop", "1"));
    EXPECT_EQ(Contents(file_),
              "; mine\n[Vellumtone]\nInput=Mic A\nChannel=1\nOnTop=1\n[Other]\nx=1\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(file_.parent_path()), {}), 1);
    LoadSettingsFile();
    EXPECT_EQ(ReadSettingText("Input"), "Mic A");
    EXPECT_EQ(ReadSettingInteger("Channel", 2), 1);

    // A file that cannot be read whole is not rewritten: lines would be lost.
    const std::string huge = "[Vellumtone]\n" + std::string(SETTINGS_FILE_MAX_BYTES, ';');
    Put(file_, huge);
    EXPECT_FALSE(SaveSetting("OnTop", "0"));
    EXPECT_EQ(Contents(file_), huge);
    std::string text;
    EXPECT_EQ(ReadSettingsFile(file_.string(), 100, &text), SETTINGS_FILE_READ);
    EXPECT_EQ(text.size(), 100u);

    // Something that is no file: read as unreadable at once, never replaced.
    fs::remove(file_);
    ASSERT_EQ(mkfifo(file_.c_str(), 0600), 0);
    EXPECT_EQ(ReadSettingsFile(file_.string(), 100, &text), SETTINGS_FILE_UNREADABLE);
    EXPECT_FALSE(SaveSetting("OnTop", "0"));
    EXPECT_EQ(ReadSettingsFile((root_ / "none").string(), 100, &text), SETTINGS_FILE_MISSING);
}

TEST_F(SettingsFileTest, AFolderThatCannotBeWrittenLeavesTheOldFileAndTheChoiceForThisRun) {
    fs::create_directories(file_.parent_path());
    Put(file_, "[Vellumtone]\nInput=old\n");
    chmod(file_.parent_path().c_str(), 0555);
    // Root writes anywhere: the write runs as an unprivileged user then, in
    // a child forked here, so that it works on this test's folder.
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
            bool refused = !WriteSettingsFile(file_.string(), "[Vellumtone]\nInput=new\n") &&
                           !SaveSetting("Input", "new") && ReadSettingText("Input") == "new";
            _exit(refused && Contents(file_) == "[Vellumtone]\nInput=old\n" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    GTEST_FLAG_SET(death_test_style, style);
    EXPECT_EQ(Contents(file_), "[Vellumtone]\nInput=old\n");

    // A folder that cannot even be made (a file stands in its way).
    Put(root_ / "blocked", "");
    setenv("XDG_CONFIG_HOME", (root_ / "blocked").c_str(), 1);
    EXPECT_FALSE(SaveSetting("OnTop", "1"));
    EXPECT_EQ(ReadSettingInteger("OnTop", 0), 1);
    EXPECT_EQ(Contents(root_ / "blocked"), "");
}

}  // namespace
