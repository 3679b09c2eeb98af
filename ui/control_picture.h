// What the layers without a toolkit draw their controls into: a 32-bit
// picture, the text it is lettered with, Windows' classic 3D colours and the
// few strokes every control is made of (fills, the rings of a raised or
// sunken edge, the dotted focus rectangle). The button, the menu, the
// message box and the status line draw themselves with these alone, so a
// control looks the same on every layer that shows its picture.
#pragma once

#include <cstdint>
#include <string_view>

// A 32-bit picture, top row first, 0x00RRGGBB per pixel (wl_shm's XRGB8888
// and an X image of depth 24 lay it out so).
struct ControlPicture {
    uint32_t* pixels = nullptr;
    int width = 0, height = 0;
    int stride = 0;  // pixels from one row to the next
};

// A part of a picture: right and bottom excluded.
struct ControlRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The text a control is drawn with, in the font the layer chose at its
// scale (ui/text_freetype on Linux).
class ControlText {
public:
    virtual ~ControlText() = default;
    virtual int Ascent() const = 0;
    virtual int Descent() const = 0;
    // Width of the UTF-8 text in pixels.
    virtual int Width(std::string_view text) const = 0;
    // Draws the text with its baseline's left end at (x, baseline), blended
    // over what is there in `colour` (0xBBGGRR), touching only `clip`.
    virtual void Draw(const ControlPicture& picture, const ControlRect& clip, int x, int baseline,
                      std::string_view text, uint32_t colour) const = 0;
};

// Windows' classic colours (0xBBGGRR, as COLORREF has them).
constexpr uint32_t COLOUR_BUTTON_FACE = 0xF0F0F0;       // COLOR_BTNFACE
constexpr uint32_t COLOUR_BUTTON_SHADOW = 0xA0A0A0;     // COLOR_BTNSHADOW
constexpr uint32_t COLOUR_BUTTON_HIGHLIGHT = 0xFFFFFF;  // COLOR_BTNHIGHLIGHT
constexpr uint32_t COLOUR_3D_DARK_SHADOW = 0x696969;    // COLOR_3DDKSHADOW
constexpr uint32_t COLOUR_3D_LIGHT = 0xE3E3E3;          // COLOR_3DLIGHT
constexpr uint32_t COLOUR_BUTTON_TEXT = 0x000000;       // COLOR_BTNTEXT
constexpr uint32_t COLOUR_WINDOW = 0xFFFFFF;            // COLOR_WINDOW
constexpr uint32_t COLOUR_GREY_TEXT = 0x6D6D6D;         // COLOR_GRAYTEXT
constexpr uint32_t COLOUR_HIGHLIGHT = 0xD77800;         // COLOR_HIGHLIGHT: a lit menu item
constexpr uint32_t COLOUR_HIGHLIGHT_TEXT = 0xFFFFFF;    // COLOR_HIGHLIGHTTEXT

// 0xBBGGRR to the picture's 0x00RRGGBB.
constexpr uint32_t PictureColour(uint32_t colour) {
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

// Fills the part of the rectangle that lies in the picture.
void FillControlRect(const ControlPicture& picture, int x, int y, int w, int h, uint32_t colour);

// One ring of a DrawEdge border `inset` pixels in from the outside of the
// rectangle at (x, y), w x h: top and left in one colour, bottom and right
// in the other.
void DrawEdgeRing(const ControlPicture& picture, int x, int y, int w, int h, int inset,
                  uint32_t topLeft, uint32_t bottomRight);

// DrawFocusRect's dotted rectangle, 3 pixels in from the outside of the
// rectangle at (x, y), w x h: every other pixel, starting at its corner.
void DrawFocusDots(const ControlPicture& picture, int x, int y, int w, int h);

// The picture's part at (x, y), w x h, cut to the picture.
ControlRect ControlRectIn(const ControlPicture& picture, int x, int y, int w, int h);
