// The headless capture device: blocks are queued in memory and finished on
// request with given samples, then announced as MM_WIM_DATA through the
// headless window layer, just as a sound driver would. A recovery hands the
// queued blocks back announced, closes the device with its close notice and
// opens it again under the other of two handles.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "capture/wave_format.h"

// Whether the next OpenCaptureDevice finds a device; clears all records.
void ResetNullCapture(bool deviceAvailable);
// Whether the next open or recovery finds a device; keeps the records.
void SetNullCaptureAvailable(bool deviceAvailable);
// Device `deviceId` is listed but refuses to open, as one that another
// program holds; DEFAULT_CAPTURE_DEVICE refuses none. The times of its
// refusals are kept.
void SetNullCaptureRefusedDevice(uint32_t deviceId);
std::vector<std::chrono::steady_clock::time_point> NullCaptureRefusals();

// Fills the oldest queued block with up to `bytes` of data, marks it done
// and posts MM_WIM_DATA for it. False when no block is queued.
bool NullFinishNextBlock(const uint8_t* data, uint32_t bytes);

// How often the header was queued with the device (first preparation
// included).
int64_t NullCaptureAddCount(const WaveHeader* header);
int64_t NullCaptureQueuedCount();
// Waits until at least `count` blocks are queued; false on timeout.
bool NullWaitForQueuedBlocks(int64_t count, int32_t timeoutMs);
void* NullCaptureHandle();  // the open device's handle, nullptr when none
uint32_t NullCaptureDeviceId();
WaveFormatRecord NullCaptureFormat();
bool NullCaptureStarted();
