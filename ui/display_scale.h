// The bound on the display scale. Both platform layers take the display's DPI
// from places a user or a tool can write anything into (the X resource
// Xft.dpi, the LogPixels value of the Windows registry), and every window,
// control and canvas size is multiplied by DPI / 96. An absurd value there
// must still give a window that fits the window system's 16-bit sizes and a
// program that answers its close request. A window kept on its screen
// (KeepWindowOnScreen) may take a smaller scale than the display's, so that
// its close button stays within reach.
#pragma once

#include <functional>
#include <vector>

constexpr double DEFAULT_DISPLAY_DPI = 96.0;   // a scale of 1
constexpr double SMALLEST_DISPLAY_DPI = 48.0;  // half size
// Five times: the 1024 x 220 main window becomes 5120 x 1100, and each
// meter's images about 2500 x 1650 pixels.
constexpr double LARGEST_DISPLAY_DPI = 480.0;

// The DPI the window layer uses for a DPI read from the system. A value that
// states no scale (not a number, infinite, zero or negative) gives 96; any
// other value is clamped into 48 .. 480.
double BoundDisplayDpi(double dpi);

// Device pixels that a window's frame (title bar, borders) adds to its
// client area, across and down.
struct FrameSize {
    int width = 0, height = 0;
};

// The DPI at which a window whose client area is clientWidth x clientHeight
// 96-DPI pixels fits, with the frame that frameAt gives for a DPI, within an
// area of areaWidth x areaHeight device pixels: `dpi` itself where it fits
// or is 96 or less; else the largest whole DPI above 96 that fits; else 96,
// since a smaller scale than the natural 96-DPI one would leave its text unreadable.
double FitDisplayDpi(double dpi, int clientWidth, int clientHeight, int areaWidth, int areaHeight,
                     const std::function<FrameSize(double dpi)>& frameAt);

// Where a window `size` long on one axis starts so that it lies within an
// area from areaStart, areaSize long: where it is if it does, else moved in
// just far enough; at areaStart when it is longer than the area.
int PlaceInside(int start, int size, int areaStart, int areaSize);

// A rectangle of the screen in device pixels.
struct ScreenArea {
    int x = 0, y = 0, width = 0, height = 0;
};

// The work area of the monitor a window is on, where a screen has several:
// the monitor that holds the point (the window's middle), else the one
// nearest it, cut to the desktop's work area (which spans all monitors);
// the work area itself where there is no monitor or they share nothing.
ScreenArea MonitorWorkArea(const std::vector<ScreenArea>& monitors, const ScreenArea& workArea,
                           int x, int y);
