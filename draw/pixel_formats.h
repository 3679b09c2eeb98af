// Copies between the pictures' own pixel layout (24-bit, bottom-up, blue
// green red) and the 32-bit layout that most displays take: top-down rows of
// 0x00RRGGBB words in little-endian byte order (blue, green, red, 0).
#pragma once

#include <cstdint>

#include "draw/pixels.h"

// Copies the rectangle (right and bottom exclusive, inside the picture) of a
// 24-bit picture to the same place in a top-down 32-bit buffer whose rows
// are `targetStride` bytes apart.
void CopyToXrgb32(const PixelView& picture, int left, int top, int right, int bottom,
                  uint8_t* target, intptr_t targetStride);
