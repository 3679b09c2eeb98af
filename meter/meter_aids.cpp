// Changes of the reading aids, made on the main thread while no update runs:
// each leaves the record as updates would have, and draws the whole picture
// again, since the dial, the hold or the light may change anywhere in it.
#include "meter/meter_aids.h"

#include <chrono>

#include "draw/image.h"
#include "meter/dial_face.h"
#include "meter/level_readout.h"
#include "meter/meter_table.h"
#include "meter/needle.h"
#include "meter/overload_lamp.h"
#include "meter/peak_hold.h"
#include "meter/scale_geometry.h"

namespace {

// A fresh dial, with or without marks. False, and the old dial kept, if no
// image can be made.
bool RemakeDial(int64_t slot, MeterRecord& meter) {
    const int64_t dial =
        NewImage(-1, static_cast<int>(meter.imageWidth), static_cast<int>(meter.imageHeight), 32);
    if (dial == 0) return false;
    const int64_t old = meter.dialImage;
    meter.dialImage = dial;
    DrawDialFace(slot);
    if (old != 0) ReleaseImage(old);
    meter.backdropFlags = -1;  // the next drawing makes the backdrop again
    return true;
}

}  // namespace

bool SetMeterAids(int64_t number, const MeterAids& aids) {
    const int64_t slot = MeterSlot(number);
    if (slot == 0) return false;
    MeterRecord& meter = MeterAt(slot);
    if (aids.scaleMarks == meter.scaleMarks && aids.peakHold == meter.peakHold &&
        aids.holdOverload == meter.holdOverload && aids.decibelScale == meter.decibelScale &&
        aids.levelReadout == meter.levelReadout) {
        return true;
    }
    bool made = true;
    const bool marksBefore = meter.scaleMarks, decibelBefore = meter.decibelScale;
    meter.scaleMarks = aids.scaleMarks;
    meter.decibelScale = aids.decibelScale;
    // The marks follow the scale: a dial without them stays as it is.
    if (aids.scaleMarks != marksBefore || (aids.scaleMarks && aids.decibelScale != decibelBefore)) {
        made = RemakeDial(slot, meter);
        if (!made) {
            meter.scaleMarks = marksBefore;
            meter.decibelScale = decibelBefore;
        }
    }
    if (meter.decibelScale != decibelBefore) PlaceRingOnScale(slot);
    // Updates keep the hold while it is not shown; before any, it starts at
    // the last reading. A readout turned on shows the last peak, and its
    // first period starts with the next update.
    if (aids.peakHold && !meter.hold.holding) {
        TakePeak(meter.hold, meter.lastReading, meter.lastPeak, std::chrono::steady_clock::now());
    }
    if (aids.levelReadout && !meter.levelReadout) {
        StartReadout(meter.readout, meter.lastPeak);
    }
    meter.peakHold = aids.peakHold;
    meter.levelReadout = aids.levelReadout;
    meter.holdOverload = aids.holdOverload;
    if (!meter.holdOverload) meter.overloadLatched = false;
    meter.shownOverload = OverloadOnTip(meter);
    meter.shownLamp = OverloadLampLit(meter);
    RedrawMeter(number);
    return made;
}

void ClearMeterOverload(int64_t number) {
    const int64_t slot = MeterSlot(number);
    if (slot == 0) return;
    MeterRecord& meter = MeterAt(slot);
    meter.overloadLatched = false;
    meter.overloadHold = 0;
    if (meter.shownOverload) {
        // The disc over the tip, and the readout's "OVER" with it.
        meter.shownOverload = false;
        meter.shownLamp = false;
        RedrawMeter(number);
    } else if (meter.shownLamp) {
        meter.shownLamp = false;
        RedrawMeterSquare(number, OverloadLampRect(slot));
    }
}

void HoldMeterPeak(int64_t number, float reading, int32_t peakSample) {
    const int64_t slot = MeterSlot(number);
    if (slot == 0) return;
    MeterRecord& meter = MeterAt(slot);
    meter.hold = PeakHoldState{};
    TakePeak(meter.hold, reading, peakSample, std::chrono::steady_clock::now());
    RedrawMeter(number);
}

void LatchMeterOverload(int64_t number) {
    const int64_t slot = MeterSlot(number);
    if (slot == 0) return;
    MeterRecord& meter = MeterAt(slot);
    if (meter.holdOverload) meter.overloadLatched = true;
    meter.shownOverload = OverloadOnTip(meter);
    meter.shownLamp = OverloadLampLit(meter);
    RedrawMeter(number);
}

void RefreshMeterReadout(int64_t number) {
    const int64_t slot = MeterSlot(number);
    if (slot == 0) return;
    RefreshReadout(MeterAt(slot).readout, std::chrono::steady_clock::now());
    RedrawMeter(number);
}
