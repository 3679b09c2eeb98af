// The needle update: a new reading is clamped, flagged as overload, averaged
// over the last 8 readings and drawn on the meter's canvas as a disc riding
// along the scale, with the track arc over it and, for 15 updates after an
// overload, a red disc (held beyond them, the lamp of overload_lamp.h). Runs on the analysis
// thread, under MeterUpdateLock; the record belongs to whichever thread updates the meter.
//
// The tip disc and the track arc have the same colour, so drawing the disc
// and then the arc over it sets the same pixels as drawing the arc first and
// the disc over it. An update therefore starts from a backdrop made once,
// the dial with the arc already on it, and only stamps the disc (and the
// overload disc, which comes last either way) on the changed square.
//
// The peak hold's mark and value and the level readout are drawn last, over
// everything, in their own squares: a hold that moves or a readout that
// changes redraws its old and new squares, joined to the needle's square
// where they meet and drawn apart where they do not, so that a number under
// the dial's middle never widens the needle's square to half the picture.
#include "meter/needle.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "draw/canvas.h"
#include "draw/drawing_target.h"
#include "draw/image.h"
#include "draw/primitives.h"
#include "meter/decibel_scale.h"
#include "meter/dial_face.h"
#include "meter/dial_texts.h"
#include "meter/level_readout.h"
#include "meter/meter_table.h"
#include "meter/overload_lamp.h"
#include "meter/peak_hold.h"
#include "meter/peak_hold_drawing.h"
#include "meter/scale_geometry.h"
#include "system/sleep.h"

namespace {

constexpr float OVERLOAD_SHOWN_AS = 99.9f;  // 99.90000152587890625: just short of full scale
constexpr int64_t OVERLOAD_UPDATES = 15;    // updates that show the overload disc
constexpr int64_t AVERAGED_READINGS = 8;
constexpr int32_t TIP_RADIUS = 20;
constexpr int32_t OVERLOAD_RADIUS = 21;  // one pixel wider, so it covers the tip disc
constexpr int OVERLOAD_PAUSE_MS = 4;
constexpr int RING_ENTRIES = 128;
constexpr int64_t HIDING_FLAGS = 12;  // option 4 or 8: no tip disc, no track arc

// The moving average; every result is held in single precision.
float Smooth(MeterRecord& meter, float v) {
    const uint8_t mask = static_cast<uint8_t>(meter.averageCount - 1);
    const unsigned i = meter.ringIndex & mask;
    meter.ringSum = meter.ringSum - meter.ring[i];
    meter.ring[i] = v;
    meter.ringSum = meter.ringSum + v;
    meter.ringIndex = static_cast<uint8_t>(meter.ringIndex + 1);
    return static_cast<float>(static_cast<double>(meter.ringSum) /
                              static_cast<double>(meter.averageCount));
}

// Powers of two nearest on a logarithmic scale, halves away from zero
// (3 -> 4, 6 -> 8, 12 -> 16); nothing below 2, at most the whole ring.
int64_t RingFill(int64_t count) {
    if (count > RING_ENTRIES) return RING_ENTRIES;
    if (count < 2) return 0;
    double k = std::round(std::log(static_cast<double>(count)) / std::log(2.0));
    return int64_t{1} << static_cast<int>(k);
}

// The place of a reading (after the overload rule) on the meter's scale. An
// overload stands at 99.9 on both scales, so that the light lights at the
// very same peaks; on the decibel scale every other reading stands where its
// peak's level does.
float PlaceOf(MeterRecord& meter, float reading, int32_t peak) {
    if (!meter.decibelScale || reading >= OVERLOAD_SHOWN_AS) return reading;
    if (peak != meter.placedPeak) {
        meter.placedPeak = peak;
        meter.placedPosition = DecibelPosition(peak);
    }
    return meter.placedPosition;
}

// The last reading after the overload rule, on the linear scale.
float LastLinearReading(const MeterRecord& meter) {
    return meter.lastReading >= 100 ? OVERLOAD_SHOWN_AS : meter.lastReading;
}

// The square covered by the marks drawn at a tip: the tip disc (unless the
// flags hide it) and the overload disc. Empty when neither is drawn.
PictureRect MarksAround(const MeterRecord& meter, int32_t x, int32_t y, bool overload) {
    int32_t radius = -1;
    if ((meter.flags & HIDING_FLAGS) == 0) radius = TIP_RADIUS;
    if (overload) radius = OVERLOAD_RADIUS;
    if (radius < 0) return PictureRect{};
    return PictureRect{x - radius, y - radius, x + radius + 1, y + radius + 1};
}

bool Empty(const PictureRect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

PictureRect Union(const PictureRect& a, const PictureRect& b) {
    if (Empty(a)) return b;
    if (Empty(b)) return a;
    return PictureRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                       std::max(a.bottom, b.bottom)};
}

bool Meet(const PictureRect& a, const PictureRect& b) {
    return !Empty(a) && !Empty(b) && a.left < b.right && b.left < a.right && a.top < b.bottom &&
           b.top < a.bottom;
}

// The hold as a picture shows it, with the squares its mark and its value
// cover.
struct HoldPicture {
    bool shown = false;  // none while peak hold is off or before its first reading
    float reading = 0;
    int32_t peak = 0;
    std::string text;
    PictureRect mark;
    PictureRect value;
};

// The hold as the next picture is to show it. Only what changed since the
// picture shown is worked out again, unless `fresh` asks for all of it (a
// new dial or size).
HoldPicture NextHold(int64_t slot, const MeterRecord& meter, bool fresh) {
    HoldPicture next;
    next.shown = meter.peakHold && meter.hold.holding;
    if (!next.shown) return next;
    next.peak = meter.hold.peak;
    const bool was = meter.shownHold && !fresh;
    // On the decibel scale the mark stands at its peak's level.
    if (!meter.decibelScale) {
        next.reading = meter.hold.reading;
    } else {
        next.reading = was && next.peak == meter.shownHoldPeak ? meter.shownHoldReading
                                                               : DecibelPosition(next.peak);
    }
    next.mark = was && next.reading == meter.shownHoldReading ? meter.shownHoldMark
                                                              : HoldMarkRect(slot, next.reading);
    next.text =
        was && next.peak == meter.shownHoldPeak ? meter.shownHoldText : PeakHoldText(next.peak);
    next.value = was && next.text == meter.shownHoldText ? meter.shownHoldValue
                                                         : HoldTextRect(slot, next.text);
    return next;
}

// Whether the hold the picture shows is the one the next picture would
// show: the same peak at the same place (which on the decibel scale follows
// from the peak).
bool HoldAsShown(const MeterRecord& meter) {
    const bool next = meter.peakHold && meter.hold.holding;
    if (next != meter.shownHold) return false;
    if (!next) return true;
    return meter.hold.peak == meter.shownHoldPeak &&
           (meter.decibelScale || meter.hold.reading == meter.shownHoldReading);
}

void ShowHold(MeterRecord& meter, HoldPicture&& next) {
    meter.shownHold = next.shown;
    meter.shownHoldReading = next.reading;
    meter.shownHoldPeak = next.peak;
    meter.shownHoldText = std::move(next.text);
    meter.shownHoldMark = next.mark;
    meter.shownHoldValue = next.value;
}

// The squares that the change from the hold the picture shows to `next`
// touches: the mark's old and new squares if it moved, the value's if its
// text changed. Both empty when the hold looks as it did.
void HoldChanges(const MeterRecord& meter, const HoldPicture& next, PictureRect* mark,
                 PictureRect* value) {
    *mark = PictureRect{};
    *value = PictureRect{};
    const bool toggled = next.shown != meter.shownHold;
    if (toggled || (next.shown && next.reading != meter.shownHoldReading)) {
        if (meter.shownHold) *mark = meter.shownHoldMark;
        if (next.shown) *mark = Union(*mark, next.mark);
    }
    if (toggled || (next.shown && next.text != meter.shownHoldText)) {
        if (meter.shownHold) *value = meter.shownHoldValue;
        if (next.shown) *value = Union(*value, next.value);
    }
}

// Whether the readout the picture shows says what the next picture's would,
// with the overload light as `over`: the same peak, or "OVER" again.
bool ReadoutAsShown(const MeterRecord& meter, bool over) {
    const ReadoutPicture& shown = meter.shownReadout;
    const bool next = meter.levelReadout && meter.readout.started;
    if (next != shown.shown) return false;
    return !next || (over == shown.over && (over || meter.readout.peak == shown.peak));
}

// The readout as the next picture, with the overload light as `over`, is to
// show it.
ReadoutPicture NextReadout(int64_t slot, const MeterRecord& meter, bool over) {
    ReadoutPicture next;
    next.shown = meter.levelReadout && meter.readout.started;
    if (!next.shown) return next;
    next.over = over;
    next.peak = meter.readout.peak;
    next.text = ReadoutText(next.peak, over);
    next.rect = ReadoutRect(slot, next.text);
    return next;
}

// Makes the record's readout the one the picture now shows: `next`, unless
// the one shown was `kept` (under "OVER" its peak moves on unseen).
void ShowReadout(MeterRecord& meter, bool kept, ReadoutPicture&& next) {
    if (kept) {
        meter.shownReadout.peak = meter.readout.peak;
    } else {
        meter.shownReadout = std::move(next);
    }
}

// The squares the readout's change touches: its old and new squares if its
// text changed, else none.
PictureRect ReadoutChange(const MeterRecord& meter, const ReadoutPicture& next) {
    if (next.shown == meter.shownReadout.shown &&
        (!next.shown || next.text == meter.shownReadout.text)) {
        return PictureRect{};
    }
    PictureRect change;
    if (meter.shownReadout.shown) change = meter.shownReadout.rect;
    if (next.shown) change = Union(change, next.rect);
    return change;
}

bool BackdropCurrent(const MeterRecord& meter) {
    return meter.backdropImage != 0 && meter.backdropFlags == (meter.flags & HIDING_FLAGS) &&
           meter.backdropColour == meter.colour2;
}

// Makes (or remakes, for another colour or hiding flag) the meter's
// backdrop: the dial image, and the track arc over it unless the flags hide
// it. False if there is no dial to make it from.
bool MakeBackdrop(int64_t slot, MeterRecord& meter) {
    ImageBits dial = ImageHandle(meter.dialImage);
    if (dial == nullptr) return false;
    ImageBits kept = ImageHandle(meter.backdropImage);
    if (kept == nullptr || kept->width != dial->width || kept->height != dial->height) {
        meter.backdropImage = NewImage(-1, dial->width, dial->height, 24);
        if (meter.backdropImage == 0) return false;
    }
    if (BeginDraw(ImageTarget(meter.backdropImage)) == 0) return false;
    BlitImage(dial, 0, 0);
    if ((meter.flags & HIDING_FLAGS) == 0) DrawScaleTrack(slot);
    EndDraw();
    meter.backdropFlags = meter.flags & HIDING_FLAGS;
    meter.backdropColour = meter.colour2;
    return true;
}

// The backdrop stands in for the dial where the dial covers the whole
// picture: then every picture pixel starts as a dial pixel, as it does when
// the dial is copied. (A picture larger than the dial keeps, outside it,
// whatever was drawn there before; only the full drawing reproduces that.)
bool BackdropServes(const MeterRecord& meter) {
    ImageBits backdrop = ImageHandle(meter.backdropImage);
    int32_t width = 0, height = 0;
    return backdrop != nullptr && CurrentTargetSize(&width, &height) && width <= backdrop->width &&
           height <= backdrop->height;
}

// Opens drawing on the meter's canvas and draws its picture with the tip
// disc at `tip` and, with `overload`, the red disc over it, and the lamp as
// the record says it is shown: all of it, or only inside `changed`. The
// caller ends the drawing.
void DrawPicture(int64_t number, int64_t slot, MeterRecord& meter, ScalePoint tip, bool overload,
                 const PictureRect* changed) {
    const bool backdropMade = BackdropCurrent(meter) || MakeBackdrop(slot, meter);
    BeginDraw(CanvasTarget(number));
    if (changed != nullptr) {
        SetDrawingClip(changed->left, changed->top, changed->right, changed->bottom);
    }
    const bool marks = (meter.flags & HIDING_FLAGS) == 0;
    const auto needleColour = static_cast<uint32_t>(meter.colour2);
    if (backdropMade && BackdropServes(meter)) {
        // The images are taller than the picture; their lower rows are dropped.
        BlitImage(ImageHandle(meter.backdropImage), 0, 0);
        if (marks) FillDisc(tip.x, tip.y, TIP_RADIUS, needleColour);
    } else {
        BlitImage(ImageHandle(meter.dialImage), 0, 0);
        if (marks) {
            FillDisc(tip.x, tip.y, TIP_RADIUS, needleColour);
            DrawScaleTrack(slot);
        }
    }
    if (overload) FillDisc(tip.x, tip.y, OVERLOAD_RADIUS, OVERLOAD_COLOUR);
    if (meter.shownLamp && (changed == nullptr || Meet(*changed, OverloadLampRect(slot)))) {
        DrawOverloadLamp(slot);
    }
    if (meter.shownHold) {
        // Drawn only where the drawing reaches; the mark's discs would each
        // find the clip for themselves, the value's pixels too.
        if (changed == nullptr || Meet(*changed, meter.shownHoldMark)) {
            DrawHoldMark(slot, meter.shownHoldReading);
        }
        if (changed == nullptr || Meet(*changed, meter.shownHoldValue)) {
            DrawHoldText(slot, meter.shownHoldText);
        }
    }
    if (meter.shownReadout.shown &&
        (changed == nullptr || Meet(*changed, meter.shownReadout.rect))) {
        DrawReadout(slot, meter.shownReadout.text, meter.shownReadout.over);
    }
}

// One update of the meter in `slot`; `now` is when its reading was taken,
// nullptr for the clock's time, read only when the hold needs it.
int UpdateMeter(int64_t number, float value, int32_t peak,
                const std::chrono::steady_clock::time_point* now) {
    const int64_t slot = MeterSlot(number);
    if (slot == 0) return 0;
    MeterRecord& meter = MeterAt(slot);

    float v = value;
    if (v < 0 || std::isnan(v)) v = 0;
    meter.lastReading = v;
    meter.lastPeak = std::clamp<int32_t>(peak, 0, 32768);
    // Held whether shown or not, so that turning the hold off and on again
    // shows the peak of the last seconds, not the last reading; the readout
    // likewise shows the peaks of its period.
    const auto taken = now != nullptr ? *now : std::chrono::steady_clock::now();
    TakePeak(meter.hold, v, meter.lastPeak, taken);
    TakeReadoutPeak(meter.readout, meter.lastPeak, taken);
    if (v >= 100) {
        meter.overloadHold = OVERLOAD_UPDATES;
        if (meter.holdOverload) meter.overloadLatched = true;
        v = OVERLOAD_SHOWN_AS;
    }
    // Whatever a reset chose, updates average the last 8 readings.
    meter.averageCount = AVERAGED_READINGS;
    const unsigned entry = meter.ringIndex & (AVERAGED_READINGS - 1);
    meter.ringReadings[entry] = v;
    meter.ringPeaks[entry] = meter.lastPeak;
    v = PlaceOf(meter, v, meter.lastPeak);
    meter.value = v;
    meter.shownAverage = Smooth(meter, v);
    const ScalePoint tip = NeedleTip(slot, meter.shownAverage);

    // The overload disc counts down its 15 updates, each with a pause; one
    // held beyond them is the lamp until it is cleared, and the tip and the
    // readout show the level again.
    const bool counting = OverloadOnTip(meter);
    const bool overloadShown = counting;
    const bool lampShown = OverloadLampLit(meter);
    const PictureRect lampChange =
        lampShown != meter.shownLamp ? OverloadLampRect(slot) : PictureRect{};
    // Most updates leave the hold as the picture shows it: its picture is
    // worked out only for a change.
    const bool holdKept = HoldAsShown(meter);
    HoldPicture hold;
    PictureRect markChange, textChange;
    if (!holdKept) {
        hold = NextHold(slot, meter, false);
        HoldChanges(meter, hold, &markChange, &textChange);
    }
    // Most updates leave the readout as it is: its text is made only for a
    // change.
    const bool readoutKept = ReadoutAsShown(meter, overloadShown);
    ReadoutPicture readout;
    PictureRect readoutChange;
    if (!readoutKept) {
        readout = NextReadout(slot, meter, overloadShown);
        readoutChange = ReadoutChange(meter, readout);
    }
    const bool overlaysSame =
        Empty(markChange) && Empty(textChange) && Empty(readoutChange) && Empty(lampChange);

    // Nobody can see the picture: the meter's state goes on, its drawing
    // waits. The picture then shows an older state, which the first update
    // once it can be seen again (or its CANVAS_SHOWN) draws over whole.
    if (!CanvasShown(number)) {
        meter.pictureShown = false;
        meter.shownOverload = overloadShown;
        meter.shownLamp = lampShown;
        if (!holdKept) ShowHold(meter, std::move(hold));
        ShowReadout(meter, readoutKept, std::move(readout));
        if (counting) {
            meter.overloadHold = meter.overloadHold - 1;
            SleepMs(OVERLOAD_PAUSE_MS);
        }
        return 0;
    }

    // Most updates of a resting or steady needle land on the same pixel; the
    // picture would come out identical, so the canvas keeps the one it has.
    // A repaint never depends on this: one that finds the picture busy is
    // served by the presentation at the end of the drawing in progress.
    if (meter.pictureShown && !counting && overloadShown == meter.shownOverload && overlaysSame &&
        tip.x == meter.shownTipX && tip.y == meter.shownTipY) {
        // A new peak of the same look is what the picture shows.
        if (!holdKept) ShowHold(meter, std::move(hold));
        ShowReadout(meter, readoutKept, std::move(readout));
        // The last picture may still wait for its frame: this is its time.
        ShowDeferredCanvasChanges(number);
        return 0;
    }
    // Everything but the marks at the old and the new tip (and the hold's
    // squares) is the same dial and track as before: only those squares
    // need drawing and showing.
    const bool partial = meter.pictureShown;
    PictureRect changed =
        Union(MarksAround(meter, meter.shownTipX, meter.shownTipY, meter.shownOverload),
              MarksAround(meter, tip.x, tip.y, overloadShown));
    PictureRect apart[] = {markChange, textChange, readoutChange, lampChange};
    constexpr int APART = sizeof apart / sizeof apart[0];
    // Joined where they meet: each joining may make the square meet more.
    for (int round = 0; round < APART; ++round) {
        for (PictureRect& other : apart) {
            if (Meet(changed, other) || (Empty(changed) && !Empty(other))) {
                changed = Union(changed, other);
                other = PictureRect{};
            }
        }
    }
    for (int i = 0; i < APART; ++i) {
        for (int j = i + 1; j < APART; ++j) {
            if (Meet(apart[i], apart[j])) {
                apart[i] = Union(apart[i], apart[j]);
                apart[j] = PictureRect{};
            }
        }
    }
    meter.pictureShown = true;
    meter.shownTipX = tip.x;
    meter.shownTipY = tip.y;
    meter.shownOverload = overloadShown;
    meter.shownLamp = lampShown;
    if (!holdKept) ShowHold(meter, std::move(hold));
    ShowReadout(meter, readoutKept, std::move(readout));

    DrawPicture(number, slot, meter, tip, overloadShown, partial ? &changed : nullptr);
    if (counting) {
        meter.overloadHold = meter.overloadHold - 1;
        SleepMs(OVERLOAD_PAUSE_MS);
    }
    EndDraw();
    if (partial) {
        for (const PictureRect& square : apart) {
            if (Empty(square)) continue;
            DrawPicture(number, slot, meter, tip, overloadShown, &square);
            EndDraw();
        }
    }
    return 0;
}

}  // namespace

ScalePoint NeedleTip(int64_t slot, float average) {
    if (slot < 1 || slot >= MeterTableSize()) return ScalePoint{0, 0};
    return ScalePointForValue(slot, average, static_cast<double>(MeterAt(slot).needleRadius));
}

bool MeterSeen(int64_t number) {
    return CanvasShown(number);
}

bool MeterOverloadLit(int64_t number) {
    const int64_t slot = MeterSlot(number);
    return slot != 0 && MeterAt(slot).shownOverload;
}

bool MeterSettledAt(int64_t number, float value) {
    return MeterSettledAt(number, value, PeakOfReading(value));
}

bool MeterSettledAt(int64_t number, float value, int32_t peakSample) {
    const int64_t slot = MeterSlot(number);
    if (slot == 0 || value >= 100) return false;
    MeterRecord& meter = MeterAt(slot);
    const float v = PlaceOf(meter, value < 0 || std::isnan(value) ? 0.0f : value,
                            std::clamp<int32_t>(peakSample, 0, 32768));
    // A picture nobody sees waits for CANVAS_SHOWN, not for an update. One
    // that still shows the overload disc needs the update that draws it away
    // (or makes a held one the lamp), even once the hold has run out; the
    // lamp stays as it is until it is cleared.
    const bool pictureWaits = !meter.pictureShown && CanvasShown(number);
    if (pictureWaits || meter.overloadHold != 0 || meter.shownOverload ||
        meter.shownLamp != OverloadLampLit(meter) || meter.averageCount != AVERAGED_READINGS) {
        return false;
    }
    // A held peak above the reading falls later; the picture must show the
    // hold as it stands.
    if (meter.peakHold && (!meter.hold.holding || meter.hold.peak != meter.lastPeak ||
                           !meter.shownHold || meter.shownHoldPeak != meter.hold.peak ||
                           (!meter.decibelScale && meter.shownHoldReading != meter.hold.reading))) {
        return false;
    }
    // A readout that still waits to show a higher peak of its period, or
    // shows another, changes at its next refresh.
    if (meter.levelReadout &&
        (!meter.shownReadout.shown || meter.readout.peak != meter.lastPeak ||
         meter.readout.pending > meter.lastPeak || meter.shownReadout.peak != meter.readout.peak)) {
        return false;
    }
    for (int64_t i = 0; i < AVERAGED_READINGS; ++i) {
        if (meter.ring[i] != v) return false;
    }
    return true;
}

int SetMeterValue(int64_t number, float value) {
    return UpdateMeter(number, value, PeakOfReading(value), nullptr);
}

int SetMeterReading(int64_t number, float value, int32_t peakSample,
                    std::chrono::steady_clock::time_point now) {
    return UpdateMeter(number, value, peakSample, &now);
}

void RedrawMeterSquare(int64_t number, const PictureRect& square) {
    const int64_t slot = MeterSlot(number);
    if (slot == 0) return;
    MeterRecord& meter = MeterAt(slot);
    if (!meter.pictureShown) {
        RedrawMeter(number);
        return;
    }
    DrawPicture(number, slot, meter, ScalePoint{meter.shownTipX, meter.shownTipY},
                meter.shownOverload, &square);
    EndDraw();
}

int RedrawMeter(int64_t number) {
    const int64_t slot = MeterSlot(number);
    if (slot == 0) return 0;
    MeterRecord& meter = MeterAt(slot);
    const ScalePoint tip = NeedleTip(slot, meter.shownAverage);
    meter.pictureShown = true;
    meter.shownTipX = tip.x;
    meter.shownTipY = tip.y;
    ShowHold(meter, NextHold(slot, meter, true));
    meter.shownReadout = NextReadout(slot, meter, meter.shownOverload);
    DrawPicture(number, slot, meter, tip, meter.shownOverload, nullptr);
    EndDraw();
    return 0;
}

void PlaceRingOnScale(int64_t slot) {
    if (slot < 1 || slot >= MeterTableSize()) return;
    MeterRecord& meter = MeterAt(slot);
    float sum = 0;
    for (int64_t i = 0; i < AVERAGED_READINGS; ++i) {
        meter.ring[i] = PlaceOf(meter, meter.ringReadings[i], meter.ringPeaks[i]);
        sum = sum + meter.ring[i];
    }
    meter.ringSum = sum;
    meter.value = PlaceOf(meter, LastLinearReading(meter), meter.lastPeak);
    meter.shownAverage = static_cast<float>(static_cast<double>(meter.ringSum) /
                                            static_cast<double>(AVERAGED_READINGS));
}

int ResetMeterSmoothing(int64_t number, int64_t count) {
    const int64_t slot = MeterSlot(number);
    if (slot == 0) return 0;
    MeterRecord& meter = MeterAt(slot);
    const int64_t n = RingFill(count);
    for (int64_t i = 0; i < n; ++i) {
        meter.ring[i] = meter.value;
        if (i < AVERAGED_READINGS) {
            meter.ringReadings[i] = LastLinearReading(meter);
            meter.ringPeaks[i] = meter.lastPeak;
        }
    }
    meter.ringIndex = 0;
    // Keep the sum equal to that of ring[0..7], the entries the next updates
    // take out again; n x value alone would leave every later average off by
    // (n - 8) x value / 8. The two agree for n = 8 and, whatever n is, for a
    // ring of zeros (the start-up reset).
    float sum =
        static_cast<float>(static_cast<double>(meter.value) *
                           static_cast<double>(n < AVERAGED_READINGS ? n : AVERAGED_READINGS));
    for (int64_t i = n; i < AVERAGED_READINGS; ++i) sum = sum + meter.ring[i];
    meter.ringSum = sum;
    meter.averageCount = 16;
    return 0;
}
