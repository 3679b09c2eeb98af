// Arithmetic on the changed parts of canvas pictures.
#include "draw/picture_rect.h"

#include <algorithm>

PictureRect JoinedRects(const PictureRect& a, const PictureRect& b) {
    if (IsEmptyRect(a)) return b;
    if (IsEmptyRect(b)) return a;
    return PictureRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                       std::max(a.bottom, b.bottom)};
}

PictureRect ClampedToPicture(const PictureRect& area, int32_t width, int32_t height) {
    PictureRect inside;
    inside.left = std::clamp(area.left, 0, width);
    inside.right = std::clamp(area.right, inside.left, width);
    inside.top = std::clamp(area.top, 0, height);
    inside.bottom = std::clamp(area.bottom, inside.top, height);
    return inside;
}
