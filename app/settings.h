// Capture settings and the program's other remembered choices, looked up by
// key with built-in defaults. The settings file (settings_file.h) is read
// once at start-up; without one every lookup gives its default, and nothing
// is written until the user changes something.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Reads the settings file once, before ReadCaptureSettings. A missing,
// unreadable or unusable file leaves every setting at its default.
void LoadSettingsFile();

// Uses `text` as the settings file's contents (its first 64 KiB of whole
// lines), in place of whatever was loaded before.
void LoadSettingsText(std::string_view text);

// The value of `key` in the loaded settings parsed like C's atoi (32 bits,
// sign-extended); the default, truncated to 32 bits and sign-extended, when
// the key is absent.
int64_t ReadSettingInteger(const char* key, int64_t defaultValue);

// The value text of `key`, empty when it is absent.
std::string ReadSettingText(const char* key);

// Remembers a choice of the user's: the loaded settings take it at once, and
// the settings file gets it, with every other line kept. False when the file
// could not be written (the choice still holds for this run), or when it
// could not be read whole, which leaves it untouched rather than lose lines.
// Main thread only.
bool SaveSetting(const char* key, std::string_view value);

// Reads "Device", "Channel", "Frequency", "BufferNum" and "BufferLen" into
// the capture state; bits per sample are always 16. A value outside what the
// device and the buffers are made for gets its default. A chosen input
// ("Input", or "Playing" = 1) replaces the device number, which then keeps
// its default. Returns 0.
int ReadCaptureSettings();

// Doubles the stored channel count: from then on it is the analysis's frame
// size in bytes.
void RescaleChannelCount();
