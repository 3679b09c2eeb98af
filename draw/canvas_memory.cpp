// Canvas controls held in memory: a white 24-bit picture per control, at a
// display scale of 1 unless a window size is set for them, with the 4-pixel
// border allowance of CANVAS_BORDER.
// "Showing" a picture only counts the presentation. Each picture has its own
// guard, held by a drawing thread from AcquireCanvasPicture to
// ReleaseCanvasPicture.
#include "draw/canvas_memory.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "draw/canvas.h"
#include "draw/held_pictures.h"
#include "draw/picture_rect.h"
#include "system/numbered_table.h"

namespace {

struct Picture {
    std::vector<uint8_t> pixels;  // bottom-up 24-bit rows
    PixelView view;
    std::mutex guard;             // held while a thread draws into the picture
    std::vector<uint8_t> screen;  // what was last shown, laid out like pixels
    PixelView screenView;
};

// Copies the rectangle of the picture to its screen (all of it without one).
void ShowOnScreen(Picture& picture, const PictureRect* changed) {
    const PixelView& view = picture.view;
    PictureRect whole{0, 0, view.width, view.height};
    PictureRect area = ClampedToPicture(changed ? *changed : whole, view.width, view.height);
    for (int y = area.top; y < area.bottom; ++y) {
        std::copy_n(view.At(area.left, y), 3 * (area.right - area.left),
                    picture.screenView.At(area.left, y));
    }
}

struct MemoryCanvas {
    std::shared_ptr<Picture> picture;
    int flags = 0;
    std::atomic<int64_t> presents = 0;  // pictures shown
    std::atomic<bool> shown = true;     // CanvasShown, as a test sets it
};

// The size every new canvas's window gets; 0 x 0: the size asked for.
std::atomic<int> windowWidth{0}, windowHeight{0};

NumberedTable<MemoryCanvas>& Canvases() {
    static NumberedTable<MemoryCanvas> table;
    return table;
}

using HeldCanvases = HeldPictures<Picture>;

// A window can be no larger than the coordinate range; nothing below 1 x 1.
std::shared_ptr<Picture> MakePicture(int width, int height, int flags) {
    constexpr int LARGEST = std::numeric_limits<int16_t>::max();
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width > LARGEST || height > LARGEST) return nullptr;
    if (flags & CANVAS_BORDER) {
        width -= 4;
        height -= 4;
    }
    width = std::max(width, 1);
    height = std::max(height, 1);
    auto picture = std::make_shared<Picture>();
    int stride = RowStride(width, 24);
    try {
        picture->pixels.assign(static_cast<size_t>(stride) * static_cast<size_t>(height), 0xFF);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    picture->view = PixelView{picture->pixels.data(), width, height, 24, stride};
    picture->screen = picture->pixels;
    picture->screenView = PixelView{picture->screen.data(), width, height, 24, stride};
    return picture;
}

}  // namespace

int64_t CanvasControl(int64_t number, int /*x*/, int /*y*/, int width, int height, int flags) {
    if (windowWidth.load() != 0 || windowHeight.load() != 0) {
        width = windowWidth.load();
        height = windowHeight.load();
    }
    std::shared_ptr<Picture> picture = MakePicture(width, height, flags);
    if (picture == nullptr) return 0;
    int64_t identifier = 0;
    MemoryCanvas* canvas = Canvases().Create(number, &identifier);
    if (canvas == nullptr) return 0;
    canvas->picture = std::move(picture);
    canvas->flags = flags;
    if (number == -1) return identifier;
    // Stands in for the window handle: non-zero even for control 0.
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(canvas));
}

bool AcquireCanvasPicture(int64_t control, PixelView* picture) {
    MemoryCanvas* canvas = Canvases().Find(control);
    if (canvas == nullptr || canvas->picture == nullptr) return false;
    Picture* held = HeldCanvases::Hold(control, canvas->picture);
    if (held == nullptr) return false;
    *picture = held->view;
    return true;
}

void ReleaseCanvasPicture(int64_t control, bool show, const PictureRect* changed) {
    std::shared_ptr<Picture> held = HeldCanvases::Take(control);
    if (held == nullptr) return;
    MemoryCanvas* canvas = show ? Canvases().Find(control) : nullptr;
    if (canvas != nullptr && canvas->picture == held) {
        ShowOnScreen(*held, changed);
        ++canvas->presents;
    }
    held->guard.unlock();
}

bool CanvasShown(int64_t control) {
    MemoryCanvas* canvas = Canvases().Find(control);
    return canvas == nullptr || canvas->shown.load();
}

void SetMemoryCanvasShown(int64_t control, bool shown) {
    if (MemoryCanvas* canvas = Canvases().Find(control)) canvas->shown.store(shown);
}

// Every release is shown at once: nothing is ever held back.
void ShowDeferredCanvasChanges(int64_t) {}

const PixelView* MemoryCanvasPicture(int64_t control) {
    MemoryCanvas* canvas = Canvases().Find(control);
    if (canvas == nullptr || canvas->picture == nullptr) return nullptr;
    return &canvas->picture->view;
}

const PixelView* MemoryCanvasScreen(int64_t control) {
    MemoryCanvas* canvas = Canvases().Find(control);
    if (canvas == nullptr || canvas->picture == nullptr) return nullptr;
    return &canvas->picture->screenView;
}

int64_t MemoryCanvasPresentCount(int64_t control) {
    MemoryCanvas* canvas = Canvases().Find(control);
    return canvas == nullptr ? 0 : canvas->presents.load();
}

void SetMemoryCanvasWindowSize(int width, int height) {
    windowWidth.store(width);
    windowHeight.store(height);
}

void ResetMemoryCanvases() {
    SetMemoryCanvasWindowSize(0, 0);
    std::vector<int64_t> controls;
    Canvases().ForEach([&](int64_t control, MemoryCanvas&) { controls.push_back(control); });
    for (int64_t control : controls) Canvases().Release(control);
}
