// Drawing targets: each thread has at most one current target, an image or a
// canvas picture, into which the primitives and BlitImage write straight into
// pixel memory. A canvas target holds the picture's guard from creation until
// EndDraw, which shows the finished picture at once.
#include "draw/drawing_target.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "draw/canvas.h"
#include "draw/drawing_state.h"

namespace {

thread_local DrawingState* currentTarget = nullptr;

bool BeginWithPixels(DrawingState& state) {
    return state.bits != nullptr;
}

// An image target's pixels were written in place: nothing to give back.
void FinishImage(DrawingState&, bool) {}

bool Clipped(const DrawingState& state) {
    return state.clipLeft > 0 || state.clipTop > 0 || state.clipRight < state.width ||
           state.clipBottom < state.height;
}

void FinishCanvas(DrawingState& state, bool show) {
    if (!Clipped(state)) {
        ReleaseCanvasPicture(state.control, show);
        return;
    }
    PictureRect changed{state.clipLeft, state.clipTop, std::max(state.clipLeft, state.clipRight),
                        std::max(state.clipTop, state.clipBottom)};
    ReleaseCanvasPicture(state.control, show, &changed);
}

constexpr TargetSteps IMAGE_STEPS = {BeginWithPixels, FinishImage};
constexpr TargetSteps CANVAS_STEPS = {BeginWithPixels, FinishCanvas};

// Ends the thread's current target, if any, and frees it. A new target
// replaces an unfinished one this way too, unshown, so that the old one leaks
// neither its record nor a canvas guard (which this thread would otherwise
// wait on for ever if it opened the same canvas again).
void DropCurrentTarget(bool show) {
    DrawingState* state = currentTarget;
    if (state == nullptr) return;
    currentTarget = nullptr;
    state->steps->finish(*state, show);
    delete state;
}

// A fresh pixel target over the view, installed as the thread's target; it
// draws black until a primitive uses another colour.
DrawingState* InstallTarget(const TargetSteps* steps, const PixelView& view, int64_t control) {
    auto state = std::make_unique<DrawingState>();
    state->steps = steps;
    state->width = view.width;
    state->height = view.height;
    state->depth = view.depth == 32 ? 32 : 24;
    state->bytesPerPixel = state->depth / 8;
    state->bits = view.bits;
    state->stride = view.stride;
    state->bottomUp = true;
    state->mode = 0;
    state->colour = 0;
    state->control = control;
    state->clipRight = view.width;
    state->clipBottom = view.height;
    currentTarget = state.release();
    return currentTarget;
}

// Blue, green and red only: the source alpha is ignored and the target's own
// alpha stays as it was. Fixed pixel sizes let the compiler unroll the copy.
template <int SOURCE_BYTES, int TARGET_BYTES>
void CopyRow(uint8_t* to, const uint8_t* from, int columns) {
    for (int i = 0; i < columns; ++i, from += SOURCE_BYTES, to += TARGET_BYTES) {
        uint8_t blue = from[0], green = from[1], red = from[2];
        to[0] = blue;
        to[1] = green;
        to[2] = red;
    }
}

bool UsableView(const PixelView& view) {
    return view.bits != nullptr && view.width > 0 && view.height > 0 &&
           (view.depth == 24 || view.depth == 32) &&
           view.stride >= view.width * view.BytesPerPixel();
}

}  // namespace

DrawingState* ImageTarget(int64_t image) {
    DropCurrentTarget(false);
    ImageBits view = ImageHandle(image);
    if (view == nullptr || !UsableView(*view)) return nullptr;
    return InstallTarget(&IMAGE_STEPS, *view, 0);
}

DrawingState* CanvasTarget(int64_t control) {
    DropCurrentTarget(false);
    PixelView view;
    if (!AcquireCanvasPicture(control, &view)) return nullptr;
    if (!UsableView(view)) {
        ReleaseCanvasPicture(control, false);
        return nullptr;
    }
    return InstallTarget(&CANVAS_STEPS, view, control);
}

int BeginDraw(DrawingState* target) {
    // Only the thread's own current target can begin; anything else is stale.
    if (target == nullptr || target != currentTarget) return 0;
    if (!target->steps->begin(*target)) {
        DropCurrentTarget(false);
        return 0;
    }
    return 1;
}

int EndDraw() {
    if (currentTarget == nullptr) return 0;
    DropCurrentTarget(true);
    return 1;
}

void SetDrawingClip(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    DrawingState* target = currentTarget;
    if (target == nullptr) return;
    target->clipLeft = std::clamp(left, 0, target->width);
    target->clipTop = std::clamp(top, 0, target->height);
    target->clipRight = std::clamp(right, target->clipLeft, target->width);
    target->clipBottom = std::clamp(bottom, target->clipTop, target->height);
}

bool CurrentTargetSize(int32_t* width, int32_t* height) {
    if (currentTarget == nullptr) return false;
    *width = currentTarget->width;
    *height = currentTarget->height;
    return true;
}

DrawingState* CurrentDrawingState() {
    return currentTarget;
}

void BlitImage(ImageBits image, int x, int y) {
    DrawingState* target = currentTarget;
    if (target == nullptr || image == nullptr || image->bits == nullptr) return;
    if (image->depth != 24 && image->depth != 32) return;
    // Clip the destination rectangle and drop the matching source pixels.
    int64_t left = std::max<int64_t>(x, target->clipLeft);
    int64_t top = std::max<int64_t>(y, target->clipTop);
    int64_t right = std::min<int64_t>(int64_t{x} + image->width, target->clipRight);
    int64_t bottom = std::min<int64_t>(int64_t{y} + image->height, target->clipBottom);
    if (left >= right || top >= bottom) return;
    int columns = static_cast<int>(right - left);
    int sourceX = static_cast<int>(left - x);
    int sourceBytes = image->BytesPerPixel();
    int targetBytes = target->bytesPerPixel;
    // Both are bottom-up: the next picture row is the previous memory row.
    const uint8_t* from = image->At(sourceX, static_cast<int>(top - y));
    uint8_t* to = PixelAddress(*target, static_cast<int32_t>(left), static_cast<int32_t>(top));
    const intptr_t fromStep = -static_cast<intptr_t>(image->stride);
    const intptr_t toStep = target->bottomUp ? -intptr_t{target->stride} : intptr_t{target->stride};
    for (int64_t row = top; row < bottom; ++row, from += fromStep, to += toStep) {
        if (sourceBytes == 3 && targetBytes == 3) {
            std::memcpy(to, from, static_cast<size_t>(columns) * 3);
        } else if (sourceBytes == 4 && targetBytes == 3) {
            CopyRow<4, 3>(to, from, columns);
        } else if (sourceBytes == 4) {
            CopyRow<4, 4>(to, from, columns);
        } else {
            CopyRow<3, 4>(to, from, columns);
        }
    }
}
