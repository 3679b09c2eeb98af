// render_meter: draws meter 3 as the program's start-up does, feeds it the
// given readings in order and writes the canvas picture as a binary PPM. The
// end-to-end tests compare screenshots of the real programs with its output,
// so it goes through the very same engine, on the headless canvas.
//
//   render_meter [--width N] [--control WxH] [--flags F] [--peak S]
//                [--scale-marks] [--peak-hold] [--hold V:S] [--hold-overload]
//                [--overload-held] [--decibel-scale] [--readout] OUT.ppm READING...
//
// --width is the width the program asks for (497); --control is the size in
// pixels that the window layer gave that control on a scaled display (745x211
// at 144 DPI): the picture is then 4 pixels smaller (741x207) and the meter is
// built for the control's width. Without it the display scale is 1.
// --peak gives every reading the peak sample S (0..32768), as a program
// playing a steady peak S takes it; without it each reading stands for the
// peak sample round(reading / 101 x 32767).
//
// The reading aids, as the window's menu turns them on (all off by default):
// --scale-marks    ticks and labels in the dial ("Scale marks");
// --peak-hold      the hold mark and its value ("Peak hold"), held from the
//                  readings, which all count as taken at one moment (none
//                  falls); each reading stands for the peak sample
//                  round(reading / 101 x 32767);
// --hold V:S       peak hold, and after the readings the hold stands at
//                  reading V with peak sample S (0..32768), as a program
//                  playing a steady peak S shows it: V = round(S / 32767 x
//                  101), e.g. --hold 51:16422 shows "-6.0 dB";
// --hold-overload  a reading of 100 or more lights the overload light until
//                  it is cleared ("Hold overload until clicked"): the disc
//                  over the tip for 15 updates, then the lamp in the corner;
// --overload-held  that, and after the readings the lamp is lit, as 15
//                  updates or more after a full-scale peak that nobody
//                  cleared;
// --decibel-scale  the needle, the hold and the marks on the decibel scale
//                  ("Decibel scale"), placed by each reading's peak sample;
// --readout        the peak level as a number ("Level readout"), refreshed
//                  after the readings: the highest of their peak samples,
//                  or "OVER" while the overload disc is over the tip.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "draw/canvas_memory.h"
#include "meter/create_meter.h"
#include "meter/meter_aids.h"
#include "meter/meter_table.h"
#include "meter/needle.h"
#include "meter/peak_hold.h"

namespace {

constexpr int64_t METER = 3;

int Usage(const char* problem) {
    std::fprintf(stderr, "render_meter: %s\n", problem);
    std::fprintf(stderr,
                 "usage: render_meter [--width N] [--control WxH] [--flags F] [--peak S]\n"
                 "                    [--scale-marks] [--peak-hold] [--hold V:S] "
                 "[--hold-overload]\n"
                 "                    [--overload-held] [--decibel-scale] [--readout] OUT.ppm "
                 "READING...\n"
                 "  --width N          the width the program asks for (497)\n"
                 "  --control WxH      the control's size on a scaled display (745x211 at 144 "
                 "DPI)\n"
                 "  --flags F          meter flags (3)\n"
                 "  --peak S           every reading's peak sample, 0 to 32768 (each stands\n"
                 "                     for round(reading / 101 x 32767) without it)\n"
                 "  --scale-marks      ticks and labels in the dial\n"
                 "  --peak-hold        the hold mark and its value, held from the readings\n"
                 "                     (each stands for the sample round(reading / 101 x "
                 "32767))\n"
                 "  --hold V:S         peak hold, standing after the readings at reading V with\n"
                 "                     peak sample S (--hold 51:16422 shows -6.0 dB)\n"
                 "  --hold-overload    a reading of 100 or more lights the overload light until\n"
                 "                     it is cleared (the lamp after 15 updates)\n"
                 "  --overload-held    that, with the lamp lit after the readings\n"
                 "  --decibel-scale    the needle, the hold and the marks on the decibel "
                 "scale\n"
                 "  --readout          the peak level as a number, refreshed after the "
                 "readings\n");
    return 2;
}

bool ParseInteger(const char* text, long* value) {
    errno = 0;
    char* end = nullptr;
    *value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0';
}

// "745x211": two whole numbers from 1 to 32767.
bool ParseSize(const std::string& text, long* width, long* height) {
    size_t cross = text.find('x');
    if (cross == std::string::npos) return false;
    if (!ParseInteger(text.substr(0, cross).c_str(), width) ||
        !ParseInteger(text.substr(cross + 1).c_str(), height)) {
        return false;
    }
    return *width >= 1 && *width <= 32767 && *height >= 1 && *height <= 32767;
}

// "51:16422": a reading and a peak sample from 0 to 32768.
bool ParseHold(const std::string& text, float* reading, long* peak) {
    size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    errno = 0;
    char* end = nullptr;
    const std::string value = text.substr(0, colon);
    *reading = std::strtof(value.c_str(), &end);
    if (end == value.c_str() || *end != '\0' || !std::isfinite(*reading)) return false;
    return ParseInteger(text.substr(colon + 1).c_str(), peak) && *peak >= 0 && *peak <= 32768;
}

bool ParseReading(const char* text, float* value) {
    errno = 0;
    char* end = nullptr;
    *value = std::strtof(text, &end);
    return end != text && *end == '\0';
}

// P6: the top picture row first, red, green and blue bytes per pixel.
bool WritePpm(const std::string& path, const PixelView& picture) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    std::fprintf(file, "P6\n%d %d\n255\n", picture.width, picture.height);
    std::vector<uint8_t> row(static_cast<size_t>(picture.width) * 3);
    for (int y = 0; y < picture.height; ++y) {
        const uint8_t* pixel = picture.At(0, y);
        for (int x = 0; x < picture.width; ++x, pixel += picture.BytesPerPixel()) {
            row[3 * x] = pixel[2];
            row[3 * x + 1] = pixel[1];
            row[3 * x + 2] = pixel[0];
        }
        std::fwrite(row.data(), 1, row.size(), file);
    }
    bool written = std::ferror(file) == 0;
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    long width = 497;
    long flags = 3;
    long controlWidth = 0, controlHeight = 0;  // 0: as the meter asks for
    MeterAids aids;
    bool holdGiven = false, overloadHeld = false;
    float holdReading = 0;
    long holdPeak = 0;
    long peak = -1;  // -1: each reading's own
    // The options that turn one aid on.
    const std::pair<const char*, bool*> switches[] = {{"--scale-marks", &aids.scaleMarks},
                                                      {"--peak-hold", &aids.peakHold},
                                                      {"--decibel-scale", &aids.decibelScale},
                                                      {"--readout", &aids.levelReadout}};
    int i = 1;
    for (; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--") {
            ++i;
            break;
        }
        if (option.rfind("--", 0) != 0) break;
        const auto aid = std::find_if(std::begin(switches), std::end(switches),
                                      [&](const auto& entry) { return option == entry.first; });
        if (aid != std::end(switches)) {
            *aid->second = true;
            continue;
        }
        if (option == "--hold-overload" || option == "--overload-held") {
            aids.holdOverload = true;
            overloadHeld = overloadHeld || option == "--overload-held";
            continue;
        }
        if (option == "--hold") {
            if (i + 1 >= argc || !ParseHold(argv[++i], &holdReading, &holdPeak)) {
                return Usage("--hold takes V:S, a reading and a peak sample from 0 to 32768");
            }
            aids.peakHold = true;
            holdGiven = true;
            continue;
        }
        if (option == "--peak") {
            if (i + 1 >= argc || !ParseInteger(argv[++i], &peak) || peak < 0 || peak > 32768) {
                return Usage("--peak takes a peak sample from 0 to 32768");
            }
            continue;
        }
        if (option != "--width" && option != "--flags" && option != "--control") {
            return Usage(("unknown option " + option).c_str());
        }
        if (i + 1 >= argc) return Usage((option + " needs a value").c_str());
        if (option == "--control") {
            if (!ParseSize(argv[++i], &controlWidth, &controlHeight)) {
                return Usage((std::string("--control takes WxH, each from 1 to 32767, not \"") +
                              argv[i] + "\"")
                                 .c_str());
            }
            continue;
        }
        long* target = option == "--width" ? &width : &flags;
        if (!ParseInteger(argv[++i], target)) {
            return Usage((option + " takes a whole number, not \"" + argv[i] + "\"").c_str());
        }
    }
    if (i >= argc) return Usage("no output file given");
    const std::string out = argv[i++];
    std::vector<float> readings;
    for (; i < argc; ++i) {
        float reading = 0;
        if (!ParseReading(argv[i], &reading)) {
            return Usage((std::string("not a reading: \"") + argv[i] + "\"").c_str());
        }
        readings.push_back(reading);
    }
    if (width < 1 || width > 32767) return Usage("--width must be from 1 to 32767");
    if (flags < 0 || flags > 15) return Usage("--flags must be from 0 to 15");

    SetMemoryCanvasWindowSize(static_cast<int>(controlWidth), static_cast<int>(controlHeight));
    CreateMeterTable();
    SetDefaultMeterColours(0, 0x999999, 0x00FF00, 0);
    if (CreateMeter(METER, 10, 10, static_cast<int>(width), " ", flags) == 0) {
        std::fprintf(stderr, "render_meter: the meter could not be created at width %ld\n", width);
        return 1;
    }
    ResetMeterSmoothing(METER, 16);
    SetMeterAids(METER, aids);
    // One moment for every reading: the hold never falls here.
    const auto now = std::chrono::steady_clock::now();
    for (float reading : readings) {
        SetMeterReading(METER, reading,
                        peak >= 0 ? static_cast<int32_t>(peak) : PeakOfReading(reading), now);
    }
    if (holdGiven) HoldMeterPeak(METER, holdReading, static_cast<int32_t>(holdPeak));
    if (overloadHeld) LatchMeterOverload(METER);
    if (aids.levelReadout) RefreshMeterReadout(METER);

    const PixelView* picture = MemoryCanvasPicture(METER);
    if (picture == nullptr || !WritePpm(out, *picture)) {
        std::fprintf(stderr, "render_meter: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
