// Scale marks: ticks where the needle stands for a peak of 0, -1, -3, -6,
// -10, -20 and -40 dBFS, or on the decibel scale of every 6 dB from 0 down
// to -60 dBFS, the major ones labelled, drawn into the dial once.
#pragma once

#include <cstdint>
#include <span>

#include "meter/scale_geometry.h"

struct ScaleMark {
    int32_t dbfs;       // the level it marks
    bool major;         // longer, and labelled
    const char* label;  // the label of a major mark, else ""
};

constexpr ScaleMark SCALE_MARKS[] = {
    {0, true, "0"},   {-1, false, ""},    {-3, false, ""},  {-6, true, "-6"},
    {-10, false, ""}, {-20, true, "-20"}, {-40, false, ""},
};

constexpr ScaleMark DECIBEL_SCALE_MARKS[] = {
    {0, true, "0"},     {-6, true, "-6"},   {-12, true, "-12"}, {-18, true, "-18"},
    {-24, true, "-24"}, {-30, true, "-30"}, {-36, true, "-36"}, {-42, true, "-42"},
    {-48, true, "-48"}, {-54, true, "-54"}, {-60, true, "-60"},
};

// The marks of the scale the meter in `slot` reads on.
std::span<const ScaleMark> ScaleMarksOf(int64_t slot);

// The reading a peak of `dbfs` gives: 101 x 10^(dbfs / 20), the reading's
// share of full scale, at most 100, the scale's end (where 0 dBFS lies,
// beyond it, as a full-scale peak puts the needle there).
float ScaleValueOfDbfs(double dbfs);

// Integer size factor of the text and marks for a meter whose images are
// this wide: 1 for the main window's meter at 96 DPI, growing with it.
int32_t MarkScale(int64_t imageWidth);

struct ScaleTick {
    ScalePoint outer;  // at the band's inner edge
    ScalePoint inner;  // towards the pivot
};

// Where the needle stands for a level of `dbfs` on the scale of the meter
// in `slot`.
float MarkValue(int64_t slot, double dbfs);

// Where the mark's tick stands on the meter in `slot`.
ScaleTick ScaleTickOf(int64_t slot, const ScaleMark& mark);

// Draws every tick and label, and the "dB" under the scale's middle, on the
// current target (the meter's dial image) in the scale colour.
void DrawScaleMarks(int64_t slot);
