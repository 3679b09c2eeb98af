// Canvas controls held in memory: a white 24-bit picture per control, at a
// display scale of 1, with the 4-pixel border allowance of CANVAS_BORDER.
// "Showing" a picture only counts the presentation. Each picture has its own
// guard, held by a drawing thread from AcquireCanvasPicture to
// ReleaseCanvasPicture.
#include "draw/canvas_memory.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "draw/canvas.h"
#include "ui/numbered_table.h"

namespace {

struct Picture {
    std::vector<uint8_t> pixels;  // bottom-up 24-bit rows
    PixelView view;
    std::mutex guard;  // held while a thread draws into the picture
};

struct MemoryCanvas {
    std::shared_ptr<Picture> picture;
    int flags = 0;
    std::atomic<int64_t> presents = 0;  // pictures shown
};

NumberedTable<MemoryCanvas>& Canvases() {
    static NumberedTable<MemoryCanvas> table;
    return table;
}

// Pictures this thread holds, by control number. Keeping the picture alive
// here lets a release find the guard it took even if the control was replaced
// or forgotten in the meantime.
thread_local std::map<int64_t, std::shared_ptr<Picture>> heldPictures;

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
    return picture;
}

}  // namespace

int64_t CanvasControl(int64_t number, int /*x*/, int /*y*/, int width, int height, int flags) {
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
    // The guard is not recursive: a second hold by the same thread would
    // never return.
    if (heldPictures.count(control) != 0) return false;
    std::shared_ptr<Picture> held = canvas->picture;
    held->guard.lock();
    *picture = held->view;
    heldPictures[control] = std::move(held);
    return true;
}

void ReleaseCanvasPicture(int64_t control, bool show) {
    auto found = heldPictures.find(control);
    if (found == heldPictures.end()) return;
    std::shared_ptr<Picture> held = std::move(found->second);
    heldPictures.erase(found);
    held->guard.unlock();
    if (!show) return;
    MemoryCanvas* canvas = Canvases().Find(control);
    if (canvas != nullptr && canvas->picture == held) ++canvas->presents;
}

const PixelView* MemoryCanvasPicture(int64_t control) {
    MemoryCanvas* canvas = Canvases().Find(control);
    if (canvas == nullptr || canvas->picture == nullptr) return nullptr;
    return &canvas->picture->view;
}

int64_t MemoryCanvasPresentCount(int64_t control) {
    MemoryCanvas* canvas = Canvases().Find(control);
    return canvas == nullptr ? 0 : canvas->presents.load();
}

void ResetMemoryCanvases() {
    std::vector<int64_t> controls;
    Canvases().ForEach([&](int64_t control, MemoryCanvas&) { controls.push_back(control); });
    for (int64_t control : controls) Canvases().Release(control);
}
