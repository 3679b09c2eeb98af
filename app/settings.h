// Capture settings and the program's other remembered choices, looked up by
// key with built-in defaults. The settings file (settings_file.h) is read
// once at start-up; without one every lookup gives its default, and nothing
// is written until the user changes something.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

// Reads the settings file once, before ReadCaptureSettings. A missing,
// unreadable or unusable file leaves every setting at its default.
void LoadSettingsFile();

// Uses `bytes` as the settings file's contents (its first 64 KiB of whole
// lines; UTF-8, or UTF-16 with a byte order mark), in place of whatever was
// loaded before.
void LoadSettingsText(std::string_view bytes);

// The value of `key` in the loaded settings parsed like C's atoi (32 bits,
// sign-extended); the default, truncated to 32 bits and sign-extended, when
// the key is absent.
int64_t ReadSettingInteger(const char* key, int64_t defaultValue);

// The value text of `key` as it was saved (see SaveSetting), empty when it
// is absent. Not necessarily UTF-8: the file may have been edited by hand.
std::string ReadSettingText(const char* key);

// Remembers a choice of the user's: the loaded settings take it at once, and
// the settings file gets it soon after, from a thread of its own, with every
// other line kept (settings_writer.h). Any value is kept: one that a line
// cannot hold as it stands is escaped. A file that cannot be written, or not
// without losing lines, is left as it is; the choice then holds for this
// run, and stderr says why. False only when there is no place for the file.
// Main thread only.
bool SaveSetting(const char* key, std::string_view value);

// Waits until the settings file holds every choice saved so far, or until
// `deadline`; a write still under way then goes on while the process lives,
// and an end of the process cuts it off with the old file whole. True when
// every change since the last call was written.
bool FinishSettingsWrites(std::chrono::steady_clock::time_point deadline);

// Reads "Device", "Channel", "Frequency", "BufferNum" and "BufferLen" into
// the capture state; bits per sample are always 16. A value outside what the
// device and the buffers are made for gets its default. A chosen input
// ("Input", or "Playing" = 1) replaces the device number, which then keeps
// its default. Returns 0.
int ReadCaptureSettings();

// Doubles the stored channel count: from then on it is the analysis's frame
// size in bytes.
void RescaleChannelCount();
