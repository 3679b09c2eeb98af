// Costs of the drawing that runs on every analysis tick: one needle update of
// a main-window meter (image copy, tip disc, 89-segment track arc, show), and
// its two biggest parts on their own.
#include <benchmark/benchmark.h>

#include "draw/canvas.h"
#include "draw/canvas_memory.h"
#include "draw/drawing_target.h"
#include "draw/image.h"
#include "draw/primitives.h"
#include "meter/meter_table.h"
#include "meter/needle.h"

namespace {

void StartOver() {
    ResetMemoryCanvases();
    ReleaseAllImages();
    CreateMeterTable();
    SetDefaultMeterColours(0, 0x999999, 0x00FF00, 0);
}

// Readings sweep the scale without reaching overload (whose 4 ms pause
// would swamp the drawing).
void BM_SetMeterValue497(benchmark::State& state) {
    StartOver();
    CreateMeter(3, 10, 10, 497, " ", 3);
    ResetMeterSmoothing(3, 16);
    float reading = 0;
    for (auto _ : state) {
        SetMeterValue(3, reading);
        reading = reading >= 99 ? 0 : reading + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetMeterValue497);

// A steady signal (or silence): after the average settles, every update
// lands on the same picture, which is neither drawn nor shown again.
void BM_SetMeterValueSteady(benchmark::State& state) {
    StartOver();
    CreateMeter(3, 10, 10, 497, " ", 3);
    ResetMeterSmoothing(3, 16);
    for (int i = 0; i < 16; ++i) SetMeterValue(3, 42);
    for (auto _ : state) SetMeterValue(3, 42);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetMeterValueSteady);

void BM_FillDiscRadius20(benchmark::State& state) {
    StartOver();
    int64_t image = NewImage(-1, 493, 137, 32);
    BeginDraw(ImageTarget(image));
    int32_t x = 20;
    for (auto _ : state) {
        FillDisc(x, 60, 20, RGB(0, 255, 0));
        x = x >= 470 ? 20 : x + 1;
    }
    EndDraw();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FillDiscRadius20);

void BM_BlitDialOntoCanvas(benchmark::State& state) {
    StartOver();
    int64_t dial = NewImage(-1, 493, 327, 32);
    CanvasControl(3, 10, 10, 497, 141, CANVAS_BORDER);
    BeginDraw(CanvasTarget(3));
    for (auto _ : state) BlitImage(ImageHandle(dial), 0, 0);
    EndDraw();
    state.SetBytesProcessed(state.iterations() * 493 * 137 * 3);
}
BENCHMARK(BM_BlitDialOntoCanvas);

}  // namespace
