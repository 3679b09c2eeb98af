// The canvas control: a child window that shows a persistent 24-bit picture.
// Declared here, implemented once per platform: ui/win32/canvas_win32.cpp and
// ui/x11/canvas_x11.cpp, with the other controls, and canvas_memory.cpp for
// headless builds. The declaration lives in draw/ because the drawing
// targets take the pictures through it and give them back.
#pragma once

#include <cstdint>

#include "draw/pixels.h"

// Canvas flags.
constexpr int CANVAS_BORDER = 1;       // sunken 2-pixel edge; picture 4 px smaller than the window
constexpr int CANVAS_KEYBOARD = 4;     // takes the keyboard focus
constexpr int CANVAS_FOCUS_FRAME = 8;  // focus rectangle while focused
constexpr int CANVAS_CONTAINER = 32;   // later controls are created inside it

// What happened to a canvas: the data of the EVENT_CONTROL events it queues
// on its window's thread, with its control number as the object.
constexpr int64_t CANVAS_LEFT_DOWN = 1;
constexpr int64_t CANVAS_LEFT_UP = 2;  // a left click, at the button's release
constexpr int64_t CANVAS_LEFT_DOUBLE = 3;
constexpr int64_t CANVAS_RIGHT_UP = 4;
constexpr int64_t CANVAS_RESIZE = 6;
constexpr int64_t CANVAS_FOCUS_IN = 7;
constexpr int64_t CANVAS_FOCUS_OUT = 8;
constexpr int64_t CANVAS_KEY_DOWN = 9;
constexpr int64_t CANVAS_SHOWN = 10;  // can be seen again after a time nobody could see it

// Creates a canvas control in the thread's control list target. Coordinates
// are unscaled (96-DPI) pixels. Returns the new control's identifier for
// number -1, otherwise a non-zero window handle value; 0 on failure.
int64_t CanvasControl(int64_t number, int x, int y, int width, int height, int flags);

// Gives the drawing thread the canvas picture's pixel memory and holds the
// picture's guard until ReleaseCanvasPicture, so that a repaint never shows a
// half-drawn picture. Returns false (and holds nothing) if `control` is not a
// canvas with a backing picture.
bool AcquireCanvasPicture(int64_t control, PixelView* picture);

// A rectangle of a picture in pixels; right and bottom are exclusive.
struct PictureRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// Releases the guard taken by AcquireCanvasPicture and, with show set, puts
// the picture on the screen at once (no wait for a repaint). With `changed`
// given, only that part differs from what the screen shows, and only it need
// be put there, unless a repaint was left undone while the picture was held.
// Nothing is shown if the control no longer exists.
// A screen shows no more than about 60 pictures a second: a platform may
// hold back the changed part that a thread other than the window's releases
// soon after its last picture, and show it, joined to later changes, with
// that thread's next release or ShowDeferredCanvasChanges for the control;
// should neither come, the window's thread shows it a little over a frame
// later.
void ReleaseCanvasPicture(int64_t control, bool show, const PictureRect* changed = nullptr);

// Shows at once, if their frame has come, the changes that releases on this
// thread held back; next to free when none are waiting. A drawing thread
// that has nothing new to draw calls it where it would have drawn.
void ShowDeferredCanvasChanges(int64_t control);

// The size of the canvas's picture as the window layer made it: the control's
// size scaled for the display, less the edges. False (and nothing set) if
// `control` is not a canvas, or if the calling thread holds its picture.
// Whether anyone can see the canvas now: false while its window is
// minimised or unmapped, the canvas is wholly covered, or the compositor
// asks for no frames. What is drawn meanwhile is seen by nobody, so drawing
// may wait. When it can be seen again the layer queues EVENT_CONTROL with
// CANVAS_SHOWN as data, for its owner to draw what it let wait. Any thread.
bool CanvasShown(int64_t control);

inline bool CanvasPictureSize(int64_t control, int32_t* width, int32_t* height) {
    PixelView picture;
    if (!AcquireCanvasPicture(control, &picture)) return false;
    ReleaseCanvasPicture(control, false);
    *width = picture.width;
    *height = picture.height;
    return true;
}
