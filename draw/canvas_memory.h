// The headless canvas: canvas controls that exist only in memory, for unit
// tests, benchmarks and the tool that renders the pictures the programs are
// expected to show. These accessors let them read what was drawn.
#pragma once

#include <cstdint>

#include "draw/pixels.h"

// The control's picture, or nullptr if there is no such canvas.
const PixelView* MemoryCanvasPicture(int64_t control);

// What the canvas shows: the picture as of its presentations, each of which
// copies only the part the drawing said had changed.
const PixelView* MemoryCanvasScreen(int64_t control);

// How many times the picture was shown since the canvas was created.
int64_t MemoryCanvasPresentCount(int64_t control);

// Stands in for a window layer that scales for the display: canvases created
// from now on get a window of width x height pixels whatever size they ask
// for (the picture is then 4 pixels smaller with CANVAS_BORDER). 0 x 0 goes
// back to the size asked for, as does ResetMemoryCanvases.
void SetMemoryCanvasWindowSize(int width, int height);

// Stands in for a window nobody can see (shown false) and one seen again:
// what CanvasShown says for the control from now on. It queues nothing.
void SetMemoryCanvasShown(int64_t control, bool shown);

// Forgets every canvas (pictures held by a drawing thread stay valid until
// that thread gives them back).
void ResetMemoryCanvases();
