// The meters' reading aids as the user chose them in the window's menu: scale
// marks, peak hold, an overload light held until it is clicked away, the
// decibel scale, the level readout, and clipping said to screen readers.
// Each is remembered in the settings file (ScaleMarks, PeakHold,
// HoldOverload, DecibelScale, LevelReadout, AnnounceClipping, 0 or 1) and
// off unless it says 1.
#pragma once

#include <cstdint>

struct ReadingAidsChoice {
    bool scaleMarks = false;
    bool peakHold = false;
    bool holdOverload = false;
    bool decibelScale = false;
    bool levelReadout = false;
    bool announceClipping = false;
};

// The choices remembered in the loaded settings.
ReadingAidsChoice RememberedReadingAids();

// Gives both meters the remembered aids (nothing changes while all are off).
// Main thread.
void ApplyReadingAids();

// Remembers a new choice in the settings file and gives it to both meters.
void ChooseReadingAids(const ReadingAidsChoice& choice);

// A left click on a meter (control 3 or 4): puts out its held overload light
// when the overload is held until clicked; does nothing otherwise.
void ClickMeter(int64_t meter);

// Puts out both meters' overload lights.
void ClearOverloadLights();
