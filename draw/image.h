// Off-screen images known by number: pixel buffers laid out as bottom-up
// device-independent bitmaps, held in a locked numbered table.
#pragma once

#include <cstdint>

#include "draw/pixels.h"

// Handle to an image's pixel memory (takes the place of a bitmap handle);
// 0 means no image.
using ImageBits = const PixelView*;

// Creates an image of width x height pixels, depth bits per pixel (depths
// below 24 give 24-bit images), filled black (opaque black for 32 bits).
// number -1 returns a new identifier; a number of 0 or more returns a
// non-zero value and replaces any image held under that number; 0 on failure.
int64_t NewImage(int64_t number, int width, int height, int depth);

// The image's pixel memory, or nullptr if the image does not exist.
ImageBits ImageHandle(int64_t image);

// Releases one image: its number then names nothing. Only for an image that
// no thread is drawing from or into.
void ReleaseImage(int64_t image);

// Releases every image (drawing layer shutdown).
void ReleaseAllImages();
