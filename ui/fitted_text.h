// A line of text cut to fit a width, or broken in two to fit two rooms, for
// the status line of the window layers. Measuring a text costs time in its
// length, so a cut is found by probing prefixes of growing length and then
// halving between the last two: the work grows with what is shown, not with
// the whole text, and a name of 64 KiB is cut as fast as one of 64 bytes.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// The width in pixels of a UTF-8 text, as the layer draws it.
using TextMeasure = std::function<int(std::string_view text)>;

// The text as it fits `width` pixels: whole, or cut after a whole UTF-8
// character with "..." after it; empty when not even "..." fits.
std::string FittedText(const std::string& text, int width, const TextMeasure& measure);

// A line shown in two rooms: `head` in the room before, `tail` in the room
// after; either may be empty.
struct SplitTextRecord {
    std::string head;
    std::string tail;
};

// The text as it fits a room of `tailWidth` pixels, with a room of
// `headWidth` before it: whole in the tail's room when it fits there;
// otherwise broken at the last space whose words before it fit the head's
// room, the rest (cut as FittedText cuts, if need be) in the tail's room;
// with no such space, cut in the tail's room alone.
SplitTextRecord SplitFittedText(const std::string& text, int headWidth, int tailWidth,
                                const TextMeasure& measure);
