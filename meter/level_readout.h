// The level readout: each meter's peak level as a number, refreshed a few
// times a second with the highest peak since the last refresh, so that the
// reader sees a number that stands long enough to be read, and no peak of
// the period is lost.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "draw/canvas.h"

// How long the readout shows a number before the next refresh.
constexpr std::chrono::milliseconds READOUT_PERIOD{250};

struct LevelReadoutState {
    bool started = false;  // false until the first peak
    int32_t peak = 0;      // the peak sample magnitude the readout shows
    int32_t pending = -1;  // the highest peak since the last refresh; -1: none yet
    std::chrono::steady_clock::time_point since{};  // the last refresh
    bool timed = false;  // `since` holds: false from StartReadout to the next peak taken
};

// The readout as a picture shows it, with the square it covers.
struct ReadoutPicture {
    bool shown = false;  // none while the readout is off
    bool over = false;   // "OVER", while the overload light is lit
    int32_t peak = 0;
    std::string text;
    PictureRect rect;
};

// Takes one peak sample at `now`: the first is shown at once; after that,
// READOUT_PERIOD after the last refresh, the readout shows the highest peak
// taken since then (this one included) and the next period starts.
void TakeReadoutPeak(LevelReadoutState& readout, int32_t peak,
                     std::chrono::steady_clock::time_point now);

// Shows `peak` at once, as the readout is turned on; its first period starts
// with the next peak taken, so that it lasts as long as every other one
// whatever time passed since the last update.
void StartReadout(LevelReadoutState& readout, int32_t peak);

// Refreshes the readout now, as the end of its period would.
void RefreshReadout(LevelReadoutState& readout, std::chrono::steady_clock::time_point now);

// What the readout shows: "OVER" while the overload light is lit, else the
// level of its peak in dBFS with one decimal ("-6.0 dB", "-inf dB").
std::string ReadoutText(int32_t peak, bool over);
