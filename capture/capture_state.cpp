// Capture settings turned into a format and a block length. The arithmetic
// takes its single- and double-precision steps exactly as written: the
// rounding of some rates' block lengths depends on them.
#include "capture/capture_state.h"

#include <algorithm>
#include <cmath>

CaptureState& Capture() {
    static CaptureState state;
    return state;
}

void PresetCaptureState() {
    CaptureState& capture = Capture();
    capture.WaveFormat.wFormatTag = PCM_FORMAT_TAG;
    capture.WaveFormat.cbSize = 0;
    capture.BufferNum = INITIAL_BUFFER_NUM;
    capture.HeaderRing.assign(INITIAL_BUFFER_NUM, WaveHeader{});
}

int32_t ComputeBlockLength(int64_t samplesPerSec, int64_t channels) {
    // 31 ms target. The divisor 999.2 is taken in single precision
    // (999.20001...), which decides the rounding of some rates' lengths.
    const double perMs = 31.0 / static_cast<double>(999.2f);
    float x = static_cast<float>((static_cast<double>(samplesPerSec) * 2.0) * perMs *
                                 static_cast<double>(channels));
    double quotient = std::log(static_cast<double>(x)) / std::log(2.0);
    int64_t n = std::isfinite(quotient) ? static_cast<int64_t>(std::trunc(quotient)) : 0;
    n = std::clamp<int64_t>(n, 0, 29);
    return static_cast<int32_t>(std::nearbyint(std::pow(2.0, static_cast<double>(n) + 1.0)));
}

int32_t BoundBlockLength(int32_t blockLength, int32_t blockAlign) {
    int32_t frame = std::max<int32_t>(blockAlign, 1);
    int32_t limit = CAPTURE_WORK_BUFFER_BYTES / frame * frame;
    return std::min(blockLength, limit);
}

int32_t ComputeAnalysisInterval(int32_t blockLength, int64_t samplesPerSec, int64_t channels) {
    double bytesPerSecond =
        static_cast<double>(samplesPerSec) * 2.0 * static_cast<double>(channels);
    if (!(bytesPerSecond > 0)) return 1;
    return static_cast<int32_t>(std::nearbyint(blockLength * 0.2 / bytesPerSecond + 1.0));
}

void CompleteWaveFormat(WaveFormatRecord& format) {
    format.nBlockAlign = static_cast<uint16_t>(
        std::nearbyint((static_cast<int16_t>(format.nChannels) * format.wBitsPerSample) / 8.0));
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    format.cbSize = 0;
}
