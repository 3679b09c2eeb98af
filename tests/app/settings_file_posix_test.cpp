// The settings file on Linux: where it lives, the replacement in one step,
// and the failures that must leave the old file as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
#include "tests/support/settings_written.h"

namespace {

namespace fs = std::filesystem;

void Put(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool Saved(const char* key, std::string_view value) {
    return SaveSetting(key, value) && SettingsWritten();
}

// Whether `body` returns true in a child process: for what would change this
// process for good (a user, a limit). The child ends without running any
// test's clean-up.
template <typename Body>
bool TrueInChild(Body body) {
    pid_t child = fork();
    if (child == 0) _exit(body() ? 0 : 1);
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// A text as Notepad's "Unicode" (or "Unicode big endian") saves it.
std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
        const auto high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

size_t FilesIn(const fs::path& folder) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
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
    ASSERT_TRUE(Saved("Input", "Mic A"));
    EXPECT_EQ(Contents(file_), "[Vellumtone]\nInput=Mic A\n");
    EXPECT_EQ(fs::status(file_.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);

    // An edit made meanwhile is kept, and nothing but the file is left.
    Put(file_, "; mine\n[Vellumtone]\nInput=Mic A\nChannel=1\n[Other]\nx=1\n");
    ASSERT_TRUE(Saved("OnTop", "1"));
    EXPECT_EQ(Contents(file_),
              "; mine\n[Vellumtone]\nInput=Mic A\nChannel=1\nOnTop=1\n[Other]\nx=1\n");
    EXPECT_EQ(FilesIn(file_.parent_path()), 1u);

    // Saves in a row, each taken at once, reach the file in their order.
    for (int i = 0; i <= 20; ++i) {
        SaveSetting("OnTop", i % 2 ? "1" : "0");
        SaveSetting("Channel", std::to_string(i));
        EXPECT_EQ(ReadSettingText("Channel"), std::to_string(i));
    }
    ASSERT_TRUE(SettingsWritten());
    EXPECT_EQ(Contents(file_),
              "; mine\n[Vellumtone]\nInput=Mic A\nChannel=20\nOnTop=0\n[Other]\nx=1\n");
    LoadSettingsFile();
    EXPECT_EQ(ReadSettingText("Input"), "Mic A");
    EXPECT_EQ(ReadSettingInteger("Channel", 2), 20);

    // A file that cannot be read whole is not rewritten: lines would be lost.
    const std::string huge = "[Vellumtone]\n" + std::string(SETTINGS_FILE_MAX_BYTES, ';');
    Put(file_, huge);
    EXPECT_FALSE(Saved("OnTop", "0"));
    EXPECT_EQ(Contents(file_), huge);
    std::string text;
    EXPECT_EQ(ReadSettingsFile(file_.string(), 100, &text), SETTINGS_FILE_READ);
    EXPECT_EQ(text.size(), 100u);

    // Something that is no file: read as unreadable at once, never replaced.
    fs::remove(file_);
    ASSERT_EQ(mkfifo(file_.c_str(), 0600), 0);
    EXPECT_EQ(ReadSettingsFile(file_.string(), 100, &text), SETTINGS_FILE_UNREADABLE);
    EXPECT_FALSE(Saved("OnTop", "0"));
    EXPECT_EQ(ReadSettingsFile((root_ / "none").string(), 100, &text), SETTINGS_FILE_MISSING);
}

TEST_F(SettingsFileTest, AFolderThatCannotBeWrittenLeavesTheOldFileAndTheChoiceForThisRun) {
    fs::create_directories(file_.parent_path());
    Put(file_, "[Vellumtone]\nInput=old\n");
    chmod(file_.parent_path().c_str(), 0555);
    // Root writes anywhere: the write runs as an unprivileged user then, in
    // a child forked here, so that it works on this test's folder.
    EXPECT_TRUE(TrueInChild([this] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return false;
        return !WriteSettingsFile(file_.string(), "[Vellumtone]\nInput=new\n") &&
               !Saved("Input", "new") && ReadSettingText("Input") == "new" &&
               Contents(file_) == "[Vellumtone]\nInput=old\n";
    }));
    EXPECT_EQ(Contents(file_), "[Vellumtone]\nInput=old\n");

    // A folder that cannot even be made (a file stands in its way).
    Put(root_ / "blocked", "");
    setenv("XDG_CONFIG_HOME", (root_ / "blocked").c_str(), 1);
    EXPECT_FALSE(Saved("OnTop", "1"));
    EXPECT_EQ(ReadSettingInteger("OnTop", 0), 1);
    EXPECT_EQ(Contents(root_ / "blocked"), "");

    // A failure is told once: the next save that works says so.
    setenv("XDG_CONFIG_HOME", (root_ / "elsewhere").c_str(), 1);
    EXPECT_TRUE(Saved("OnTop", "1"));
}

TEST_F(SettingsFileTest, AFailedWriteLeavesTheOldFileByteForByte) {
    const std::string old = "[Vellumtone]\nInput=old\n";
    fs::create_directories(file_.parent_path());
    Put(file_, old);
    // As on a full disk or past a quota: every write past 16 bytes fails
    // (EFBIG, with SIGXFSZ ignored). In a child, so that the limit ends with it.
    EXPECT_TRUE(TrueInChild([this] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};
        return setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
               !WriteSettingsFile(file_.string(), "[Vellumtone]\nInput=a longer name\n") &&
               !Saved("Input", "a longer name") && ReadSettingText("Input") == "a longer name";
    }));
    EXPECT_EQ(Contents(file_), old);
    EXPECT_EQ(FilesIn(file_.parent_path()), 1u);
}

TEST_F(SettingsFileTest, ItsPermissionsAndLinksAreKept) {
    fs::create_directories(file_.parent_path());
    Put(file_, "[Vellumtone]\n");
    fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(Saved("OnTop", "1"));
    EXPECT_EQ(fs::status(file_).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // A link (to a dotfile that does not exist yet, then does) stays a link,
    // and what it names gets the text.
    const fs::path named = root_ / "dotfiles" / "vellumtone.ini";
    fs::create_directories(named.parent_path());
    fs::remove(file_);
    fs::create_symlink("../../dotfiles/vellumtone.ini", file_);
    ASSERT_TRUE(Saved("Input", "a"));
    ASSERT_TRUE(Saved("OnTop", "0"));
    EXPECT_TRUE(fs::is_symlink(file_));
    EXPECT_EQ(Contents(named), "[Vellumtone]\nInput=a\nOnTop=0\n");
    EXPECT_EQ(FilesIn(named.parent_path()), 1u);

    // A loop of links names no file at all.
    fs::remove(file_);
    fs::create_symlink(file_.filename(), file_);
    EXPECT_FALSE(Saved("OnTop", "1"));
    EXPECT_TRUE(fs::is_symlink(file_));
}

TEST_F(SettingsFileTest, TheNextWriteRemovesWhatACrashLeft) {
    const fs::path folder = file_.parent_path();
    fs::create_directories(folder);
    const fs::path left = folder / "vellumtone.ini.new-Ab12Cd";
    const fs::path inProgress = folder / "vellumtone.ini.new-Ef34Gh";  // another copy's write
    const fs::path other = folder / "notes.new-Ab12Cd";
    const fs::path backup = folder / "vellumtone.ini.bak";  // the user's own
    for (const fs::path& path : {left, inProgress, other, backup}) Put(path, "half");
    for (const fs::path& path : {left, other, backup}) {
        fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(2));
    }
    ASSERT_TRUE(Saved("OnTop", "1"));
    EXPECT_FALSE(fs::exists(left));
    EXPECT_TRUE(fs::exists(inProgress));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_TRUE(fs::exists(backup));
}

TEST_F(SettingsFileTest, AUnicodeFileIsReadAndKeepsItsEncoding) {
    fs::create_directories(file_.parent_path());
    for (bool bigEndian : {false, true}) {
        Put(file_,
            Utf16(u"; Notepad\r\n[Vellumtone]\r\nInput=Mikrofon \u00FC\U0001F3A4\r\n", bigEndian));
        LoadSettingsFile();
        EXPECT_EQ(ReadSettingText("Input"), "Mikrofon \u00FC\U0001F3A4");
        ASSERT_TRUE(Saved("OnTop", "1"));
        EXPECT_EQ(Contents(file_),
                  Utf16(u"; Notepad\r\n[Vellumtone]\r\nInput=Mikrofon \u00FC\U0001F3A4\r\n"
                        u"OnTop=1\r\n",
                        bigEndian));
    }
    // An odd last byte could not be written back: the file is left alone.
    const std::string odd = Utf16(u"[Vellumtone]\r\n", false) + "x";
    Put(file_, odd);
    EXPECT_FALSE(Saved("OnTop", "0"));
    EXPECT_EQ(Contents(file_), odd);
}

TEST_F(SettingsFileTest, AFileOfExactlyTheLimitIsReadAndKeptWhole) {
    const std::string head = "[Vellumtone]\n", tail = "\nOnTop=0\n";
    const std::string exact =
        head + std::string(SETTINGS_FILE_MAX_BYTES - head.size() - tail.size(), ';') + tail;
    fs::create_directories(file_.parent_path());
    Put(file_, exact);
    LoadSettingsFile();
    EXPECT_EQ(ReadSettingInteger("OnTop", 5), 0);
    ASSERT_TRUE(Saved("OnTop", "1"));
    std::string changed = exact;
    changed[changed.size() - 2] = '1';
    EXPECT_EQ(Contents(file_), changed);
    // Past the limit the next start would not read the file whole: the
    // change holds for this run only.
    EXPECT_FALSE(Saved("OnTop", "10"));
    EXPECT_EQ(ReadSettingInteger("OnTop", 0), 10);
    EXPECT_EQ(Contents(file_), changed);
}

}  // namespace
