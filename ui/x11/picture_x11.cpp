// A control's 0x00RRGGBB picture onto an X drawable. Where the server's
// default visual lays pixels out as the picture does (32 bits per pixel,
// least significant byte first, red in bits 16-23: every 24-bit TrueColor
// server on a little-endian machine), the image borrows the picture's rows
// as they are; otherwise each pixel goes through the colour map.
#include "ui/x11/picture_x11.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>

#include "ui/x11/display_x11.h"

namespace {

bool SameLayout(const XImage* image) {
    return image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
           image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 && image->blue_mask == 0xFF;
}

}  // namespace

void X11ShowPicture(Drawable target, const ControlPicture& picture, const ControlRect& part) {
    X11ShowPictureAt(target, picture, part, part.left, part.top);
}

void X11ShowPictureAt(Drawable target, const ControlPicture& picture, const ControlRect& part,
                      int x, int y) {
    X11State& xs = X11();
    ControlRect area =
        ControlRectIn(picture, part.left, part.top, part.right - part.left, part.bottom - part.top);
    if (xs.display == nullptr || target == 0 || picture.pixels == nullptr ||
        area.right <= area.left || area.bottom <= area.top) {
        return;
    }
    const auto width = static_cast<unsigned>(area.right - area.left);
    const auto height = static_cast<unsigned>(area.bottom - area.top);
    XImage* image = XCreateImage(xs.display, xs.visual, static_cast<unsigned>(xs.depth), ZPixmap, 0,
                                 nullptr, width, height, 32, 0);
    if (image == nullptr) return;
    GC gc = X11CreateGC(target);
    if (SameLayout(image) && image->bytes_per_line == static_cast<int>(width) * 4) {
        // The rows of the part, borrowed: the image's own stride is the
        // picture's, so it starts at the part's corner.
        image->bytes_per_line = picture.stride * 4;
        image->data = reinterpret_cast<char*>(
            picture.pixels + static_cast<ptrdiff_t>(area.top) * picture.stride + area.left);
        XPutImage(xs.display, target, gc, image, 0, 0, x + area.left - part.left,
                  y + area.top - part.top, width, height);
        image->data = nullptr;
    } else {
        image->data = static_cast<char*>(
            std::calloc(static_cast<size_t>(image->bytes_per_line), static_cast<size_t>(height)));
        if (image->data != nullptr) {
            for (int y = area.top; y < area.bottom; ++y) {
                const uint32_t* row = picture.pixels + static_cast<ptrdiff_t>(y) * picture.stride;
                for (int px = area.left; px < area.right; ++px) {
                    // Back to 0xBBGGRR, the colour the map knows.
                    XPutPixel(image, px - area.left, y - area.top,
                              X11PixelForColour(PictureColour(row[px])));
                }
            }
            XPutImage(xs.display, target, gc, image, 0, 0, x + area.left - part.left,
                      y + area.top - part.top, width, height);
        }
    }
    XDestroyImage(image);
    XFreeGC(xs.display, gc);
}
