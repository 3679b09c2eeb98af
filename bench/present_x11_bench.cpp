// What showing a needle update's changed square on an X11 canvas costs the
// program: conversion to the display's pixels, the request and its write,
// from a drawing thread, against the display in DISPLAY (run it under
// tests/with_services.sh). The server's own share shows in running_cost.sh.
#include <benchmark/benchmark.h>

#include "draw/canvas.h"
#include "ui/platform_ui.h"

namespace {

void BM_X11PresentChangedSquare(benchmark::State& state) {
    if (!UiLayerInit()) {
        state.SkipWithError("no X display");
        return;
    }
    static bool made = CreateTopWindow(7000, 0, 0, 1024, 220, "bench", 0, nullptr) != nullptr &&
                       CanvasControl(3, 10, 10, 497, 141, CANVAS_BORDER) != 0;
    if (!made) {
        state.SkipWithError("no canvas");
        return;
    }
    // A square of the size a moving needle changes, moving along.
    int x = 30;
    for (auto _ : state) {
        PixelView picture;
        AcquireCanvasPicture(3, &picture);
        PictureRect square{x, 40, x + 46, 86};
        ReleaseCanvasPicture(3, true, &square);
        x = x >= 400 ? 30 : x + 5;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_X11PresentChangedSquare);

}  // namespace
