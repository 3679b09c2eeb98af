// What the X11 canvas tells about itself beyond draw/canvas.h (for tests).
#pragma once

#include <cstdint>

// True when the canvas puts its picture on the screen through an MIT-SHM
// segment, false when it sends it with plain XPutImage (or is no canvas).
bool X11CanvasUsesSharedMemory(int64_t control);

// Number of times the canvas picture was put on the screen (0 for no canvas).
int64_t X11CanvasPresentCount(int64_t control);
