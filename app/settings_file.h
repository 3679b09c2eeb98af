// Where the settings file lives and how it is read and replaced, per
// platform (settings_file_posix.cpp, settings_file_win32.cpp). Paths are
// UTF-8; the Windows layer hands them to the system as UTF-16.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum SettingsFileResult : int {
    SETTINGS_FILE_READ,        // the file's first bytes are in the text
    SETTINGS_FILE_MISSING,     // no file (nor folder) at the path
    SETTINGS_FILE_UNREADABLE,  // something is there, but not a file that can be read
};

// The settings file's path: $XDG_CONFIG_HOME/vellumtone/vellumtone.ini (an
// absolute XDG_CONFIG_HOME only, else $HOME/.config/...) on Linux, the
// roaming application data folder's Vellumtone\vellumtone.ini on Windows.
// Empty when the system names no such folder.
std::string SettingsFilePath();

// Reads at most maxBytes from the start of the file into *text (emptied
// first). Never waits for a writer: only a regular file is read.
SettingsFileResult ReadSettingsFile(const std::string& path, size_t maxBytes, std::string* text);

// Replaces the file with `text` as one step: the folders are created, the
// text is written to a new file beside it (named after the file, then
// SETTINGS_TEMPORARY_INFIX) and flushed to the disk, and that file is
// renamed over the old one, whose permissions it takes. A symbolic link
// stays a link: the file it names is replaced, or made. False on any
// failure (a full disk, an error at flushing or closing), with the old file
// as it was and no new file left behind. New files that a crash left, older
// than SETTINGS_LEFTOVER_AGE_S (younger ones may be another copy of the
// program's write in progress), are removed.
bool WriteSettingsFile(const std::string& path, std::string_view text);

constexpr const char* SETTINGS_TEMPORARY_INFIX = ".new-";
constexpr long SETTINGS_LEFTOVER_AGE_S = 60;

// The line break that new settings files use on this platform.
std::string_view SettingsFileNewline();
