// Text in the control font, drawn by the program itself into a 32-bit
// picture (0x00RRGGBB per pixel, as wl_shm's XRGB8888 lays it out): the
// Wayland layer has no server to draw text for it. The font is the one the
// X11 layer asks Xft for: the desktop's "DejaVu Sans", else whatever
// fontconfig gives for "sans-serif", at points * DPI / 72 pixels.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

// Where text may be drawn: a picture of width x height pixels, `stride`
// pixels from one row to the next, and the part of it the text may touch.
struct TextTarget {
    uint32_t* pixels = nullptr;
    int width = 0, height = 0, stride = 0;
    int clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;  // right, bottom excluded
};

class ControlTextFace {
public:
    ControlTextFace();
    ~ControlTextFace();
    ControlTextFace(const ControlTextFace&) = delete;
    ControlTextFace& operator=(const ControlTextFace&) = delete;

    // Opens the font at this many pixels; false when no font could be
    // found, and the measures below are then those of an empty font.
    bool Open(double pixels);
    bool IsOpen() const;
    int Ascent() const;
    int Descent() const;
    // Width of the UTF-8 text in pixels (invalid bytes count as '?').
    int Width(std::string_view text) const;
    // Draws the text with its baseline's left end at (x, baseline), blended
    // over what is there in `colour` (0xBBGGRR, as the layer's colours are).
    void Draw(const TextTarget& target, int x, int baseline, std::string_view text,
              uint32_t colour) const;

private:
    struct Face;
    std::unique_ptr<Face> face_;
};
