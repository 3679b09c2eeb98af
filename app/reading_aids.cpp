// The meters belong to the analysis thread while it runs a tick: every
// change here takes MeterUpdateLock, as a rebuild for a new display scale
// does, and redraws from the main thread.
#include "app/reading_aids.h"

#include <mutex>

#include "app/main_window.h"
#include "app/settings.h"
#include "meter/meter_aids.h"
#include "meter/meter_table.h"

namespace {

constexpr const char* SCALE_MARKS_KEY = "ScaleMarks";
constexpr const char* PEAK_HOLD_KEY = "PeakHold";
constexpr const char* HOLD_OVERLOAD_KEY = "HoldOverload";
constexpr const char* DECIBEL_SCALE_KEY = "DecibelScale";
constexpr const char* LEVEL_READOUT_KEY = "LevelReadout";
constexpr const char* ANNOUNCE_CLIPPING_KEY = "AnnounceClipping";

bool Remembered(const char* key) {
    return ReadSettingInteger(key, 0) == 1;
}

void Save(const char* key, bool on) {
    SaveSetting(key, on ? "1" : "0");
}

void GiveToMeters(const ReadingAidsChoice& choice) {
    const MeterAids aids{choice.scaleMarks, choice.peakHold, choice.holdOverload,
                         choice.decibelScale, choice.levelReadout};
    SetClipAnnouncements(choice.announceClipping);
    std::lock_guard<std::mutex> hold(MeterUpdateLock());
    SetMeterAids(LEFT_METER, aids);
    SetMeterAids(RIGHT_METER, aids);
}

}  // namespace

ReadingAidsChoice RememberedReadingAids() {
    return ReadingAidsChoice{Remembered(SCALE_MARKS_KEY),   Remembered(PEAK_HOLD_KEY),
                             Remembered(HOLD_OVERLOAD_KEY), Remembered(DECIBEL_SCALE_KEY),
                             Remembered(LEVEL_READOUT_KEY), Remembered(ANNOUNCE_CLIPPING_KEY)};
}

void ApplyReadingAids() {
    GiveToMeters(RememberedReadingAids());
}

void ChooseReadingAids(const ReadingAidsChoice& choice) {
    const ReadingAidsChoice before = RememberedReadingAids();
    if (choice.scaleMarks != before.scaleMarks) Save(SCALE_MARKS_KEY, choice.scaleMarks);
    if (choice.peakHold != before.peakHold) Save(PEAK_HOLD_KEY, choice.peakHold);
    if (choice.holdOverload != before.holdOverload) Save(HOLD_OVERLOAD_KEY, choice.holdOverload);
    if (choice.decibelScale != before.decibelScale) Save(DECIBEL_SCALE_KEY, choice.decibelScale);
    if (choice.levelReadout != before.levelReadout) Save(LEVEL_READOUT_KEY, choice.levelReadout);
    if (choice.announceClipping != before.announceClipping) {
        Save(ANNOUNCE_CLIPPING_KEY, choice.announceClipping);
    }
    GiveToMeters(choice);
}

void ClickMeter(int64_t meter) {
    if ((meter != LEFT_METER && meter != RIGHT_METER) || !Remembered(HOLD_OVERLOAD_KEY)) return;
    std::lock_guard<std::mutex> hold(MeterUpdateLock());
    ClearMeterOverload(meter);
}

void ClearOverloadLights() {
    std::lock_guard<std::mutex> hold(MeterUpdateLock());
    ClearMeterOverload(LEFT_METER);
    ClearMeterOverload(RIGHT_METER);
}
