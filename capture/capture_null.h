// The headless capture device: blocks are queued in memory and finished on
// request with given samples, then announced as MM_WIM_DATA through the
// headless window layer, just as a sound driver would.
#pragma once

#include <cstdint>

#include "capture/wave_format.h"

// Whether the next OpenCaptureDevice finds a device; clears all records.
void ResetNullCapture(bool deviceAvailable);

// Fills the oldest queued block with up to `bytes` of data, marks it done
// and posts MM_WIM_DATA for it. False when no block is queued.
bool NullFinishNextBlock(const uint8_t* data, uint32_t bytes);

// How often the header was queued with the device (first preparation
// included).
int64_t NullCaptureAddCount(const WaveHeader* header);
int64_t NullCaptureQueuedCount();
// Waits until at least `count` blocks are queued; false on timeout.
bool NullWaitForQueuedBlocks(int64_t count, int32_t timeoutMs);
uint32_t NullCaptureDeviceId();
WaveFormatRecord NullCaptureFormat();
bool NullCaptureStarted();
