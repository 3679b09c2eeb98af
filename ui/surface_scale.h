// The scale of a window on a compositor that tells each surface its scale
// (Wayland): an output's integer scale, or the exact fractional one (in
// 120ths) where the compositor offers it together with a viewport that maps
// a picture of any size onto the window's logical size. Portable, so the
// arithmetic is tested without a compositor.
#pragma once

#include <cstdint>
#include <vector>

// The scale to draw at: the preferred fractional scale when there is one and
// a viewport can show it, bounded as display DPIs are (display_scale.h);
// else the largest integer scale of the outputs the surface is on, else the
// whole part of `current`, within 1 .. 5.
double SurfaceScale(uint32_t preferredScale120, bool viewport, const std::vector<int>& outputScales,
                    double current);

struct SurfacePicture {
    int width = 0, height = 0;  // the picture, pixels
    int bufferScale = 1;        // wl_surface.set_buffer_scale; 1 with a viewport
};

// The picture for a window of `logicalWidth` x `logicalHeight` at `scale`:
// with a viewport, the logical size times the scale rounded half away from
// zero, as the fractional-scale protocol has it (the controls inside are
// placed with the scale rounded down, scaling.h, and so stay inside); without one, the whole
// multiple of the integer part of the scale, at least 1, which the compositor requires.
SurfacePicture SurfacePictureFor(int logicalWidth, int logicalHeight, double scale, bool viewport);
