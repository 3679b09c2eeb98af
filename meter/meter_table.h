// Needle meters: their records, the table that holds them (slot 0 is never
// used, so slot 0 means "no such meter") and the map from control number to
// slot.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "draw/canvas.h"
#include "meter/level_readout.h"
#include "meter/peak_hold.h"

struct MeterRecord {
    int64_t imageWidth = 0;    // width of the images: control width (as scaled for the display) - 4
    int64_t imageHeight = 0;   // dial image height; also the y of the needle pivot
    int64_t flags = 0;         // option bits 0..15: 2 overload disc, 4 or 8 hide tip and track
    float value = 0;           // last input after clamping, before averaging
    int64_t colour0 = 0;       // unused by drawing
    int64_t colour1 = 0;       // scale colour
    std::string caption;       // kept, not drawn
    int64_t colour2 = 0;       // needle colour: tip disc and track arc
    int64_t colour3 = 0;       // unused by drawing
    int64_t overloadHold = 0;  // updates left that show the overload disc
    int64_t sizeUnit = 0;      // round(imageWidth / 40)
    int64_t auxX = 0;          // round(imageWidth - 3 * sizeUnit - 13)
    int64_t auxY = 0;          // round(imageHeight - 0.35 * imageHeight - 2 * sizeUnit)
    int64_t averageCount = 0;  // ring entries averaged (a power of two <= 128)
    float ring[128] = {};      // smoothing ring
    uint8_t ringIndex = 0;     // ring write counter, wraps 255 -> 0
    float ringSum = 0;         // running sum of the averaged entries
    int64_t pivotX = 0;        // x of the needle pivot in the dial image
    int64_t needleRadius = 0;  // pivot to scale arc and needle tip
    int64_t dialImage = 0;     // image holding the dial face
    int64_t spareImage = 0;    // second image, opened and closed once
    // What the canvas shows since the last update that drew: an update that
    // would draw the very same picture again draws nothing.
    bool pictureShown = false;
    int32_t shownTipX = 0;
    int32_t shownTipY = 0;
    bool shownOverload = false;  // the red disc over the tip
    bool shownLamp = false;      // the held light's lamp (overload_lamp.h)
    // The dial with the track arc over it, 24-bit: what an update copies
    // under its marks. Made by the first update, for the colour and hiding
    // flags it was made with.
    int64_t backdropImage = 0;
    int64_t backdropColour = 0;
    int64_t backdropFlags = -1;
    // The averaged reading the picture shows, so that a rebuilt meter can
    // show it again at its new size.
    float shownAverage = 0;
    int32_t pictureHeight = 0;  // of the canvas picture, which the hold's value sits in
    // Reading aids, each off until the user turns it on (meter_aids.h).
    bool scaleMarks = false;       // ticks and labels in the dial
    bool peakHold = false;         // the hold mark and its value
    bool holdOverload = false;     // the overload light stays on until cleared
    bool decibelScale = false;     // the needle and the marks on the decibel scale
    bool levelReadout = false;     // the peak level as a number
    bool overloadLatched = false;  // it is on and waits to be cleared
    float lastReading = 0;         // the last reading, below 0 or not a number as 0
    int32_t lastPeak = 0;          // the peak sample that came with it
    PeakHoldState hold;
    // The linear readings (99.9 for an overload) and the peak samples of the
    // updates whose places the ring holds, entry by entry: a change of scale
    // works the ring out again from them.
    float ringReadings[8] = {};
    int32_t ringPeaks[8] = {};
    // The last peak placed on the decibel scale, and its place: a steady
    // level is not worked out again on every update.
    int32_t placedPeak = -1;
    float placedPosition = 0;
    // The hold as the picture shows it: the mark at a reading, the value of
    // a peak, which reads so, and the squares the two cover.
    bool shownHold = false;
    float shownHoldReading = 0;
    int32_t shownHoldPeak = 0;
    std::string shownHoldText;
    PictureRect shownHoldMark;
    PictureRect shownHoldValue;
    // The readout, kept while it is not shown, and as the picture shows it:
    // its number or "OVER", and the square it covers.
    LevelReadoutState readout;
    ReadoutPicture shownReadout;
};

// Creates the meter table (slots 0 and 1, zero-filled) and the index map, and
// sets the next slot to 1. Start-up calls it once; tests call it to start over.
void CreateMeterTable();

// Sets the four default colours that every new meter copies.
void SetDefaultMeterColours(int64_t c0, int64_t c1, int64_t c2, int64_t c3);

// A blank record in the next free slot, with the default colours; the slot
// in *slot. The slot stays free until IndexMeter enters the meter.
MeterRecord& NextMeterRecord(int64_t* slot);
// Enters the meter under its control number; a new slot is taken.
void IndexMeter(int64_t number, int64_t slot);

// Held by every thread that draws or rebuilds meters once the worker threads
// run: by the analysis thread around one tick's updates, by the main thread
// around a rebuild, so that no update draws from a record, dial or canvas
// that a rebuild is replacing. Uncontended, as on every tick but one that
// meets a rebuild, taking and leaving it is one atomic operation each.
std::mutex& MeterUpdateLock();

// Slot of the meter with this control number, 0 if there is none.
int64_t MeterSlot(int64_t number);

// The record in a slot (slot must be valid: 1 .. MeterCount()).
MeterRecord& MeterAt(int64_t slot);

// Number of records in the table, slot 0 included.
int64_t MeterTableSize();
