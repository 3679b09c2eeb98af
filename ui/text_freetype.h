// Text in the control font, drawn by the program itself into a 32-bit
// picture (0x00RRGGBB per pixel, as wl_shm's XRGB8888 lays it out): the
// Wayland layer has no server to draw text for it. The font is the one the
// X11 layer asks Xft for: the desktop's "DejaVu Sans", else whatever
// fontconfig gives for "sans-serif", at points * DPI / 72 pixels; where
// there is no font at all, a small bitmap font of the program's own.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "ui/control_picture.h"

class ControlTextFace final : public ControlText {
public:
    ControlTextFace();
    ~ControlTextFace() override;
    ControlTextFace(const ControlTextFace&) = delete;
    ControlTextFace& operator=(const ControlTextFace&) = delete;

    // Opens the font at this many pixels; false when fontconfig and
    // FreeType gave no font, and the text is then drawn in the built-in
    // bitmap font (ui/fallback_font) at the nearest whole size.
    bool Open(double pixels);
    // Open has been called: text has a font, FreeType's or the built-in one.
    bool IsOpen() const;
    int Ascent() const override;
    int Descent() const override;
    // Width of the UTF-8 text in pixels (invalid bytes count as '?').
    int Width(std::string_view text) const override;
    // Draws the text with its baseline's left end at (x, baseline), blended
    // over what is there in `colour` (0xBBGGRR), touching only `clip`.
    void Draw(const ControlPicture& picture, const ControlRect& clip, int x, int baseline,
              std::string_view text, uint32_t colour) const override;

private:
    struct Face;
    std::unique_ptr<Face> face_;
    int fallbackSize_ = 0;  // the built-in font's size when there is no face; 0 before Open
};
