// The conversion a shared-mode loopback stream needs: the system mix hands
// over packets of 32-bit float samples, at the mix's rate and with the mix's
// channel count, while the capture blocks hold 16-bit stereo PCM. The rate
// stays as it is (the device is opened at the mix's rate); only the sample
// format and the channels change.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes `frames` frames of interleaved float samples with `channels`
// channels to `out` as 16-bit little-endian stereo, 4 bytes a frame: the
// first two channels, or the one channel twice. A sample is scaled by
// 32768, rounded to the nearest integer with ties to even and clamped to
// -32768..32767 (so 1.0 gives 32767 and -1.0 gives -32768); NaN gives 0.
// Returns the bytes written, 0 for no channels.
size_t ConvertFloatFrames(const float* samples, size_t frames, uint32_t channels, uint8_t* out);
