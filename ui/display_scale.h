// The bound on the display scale. Both platform layers take the display's DPI
// from places a user or a tool can write anything into (the X resource
// Xft.dpi, the LogPixels value of the Windows registry), and every window,
// control and canvas size is multiplied by DPI / 96. An absurd value there
// must still give a window that fits the window system's 16-bit sizes and a
// program that answers its close request.
#pragma once

constexpr double DEFAULT_DISPLAY_DPI = 96.0;   // a scale of 1
constexpr double SMALLEST_DISPLAY_DPI = 48.0;  // half size
// Five times: the 1024 x 220 main window becomes 5120 x 1100, and each
// meter's images about 2500 x 1650 pixels.
constexpr double LARGEST_DISPLAY_DPI = 480.0;

// The DPI the window layer uses for a DPI read from the system. A value that
// states no scale (not a number, infinite, zero or negative) gives 96; any
// other value is clamped into 48 .. 480.
double BoundDisplayDpi(double dpi);
