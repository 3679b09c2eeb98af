// Waits for the settings file's writes that tests start, with a time limit.
#pragma once

#include <chrono>

#include "app/settings.h"

// True once every choice saved so far is in the file; false when one was
// given up, or after 10 s.
inline bool SettingsWritten() {
    return FinishSettingsWrites(std::chrono::steady_clock::now() + std::chrono::seconds(10));
}
