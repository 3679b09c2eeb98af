// Capture settings: looked up by key with built-in defaults. No settings
// store is ever opened, so every lookup gives its default.
#pragma once

#include <cstdint>

// The default, truncated to 32 bits and sign-extended, when no store holds
// the key.
int64_t ReadSettingInteger(const char* key, int64_t defaultValue);

// Reads "Device", "Channel", "Frequency", "BufferNum" and "BufferLen" into
// the capture state; bits per sample are always 16. Returns 0.
int ReadCaptureSettings();

// Doubles the stored channel count: from then on it is the analysis's frame
// size in bytes.
void RescaleChannelCount();
