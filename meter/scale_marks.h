// Scale marks: ticks where the needle stands for a peak of 0, -1, -3, -6,
// -10, -20 and -40 dBFS, or on the decibel scale of every 6 dB from 0 down
// to -60 dBFS, each labelled where its label fits, drawn into the dial once.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "draw/canvas.h"
#include "draw/primitives.h"
#include "meter/scale_geometry.h"

// Light grey: reads on black, apart from the band's grey.
constexpr uint32_t LABEL_COLOUR = RGB(224, 224, 224);

struct ScaleMark {
    int32_t dbfs;       // the level it marks
    const char* label;  // its label
};

constexpr ScaleMark SCALE_MARKS[] = {
    {0, "0"}, {-1, "-1"}, {-3, "-3"}, {-6, "-6"}, {-10, "-10"}, {-20, "-20"}, {-40, "-40"},
};

constexpr ScaleMark DECIBEL_SCALE_MARKS[] = {
    {0, "0"},     {-6, "-6"},   {-12, "-12"}, {-18, "-18"}, {-24, "-24"}, {-30, "-30"},
    {-36, "-36"}, {-42, "-42"}, {-48, "-48"}, {-54, "-54"}, {-60, "-60"},
};

// The marks of the scale the meter in `slot` reads on.
std::span<const ScaleMark> ScaleMarksOf(int64_t slot);

// The reading a peak of `dbfs` gives: 101 x 10^(dbfs / 20), the reading's
// share of full scale, at most 100, the scale's end (where 0 dBFS lies,
// beyond it, as a full-scale peak puts the needle there).
float ScaleValueOfDbfs(double dbfs);

// Where the needle stands for a level of `dbfs` on the scale of the meter
// in `slot`.
float MarkValue(int64_t slot, double dbfs);

struct ScaleTick {
    ScalePoint outer;  // at the band's inner edge
    ScalePoint inner;  // towards the pivot
};

// Where the mark's tick stands on the meter in `slot`.
ScaleTick ScaleTickOf(int64_t slot, const ScaleMark& mark);

struct ScaleLabel {
    std::string_view text;
    PictureRect rect;  // in the picture: what the text covers
};

// The labels drawn on the meter in `slot`, in the order of its marks, and
// the unit "dB" last: each centred on its mark's ray inside the band, past
// the reach of the tip disc and the overload light, whole inside the
// picture, and clear of every label before it; a label that cannot be so is
// left out.
std::vector<ScaleLabel> ScaleLabelsOf(int64_t slot);

// Draws every tick and label on the current target (the meter's dial image).
void DrawScaleMarks(int64_t slot);
