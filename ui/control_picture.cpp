// The strokes the controls are drawn with: see control_picture.h.
#include "ui/control_picture.h"

#include <algorithm>
#include <cstddef>

void FillControlRect(const ControlPicture& picture, int x, int y, int w, int h, uint32_t colour) {
    ControlRect part = ControlRectIn(picture, x, y, w, h);
    if (picture.pixels == nullptr || part.right <= part.left || part.bottom <= part.top) return;
    const uint32_t value = PictureColour(colour);
    for (int row = part.top; row < part.bottom; ++row) {
        std::fill_n(picture.pixels + static_cast<ptrdiff_t>(row) * picture.stride + part.left,
                    part.right - part.left, value);
    }
}

void DrawEdgeRing(const ControlPicture& picture, int x, int y, int w, int h, int inset,
                  uint32_t topLeft, uint32_t bottomRight) {
    int left = x + inset, top = y + inset, right = x + w - 1 - inset, bottom = y + h - 1 - inset;
    if (right < left || bottom < top) return;
    FillControlRect(picture, left, top, right - left, 1, topLeft);
    FillControlRect(picture, left, top, 1, bottom - top, topLeft);
    FillControlRect(picture, left, bottom, right - left + 1, 1, bottomRight);
    FillControlRect(picture, right, top, 1, bottom - top + 1, bottomRight);
}

void DrawFocusDots(const ControlPicture& picture, int x, int y, int w, int h) {
    for (int i = 0; i < w - 6; i += 2) {
        FillControlRect(picture, x + 3 + i, y + 3, 1, 1, COLOUR_BUTTON_TEXT);
        FillControlRect(picture, x + 3 + i, y + h - 4, 1, 1, COLOUR_BUTTON_TEXT);
    }
    for (int i = 0; i < h - 6; i += 2) {
        FillControlRect(picture, x + 3, y + 3 + i, 1, 1, COLOUR_BUTTON_TEXT);
        FillControlRect(picture, x + w - 4, y + 3 + i, 1, 1, COLOUR_BUTTON_TEXT);
    }
}

ControlRect ControlRectIn(const ControlPicture& picture, int x, int y, int w, int h) {
    ControlRect part{std::max(x, 0), std::max(y, 0), std::min(x + std::max(w, 0), picture.width),
                     std::min(y + std::max(h, 0), picture.height)};
    part.right = std::max(part.right, part.left);
    part.bottom = std::max(part.bottom, part.top);
    return part;
}
