// Costs of the drawing that runs on every analysis tick. A moving needle
// update draws only the square around its old and new tip: its drawing is
// set beside a plain copy of the same squares (the ratio of the two says how
// close the drawing comes to the least it could cost), beside the whole
// update with its bookkeeping and presentation on the headless canvas, and
// beside a steady update, which draws nothing. The conversion of a square to
// the display's 32-bit pixels is the drawing side of an X11 presentation.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "draw/canvas.h"
#include "draw/canvas_memory.h"
#include "draw/drawing_target.h"
#include "draw/image.h"
#include "draw/pixel_formats.h"
#include "draw/primitives.h"
#include "meter/create_meter.h"
#include "meter/decibel_scale.h"
#include "meter/meter_aids.h"
#include "meter/meter_table.h"
#include "meter/needle.h"
#include "meter/peak_hold.h"

namespace {

constexpr int64_t METER = 3;
constexpr uint32_t GREEN = RGB(0, 255, 0);

void StartOver() {
    ResetMemoryCanvases();
    ReleaseAllImages();
    CreateMeterTable();
    SetDefaultMeterColours(0, 0x999999, 0x00FF00, 0);
}

// A main-window meter as start-up leaves it.
void StartMeter() {
    StartOver();
    CreateMeter(METER, 10, 10, 497, " ", 3);
    ResetMeterSmoothing(METER, 16);
}

// Readings that sweep the scale up and down without reaching overload
// (whose 4 ms pause would swamp the drawing): the tip moves about 5 pixels
// an update, as it does under a level that sweeps the scale in a second.
float SweepReading(int update) {
    int step = update % 198;
    return static_cast<float>(step < 99 ? step : 198 - step);
}

struct NeedleStep {
    PictureRect square;  // changed: the tip disc's square at the old and the new tip
    ScalePoint tip;      // the new tip
};

// The squares a sweeping needle changes, update after update, as the
// needle update works them out.
std::vector<NeedleStep> SweepSteps(int count) {
    StartMeter();
    const MeterRecord& meter = MeterAt(MeterSlot(METER));
    std::vector<NeedleStep> steps;
    for (int update = 0; update < count; ++update) {
        int32_t oldX = meter.shownTipX, oldY = meter.shownTipY;
        SetMeterValue(METER, SweepReading(update));
        int32_t x = meter.shownTipX, y = meter.shownTipY;
        if (x == oldX && y == oldY) continue;
        PictureRect square{std::min(oldX, x) - 20, std::min(oldY, y) - 20, std::max(oldX, x) + 21,
                           std::max(oldY, y) + 21};
        steps.push_back(NeedleStep{square, ScalePoint{x, y}});
    }
    return steps;
}

// The drawing of a moving update alone, on the canvas picture: the changed
// square copied from the meter's backdrop and the tip disc stamped on it.
void BM_MovingNeedleDrawing(benchmark::State& state) {
    std::vector<NeedleStep> steps = SweepSteps(396);
    const MeterRecord& meter = MeterAt(MeterSlot(METER));
    ImageBits backdrop = ImageHandle(meter.backdropImage);
    BeginDraw(CanvasTarget(METER));
    size_t i = 0;
    int64_t bytes = 0;
    for (auto _ : state) {
        const NeedleStep& step = steps[i];
        SetDrawingClip(step.square.left, step.square.top, step.square.right, step.square.bottom);
        BlitImage(backdrop, 0, 0);
        FillDisc(step.tip.x, step.tip.y, 20, GREEN);
        bytes += 3 * int64_t{step.square.right - step.square.left} *
                 (step.square.bottom - step.square.top);
        i = i + 1 == steps.size() ? 0 : i + 1;
    }
    EndDraw();
    state.SetBytesProcessed(bytes);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MovingNeedleDrawing);

// The least such an update could cost: a plain copy of the same squares,
// row by row, between two pictures of the canvas's size.
void BM_MemcpyOfTheChangedSquare(benchmark::State& state) {
    std::vector<NeedleStep> steps = SweepSteps(396);
    const int width = 493, height = 137, stride = RowStride(width, 24);
    std::vector<uint8_t> from(size_t(stride) * height, 0x55), to(size_t(stride) * height);
    PixelView source{from.data(), width, height, 24, stride};
    PixelView target{to.data(), width, height, 24, stride};
    size_t i = 0;
    int64_t bytes = 0;
    for (auto _ : state) {
        PictureRect square = steps[i].square;
        square.left = std::max(square.left, 0);
        square.top = std::max(square.top, 0);
        square.right = std::min(square.right, width);
        square.bottom = std::min(square.bottom, height);
        for (int y = square.top; y < square.bottom; ++y) {
            std::memcpy(target.At(square.left, y), source.At(square.left, y),
                        3 * static_cast<size_t>(square.right - square.left));
        }
        benchmark::ClobberMemory();
        bytes += 3 * int64_t{square.right - square.left} * (square.bottom - square.top);
        i = i + 1 == steps.size() ? 0 : i + 1;
    }
    state.SetBytesProcessed(bytes);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MemcpyOfTheChangedSquare);

// A whole moving update: smoothing, tip, drawing target, drawing, and the
// headless canvas's presentation (a copy of the square to its "screen").
void BM_SetMeterValue497(benchmark::State& state) {
    StartMeter();
    int update = 0;
    for (auto _ : state) SetMeterValue(METER, SweepReading(update++));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetMeterValue497);

// The reading aids as the benchmarks turn them on: none, the three the
// meter had before the decibel scale and the level readout, or all five.
const MeterAids NO_AIDS{};
const MeterAids FIRST_AIDS{true, true, true};
const MeterAids ALL_AIDS{true, true, true, true, true};

// The peak sample that puts the needle at `place` on the meter's scale, and
// the reading the analysis makes of it: the sweep then takes the needle the
// same way on both scales, so that they draw alike and differ only in the
// work of each update.
struct SweepStep {
    float reading;
    int32_t peak;
};
SweepStep SweepOnScale(float place, bool decibel) {
    if (!decibel) return SweepStep{place, PeakOfReading(place)};
    if (place <= 0) return SweepStep{0, 0};
    const double dbfs = (static_cast<double>(place) - 100) * 60 / 100;
    const auto peak = static_cast<int32_t>(std::lround(32767 * std::pow(10.0, dbfs / 20)));
    return SweepStep{static_cast<float>(std::nearbyint(peak / 32767.0 * 101)), peak};
}

// A moving update as the analysis makes it, a tick every 10 ms, with the
// reading aids off or on: the marks are in the backdrop, the hold moves with
// every new peak and falls every 2 s, its value redrawn in a square of its
// own; with all of them, every new peak is also placed on the decibel scale
// and the readout takes it, to show the highest 4 times a second.
void BM_MovingUpdateReadingAids(benchmark::State& state, const MeterAids& aids) {
    StartMeter();
    SetMeterAids(METER, aids);
    auto now = std::chrono::steady_clock::now();
    int update = 0;
    for (auto _ : state) {
        const SweepStep step = SweepOnScale(SweepReading(update++), aids.decibelScale);
        now += std::chrono::milliseconds(10);
        SetMeterReading(METER, step.reading, step.peak, now);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_MovingUpdateReadingAids, all_off, NO_AIDS);
BENCHMARK_CAPTURE(BM_MovingUpdateReadingAids, first_three, FIRST_AIDS);
BENCHMARK_CAPTURE(BM_MovingUpdateReadingAids, all_on, ALL_AIDS);

// A steady signal (or silence): after the average settles, every update
// lands on the same picture, which is neither drawn nor shown again.
void BM_SetMeterValueSteady(benchmark::State& state) {
    StartMeter();
    for (int i = 0; i < 16; ++i) SetMeterValue(METER, 42);
    for (auto _ : state) SetMeterValue(METER, 42);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetMeterValueSteady);

// The same with the reading aids on: a steady level is placed on the
// decibel scale once, and the hold, its value and the readout stand still.
void BM_SteadyUpdateReadingAids(benchmark::State& state, const MeterAids& aids) {
    StartMeter();
    SetMeterAids(METER, aids);
    auto now = std::chrono::steady_clock::now();
    for (int i = 0; i < 16; ++i) SetMeterReading(METER, 42, PeakOfReading(42), now);
    for (auto _ : state) {
        now += std::chrono::milliseconds(10);
        SetMeterReading(METER, 42, PeakOfReading(42), now);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_SteadyUpdateReadingAids, first_three, FIRST_AIDS);
BENCHMARK_CAPTURE(BM_SteadyUpdateReadingAids, all_on, ALL_AIDS);

// The same with the analysis tick's hold of the meters' lock around it,
// uncontended as on every tick without a rebuild for a new display scale.
void BM_SetMeterValueSteadyUnderLock(benchmark::State& state) {
    StartMeter();
    for (int i = 0; i < 16; ++i) SetMeterValue(METER, 42);
    for (auto _ : state) {
        std::lock_guard<std::mutex> hold(MeterUpdateLock());
        SetMeterValue(METER, 42);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetMeterValueSteadyUnderLock);

// The decibel scale's law for a peak that differs from the last (a steady
// level is placed once and kept): one logarithm.
void BM_DecibelPosition(benchmark::State& state) {
    int32_t peak = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(DecibelPosition(peak));
        peak = peak >= 32768 ? 1 : peak + 97;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecibelPosition);

// The drawing side of an X11 presentation of a moving update's square.
void BM_ConvertChangedSquareToDisplayPixels(benchmark::State& state) {
    std::vector<NeedleStep> steps = SweepSteps(396);
    const PixelView& picture = *MemoryCanvasPicture(METER);
    std::vector<uint8_t> display(size_t(picture.width) * 4 * picture.height);
    size_t i = 0;
    for (auto _ : state) {
        PictureRect square = steps[i].square;
        CopyToXrgb32(picture, std::max(square.left, 0), std::max(square.top, 0),
                     std::min(square.right, picture.width), std::min(square.bottom, picture.height),
                     display.data(), intptr_t{picture.width} * 4);
        benchmark::ClobberMemory();
        i = i + 1 == steps.size() ? 0 : i + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ConvertChangedSquareToDisplayPixels);

void BM_FillDiscRadius20(benchmark::State& state) {
    StartOver();
    int64_t image = NewImage(-1, 493, 137, 32);
    BeginDraw(ImageTarget(image));
    int32_t x = 20;
    for (auto _ : state) {
        FillDisc(x, 60, 20, GREEN);
        x = x >= 470 ? 20 : x + 1;
    }
    EndDraw();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FillDiscRadius20);

void BM_BlitDialOntoCanvas(benchmark::State& state) {
    StartOver();
    int64_t dial = NewImage(-1, 493, 327, 32);
    CanvasControl(METER, 10, 10, 497, 141, CANVAS_BORDER);
    BeginDraw(CanvasTarget(METER));
    for (auto _ : state) BlitImage(ImageHandle(dial), 0, 0);
    EndDraw();
    state.SetBytesProcessed(state.iterations() * 493 * 137 * 3);
}
BENCHMARK(BM_BlitDialOntoCanvas);

}  // namespace
