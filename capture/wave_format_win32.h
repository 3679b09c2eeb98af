// The program's capture format as the Windows record that wave-in takes.
#pragma once

#include "capture/wave_format.h"
#include "system/windows_api_win32.h"

// WAVEFORMATEX is packed (18 bytes); the program's record is not, so the
// fields are copied one by one.
inline WAVEFORMATEX NativeWaveFormat(const WaveFormatRecord& format) {
    WAVEFORMATEX native{};
    native.wFormatTag = format.wFormatTag;
    native.nChannels = format.nChannels;
    native.nSamplesPerSec = format.nSamplesPerSec;
    native.nAvgBytesPerSec = format.nAvgBytesPerSec;
    native.nBlockAlign = format.nBlockAlign;
    native.wBitsPerSample = format.wBitsPerSample;
    native.cbSize = format.cbSize;
    return native;
}
