// The record behind a drawing target, shared by the files of the drawing layer
// (targets, primitives, image copy). Code outside draw/ only ever holds a
// DrawingState pointer; tests include this header to look inside.
#pragma once

#include <cstdint>

struct DrawingState;

// Pixels of the current colour kept ready for copying into 3-byte rows.
constexpr int PATTERN_PIXELS = 8;

// What a kind of target (image or canvas) does when drawing begins and ends.
struct TargetSteps {
    bool (*begin)(DrawingState& state);              // false: drawing cannot start
    void (*finish)(DrawingState& state, bool show);  // gives the target back; show it or not
};

struct DrawingState {
    const TargetSteps* steps = nullptr;  // begin and end steps of this kind of target
    int32_t width = 0;                   // pixels
    int32_t height = 0;                  // pixels
    int32_t depth = 0;                   // bits per pixel: 24 or 32
    int32_t bytesPerPixel = 0;           // 3 or 4
    uint8_t* bits = nullptr;             // pixel memory: memory row 0 first
    int32_t stride = 0;                  // bytes per memory row
    bool bottomUp = false;               // picture row 0 is the last memory row
    int32_t mode = 0;                    // 0: opaque writes of red, green and blue
    uint32_t colour = 0;                 // current colour, red in the low byte
    uint8_t red = 0;                     // components of the current colour
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 0;         // bits 24-31 of the colour; no effect in mode 0
    uint8_t inverseAlpha = 0;  // 255 - alpha
    // Blue, green, red of the current colour, PATTERN_PIXELS times over.
    uint8_t pattern[3 * PATTERN_PIXELS] = {};
    int64_t control = 0;  // canvas targets: the control number, looked up again at the end
    // Drawing outside this rectangle is dropped (right and bottom exclusive);
    // the whole target unless SetDrawingClip narrowed it.
    int32_t clipLeft = 0;
    int32_t clipTop = 0;
    int32_t clipRight = 0;
    int32_t clipBottom = 0;
};

// Address of picture point (x, y); the caller has clipped it to the target.
inline uint8_t* PixelAddress(const DrawingState& state, int32_t x, int32_t y) {
    int64_t row = state.bottomUp ? int64_t{state.height} - 1 - y : int64_t{y};
    return state.bits + row * state.stride + int64_t{state.bytesPerPixel} * x;
}
