// Building meters (see create_meter.cpp).
#pragma once

#include <cstdint>
#include <string>

// The height of a meter `width` wide, as CreateMeter asks the window layer
// for it (96-DPI pixels).
int MeterHeight(int width);

// Builds a meter as a canvas control; 0 on failure. See the meter docs.
int64_t CreateMeter(int64_t number, int x, int y, int width, const std::string& caption,
                    int64_t flags);

// Builds the meter with this control number again for the display scale the
// window layer now has: moves and sizes its canvas as CreateMeter would make
// it, remakes its dial for the canvas's new width and shows its needle where
// it stood, keeping its smoothing. False if there is no such meter, or if
// the new dial cannot be made (the meter then keeps its old one). Call on the
// main thread with MeterUpdateLock held.
bool RescaleMeter(int64_t number, int x, int y, int width);
