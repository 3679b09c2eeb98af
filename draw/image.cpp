// Off-screen images: pixel buffers owned by the image table, laid out as
// bottom-up device-independent bitmaps so that the drawing code addresses
// images and canvas pictures alike. A lookup only finds an image once its
// pixels are in place.
#include "draw/image.h"

#include <atomic>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "system/numbered_table.h"

namespace {

struct ImageRecord {
    std::vector<uint8_t> pixels;      // the whole bitmap, memory row 0 first
    PixelView view;                   // what ImageHandle hands out
    int16_t width = 0;                // pixels
    int16_t height = 0;               // pixels
    uint8_t depth = 0;                // bits per pixel: 24 or 32
    uint8_t sourceDepth = 0;          // the same for created images
    int32_t frameCount = 0;           // 1
    std::atomic<bool> ready = false;  // set once the pixels are filled
};

NumberedTable<ImageRecord>& ImageTable() {
    static NumberedTable<ImageRecord> table;
    return table;
}

// Allocates and fills the pixels; false if the bitmap cannot be made. Sizes
// are held in 16-bit fields, so larger pictures are refused rather than cut.
bool MakeBitmap(ImageRecord& image, int width, int height, int depth) {
    if (width <= 0 || height <= 0) return false;
    if (width > std::numeric_limits<int16_t>::max()) return false;
    if (height > std::numeric_limits<int16_t>::max()) return false;
    int stride = RowStride(width, depth);
    try {
        image.pixels.assign(static_cast<size_t>(stride) * static_cast<size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (depth == 32) {
        // Opaque black: blue, green, red 0 and alpha 255 in every pixel.
        for (size_t i = 3; i < image.pixels.size(); i += 4) image.pixels[i] = 0xFF;
    }
    image.view = PixelView{image.pixels.data(), width, height, depth, stride};
    image.width = static_cast<int16_t>(width);
    image.height = static_cast<int16_t>(height);
    image.depth = static_cast<uint8_t>(depth);
    image.sourceDepth = static_cast<uint8_t>(depth);
    image.frameCount = 1;
    return true;
}

}  // namespace

int64_t NewImage(int64_t number, int width, int height, int depth) {
    if (depth < 24) depth = 24;
    // Only the depths a bitmap of ours can hold.
    if (depth != 24 && depth != 32) return 0;
    int64_t identifier = 0;
    ImageRecord* image = ImageTable().Create(number, &identifier);
    if (image == nullptr) return 0;
    if (!MakeBitmap(*image, width, height, depth)) {
        ImageTable().Release(identifier);
        return 0;
    }
    image->ready.store(true, std::memory_order_release);
    if (number == -1) return identifier;
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(&image->view));
}

ImageBits ImageHandle(int64_t image) {
    ImageRecord* record = ImageTable().Find(image);
    if (record == nullptr || !record->ready.load(std::memory_order_acquire)) return nullptr;
    return &record->view;
}

void ReleaseImage(int64_t image) {
    ImageTable().Release(image);
}

// Released one by one: the table's records are not copyable, so the whole
// array cannot simply be refilled.
void ReleaseAllImages() {
    std::vector<int64_t> identifiers;
    ImageTable().ForEach(
        [&](int64_t identifier, ImageRecord&) { identifiers.push_back(identifier); });
    for (int64_t identifier : identifiers) ImageTable().Release(identifier);
}
