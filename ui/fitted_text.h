// A line of text cut to fit a width, for the status line of the window
// layers that draw their own text. Measuring a text costs time in its
// length, so the cut is found by probing prefixes of growing length and
// then halving between the last two: the work grows with what is shown,
// not with the whole text, and a name of 64 KiB is cut as fast as one of 64
// bytes.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// The width in pixels of a UTF-8 text, as the layer draws it.
using TextMeasure = std::function<int(std::string_view text)>;

// The text as it fits `width` pixels: whole, or cut after a whole UTF-8
// character with "..." after it; empty when not even "..." fits.
std::string FittedText(const std::string& text, int width, const TextMeasure& measure);
