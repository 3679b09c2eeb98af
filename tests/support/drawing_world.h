// Puts the drawing layer and the meters back to their start-up state between
// tests: no canvases, no images, an empty meter table with the program's
// default colours.
#pragma once

#include <cstdint>

#include "draw/canvas_memory.h"
#include "draw/image.h"
#include "meter/create_meter.h"
#include "meter/meter_table.h"
#include "meter/needle.h"

inline void ResetDrawingWorld() {
    ResetMemoryCanvases();
    ReleaseAllImages();
    CreateMeterTable();
    SetDefaultMeterColours(0, 0x999999, 0x00FF00, 0);
}

// A meter as the main window and start-up make it: created, then its
// smoothing reset with 16.
inline int64_t StartMeter(int64_t number, int width = 497, int64_t flags = 3) {
    int64_t result = CreateMeter(number, 10, 10, width, " ", flags);
    if (result != 0) ResetMeterSmoothing(number == -1 ? result : number, 16);
    return result;
}
