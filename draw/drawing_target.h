// Per-thread drawing targets: each thread has at most one current target into
// which the drawing primitives and BlitImage write pixels directly.
#pragma once

#include <cstdint>

#include "draw/image.h"
#include "draw/pixels.h"

struct DrawingState;

// A new target that draws into the image, installed as the calling thread's
// current target; nullptr on failure.
DrawingState* ImageTarget(int64_t image);

// A new target that draws into the canvas control's picture, installed as
// the calling thread's current target; nullptr on failure.
DrawingState* CanvasTarget(int64_t control);

// Non-zero when drawing may start; 0 on failure (the target is then gone).
int BeginDraw(DrawingState* target);

// Finishes the calling thread's current target; a canvas target shows its
// picture at once. Non-zero if there was a target, 0 otherwise.
int EndDraw();

// Copies the whole image onto the current target with its top-left corner at
// (x, y), clipped to the target; alpha bytes are ignored.
void BlitImage(ImageBits image, int x, int y);

// Narrows the current target's drawing to the rectangle (right and bottom
// exclusive), intersected with the target. A canvas target then shows only
// that rectangle at EndDraw: the caller promises that nothing outside it
// differs from the picture on the screen.
void SetDrawingClip(int32_t left, int32_t top, int32_t right, int32_t bottom);

// Width and height of the calling thread's current target; false (and both
// left alone) when the thread has none.
bool CurrentTargetSize(int32_t* width, int32_t* height);

// The calling thread's current target, or nullptr (for the primitives).
DrawingState* CurrentDrawingState();
