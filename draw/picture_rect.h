// Arithmetic on the changed parts of canvas pictures (PictureRect).
#pragma once

#include "draw/canvas.h"

// The smallest rectangle holding both (an empty one holds nothing).
PictureRect JoinedRects(const PictureRect& a, const PictureRect& b);

// The part of `area` that lies within a picture of width x height; empty
// (right == left or bottom == top) when none does.
PictureRect ClampedToPicture(const PictureRect& area, int32_t width, int32_t height);

inline bool IsEmptyRect(const PictureRect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}
