// What the X11 canvas tells about itself beyond draw/canvas.h, and what the
// layer tells it.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

// True when the canvas puts its picture on the screen through an MIT-SHM
// segment, false when it sends it with plain XPutImage (or is no canvas).
bool X11CanvasUsesSharedMemory(int64_t control);

// CanvasShown (draw/canvas.h) on X11.
bool X11CanvasShown(int64_t control);
// The top-level window `top` was unmapped or made an icon (hidden), or was
// mapped again: its canvases can be seen no more, or again, and each that
// can be seen again queues CANVAS_SHOWN. Main thread.
void X11SetWindowCanvasesHidden(Window top, bool hidden);

// Number of times the canvas picture was put on the screen (0 for no canvas).
int64_t X11CanvasPresentCount(int64_t control);
