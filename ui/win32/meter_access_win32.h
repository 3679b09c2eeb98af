// What the two accessibility objects of a meter canvas share: the UI
// Automation provider and the Active Accessibility (MSAA) object read one
// record, which the level setter writes from whatever thread it runs on.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "ui/win32/uia_core_win32.h"

// The range a level is given in, dBFS: the lowest level worth telling apart
// from silence, and full scale, above which no sample lies.
constexpr double METER_ACCESS_MINIMUM = -60.0;
constexpr double METER_ACCESS_MAXIMUM = 0.0;
// What a meter reads before its first level, as in silence.
constexpr wchar_t METER_ACCESS_SILENCE[] = L"-inf dB";

struct MeterAccessState {
    // Guards the members: clients call on UI Automation's threads as well as
    // the window's, and levels may come from any thread.
    std::mutex lock;
    HWND window = nullptr;  // null once detached: clients then hear the element is gone
    std::wstring name;      // "Left channel"
    double level = METER_ACCESS_MINIMUM;       // dBFS, within the range
    std::wstring text = METER_ACCESS_SILENCE;  // the level as read out: "-12.3 dB", "over"
    bool changePosted = false;                 // a change message is on its way to the window
};

// A copy taken under the record's lock.
struct MeterReading {
    HWND window = nullptr;
    std::wstring name;
    double level = METER_ACCESS_MINIMUM;
    std::wstring text;
};

// False once the meter was detached from its window.
inline bool ReadMeterAccess(MeterAccessState& state, MeterReading* reading) {
    std::lock_guard<std::mutex> hold(state.lock);
    if (state.window == nullptr) return false;
    *reading = MeterReading{state.window, state.name, state.level, state.text};
    return true;
}

// The meter's UI Automation provider and its MSAA object; each holds the
// record and comes with one reference for the caller. Null without memory.
IRawElementProviderSimple* CreateMeterUiaProvider(std::shared_ptr<MeterAccessState> state);
IAccessible* CreateMeterAccessible(std::shared_ptr<MeterAccessState> state);
