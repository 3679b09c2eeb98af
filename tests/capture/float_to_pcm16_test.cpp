// Float mix samples become 16-bit stereo: scaled, rounded ties to even,
// clamped, the first two channels kept and one channel doubled.
#include "capture/float_to_pcm16.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

std::vector<int16_t> Convert(const std::vector<float>& samples, uint32_t channels) {
    size_t frames = samples.size() / channels;
    std::vector<uint8_t> bytes(frames * 4 + 1, 0xEE);
    EXPECT_EQ(ConvertFloatFrames(samples.data(), frames, channels, bytes.data()), frames * 4);
    EXPECT_EQ(bytes.back(), 0xEE) << "wrote past the end";
    std::vector<int16_t> values;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        values.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return values;
}

TEST(FloatToPcm16, ScalesRoundsTiesToEvenAndClamps) {
    EXPECT_EQ(Convert({0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 2.0f, -3.0f, NAN, 0.5f / 32768, 1.5f / 32768,
                       -2.5f / 32768, 32766.5f / 32768, -2.0f, -1.5f},
                      2),
              (std::vector<int16_t>{0, 16384, -16384, 32767, -32768, 32767, -32768, 0, 0, 2, -2,
                                    32766, -32768, -32768}));
}

TEST(FloatToPcm16, KeepsTheFirstTwoChannelsAndDoublesOne) {
    EXPECT_EQ(Convert({0.25f, -0.25f, 0.75f, 0.1f, 0.2f, 0.3f}, 6),
              (std::vector<int16_t>{8192, -8192}));
    EXPECT_EQ(Convert({0.25f, -0.75f}, 1), (std::vector<int16_t>{8192, 8192, -24576, -24576}));
    uint8_t untouched = 0xEE;
    float sample = 0.5f;
    EXPECT_EQ(ConvertFloatFrames(&sample, 1, 0, &untouched), 0u);
    EXPECT_EQ(untouched, 0xEE);
}

}  // namespace
