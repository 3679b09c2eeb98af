// Float mix samples to 16-bit stereo PCM (see float_to_pcm16.h).
#include "capture/float_to_pcm16.h"

#include <cmath>

namespace {

int16_t ToPcm16(float sample) {
    if (std::isnan(sample)) return 0;
    // In double precision: every float times 32768 is exact there, so the
    // only rounding is the one to an integer.
    double scaled = static_cast<double>(sample) * 32768.0;
    if (scaled >= 32767.0) return 32767;
    if (scaled <= -32768.0) return -32768;
    // The default rounding mode: to nearest, ties to even.
    return static_cast<int16_t>(std::nearbyint(scaled));
}

void Put(uint8_t* out, int16_t value) {
    auto bits = static_cast<uint16_t>(value);
    out[0] = static_cast<uint8_t>(bits & 0xFF);
    out[1] = static_cast<uint8_t>(bits >> 8);
}

}  // namespace

size_t ConvertFloatFrames(const float* samples, size_t frames, uint32_t channels, uint8_t* out) {
    if (channels == 0) return 0;
    for (size_t frame = 0; frame < frames; ++frame) {
        const float* first = samples + frame * channels;
        Put(out + frame * 4, ToPcm16(first[0]));
        Put(out + frame * 4 + 2, ToPcm16(channels > 1 ? first[1] : first[0]));
    }
    return frames * 4;
}
