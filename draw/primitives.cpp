// The pixel primitives: the filled disc that every meter mark is built from
// (its exact pixel coverage is what the meters look like), and the pause used
// after the overload mark.
#include "draw/primitives.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "draw/drawing_state.h"
#include "draw/drawing_target.h"
#include "draw/timer_resolution.h"

namespace {

// Components are derived once per change of the whole 32-bit colour, not per
// disc or pixel; a change in the alpha bits alone counts as a change.
void UseColour(DrawingState& state, uint32_t colour) {
    if (colour == state.colour) return;
    state.colour = colour;
    state.red = static_cast<uint8_t>(colour);
    state.green = static_cast<uint8_t>(colour >> 8);
    state.blue = static_cast<uint8_t>(colour >> 16);
    state.alpha = static_cast<uint8_t>(colour >> 24);
    state.inverseAlpha = static_cast<uint8_t>(255 - state.alpha);
}

// Spans take 64-bit arguments so that discs far off the target cannot
// overflow before the clipping drops them.
void HorizontalSpan(DrawingState& state, int64_t x0, int64_t yy, int64_t n) {
    if (yy < state.clipTop || yy >= state.clipBottom) return;
    if (x0 < state.clipLeft) {
        n -= state.clipLeft - x0;
        x0 = state.clipLeft;
    }
    if (x0 + n > state.clipRight) n = state.clipRight - x0;
    if (n <= 0) return;
    uint8_t* pixel = PixelAddress(state, static_cast<int32_t>(x0), static_cast<int32_t>(yy));
    for (int64_t i = 0; i < n; ++i, pixel += state.bytesPerPixel) {
        pixel[0] = state.blue;
        pixel[1] = state.green;
        pixel[2] = state.red;
    }
}

// Runs down the picture from (xx, y0): upwards in memory on a bottom-up target.
void VerticalSpan(DrawingState& state, int64_t xx, int64_t y0, int64_t n) {
    if (xx < state.clipLeft || xx >= state.clipRight) return;
    if (y0 < state.clipTop) {
        n -= state.clipTop - y0;
        y0 = state.clipTop;
    }
    if (y0 + n > state.clipBottom) n = state.clipBottom - y0;
    if (n <= 0) return;
    uint8_t* pixel = PixelAddress(state, static_cast<int32_t>(xx), static_cast<int32_t>(y0));
    int64_t step = state.bottomUp ? -int64_t{state.stride} : int64_t{state.stride};
    for (int64_t i = 0; i < n; ++i, pixel += step) {
        pixel[0] = state.blue;
        pixel[1] = state.green;
        pixel[2] = state.red;
    }
}

// Integer midpoint ellipse with both radii equal: rows while the slope is
// shallow, then columns for the caps above and below. Error is the integer
// type of the error terms; 32 bits hold them for radii up to 700.
template <typename Error>
void MidpointDisc(DrawingState& state, int64_t x, int64_t y, int32_t radius) {
    const Error a = radius;
    const Error b = radius;
    const Error A = a * a;
    const Error B = b * b;
    Error e1 = B / 2 - 2 * B * a + 2 * A;
    Error u = 4 * B * a;
    Error e2 = A / 2 - u + 2 * B;
    Error dy = 0;
    Error acc = 0;
    Error h = a;
    if (e2 < 0) {
        do {
            HorizontalSpan(state, x - h, y + dy, 2 * int64_t{h} + 1);
            if (dy != 0) HorizontalSpan(state, x - h, y - dy, 2 * int64_t{h} + 1);
            dy = dy + 1;
            acc = acc + 4 * A;
            if (e1 < 0) {
                e1 = e1 + acc + 2 * A;
                e2 = e2 + acc;
            } else {
                u = u - 4 * B;
                h = h - 1;
                e1 = e1 + acc - u + 2 * A;
                e2 = e2 + acc - u + 2 * B;
            }
        } while (e2 < 0);
    }
    int64_t bottom = y + dy;
    int64_t top = y - dy;
    int64_t n = 1;
    Error c = h;
    do {
        VerticalSpan(state, x + c, bottom, n);
        VerticalSpan(state, x + c, top, n);
        if (c != 0) {
            VerticalSpan(state, x - c, bottom, n);
            VerticalSpan(state, x - c, top, n);
        }
        u = u - 4 * B;
        c = c - 1;
        if (e2 < 0) {
            acc = acc + 4 * A;
            n = n + 1;
            top = top - 1;
            e2 = e2 + acc - u + 2 * B;
        } else {
            e2 = e2 + 2 * B - u;
        }
    } while (c >= 0);
}

std::atomic<bool> fineTimerRequested = false;

}  // namespace

void FillDisc(int32_t x, int32_t y, int32_t radius, uint32_t colour) {
    DrawingState* state = CurrentDrawingState();
    if (state == nullptr || state->bits == nullptr) return;
    UseColour(*state, colour);
    if (radius < 0) return;
    // A disc wholly outside the clip sets nothing: skip its walk.
    if (int64_t{x} + radius < state->clipLeft || int64_t{x} - radius >= state->clipRight ||
        int64_t{y} + radius < state->clipTop || int64_t{y} - radius >= state->clipBottom) {
        return;
    }
    if (radius <= 700) {
        MidpointDisc<int32_t>(*state, x, y, radius);
    } else {
        MidpointDisc<int64_t>(*state, x, y, radius);
    }
}

void SleepMs(int milliseconds) {
    // The request lasts until the process ends, so it is made only once.
    if (!fineTimerRequested.exchange(true)) RequestFineTimerResolution();
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
