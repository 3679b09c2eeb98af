// Capture settings with their defaults (44100 Hz, two channels, 16-bit PCM
// from the default device, 16 blocks).
#include "app/settings.h"

#include <cmath>

#include "capture/capture_state.h"

int64_t ReadSettingInteger(const char*, int64_t defaultValue) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(defaultValue)));
}

int ReadCaptureSettings() {
    CaptureState& capture = Capture();
    capture.Device = static_cast<int32_t>(ReadSettingInteger("Device", 0));
    capture.WaveFormat.nChannels = static_cast<uint16_t>(ReadSettingInteger("Channel", 2));
    capture.WaveFormat.nSamplesPerSec =
        static_cast<uint32_t>(ReadSettingInteger("Frequency", 44100));
    capture.WaveFormat.wBitsPerSample = 16;
    capture.BufferNum = static_cast<int32_t>(ReadSettingInteger("BufferNum", 16));
    capture.BufferLen = static_cast<int32_t>(ReadSettingInteger("BufferLen", 2048));
    return 0;
}

void RescaleChannelCount() {
    uint16_t& channels = Capture().WaveFormat.nChannels;
    double doubled = std::nearbyint(static_cast<int16_t>(channels) * 2.0);
    channels = static_cast<uint16_t>(static_cast<int64_t>(doubled));
}
