// What a platform's capture service provides (capture_winmm.cpp over wave-in,
// capture_pulse.cpp over PulseAudio, capture_null.cpp where there is none).
//
// The contract is wave-in's: blocks are queued with AddCaptureBlock and
// filled in queue order; each finished block gets dwBytesRecorded and
// WHDR_DONE and is announced to the callback window as the message
// MM_WIM_DATA with wParam = the device handle and lParam = the header's
// address, on the thread that owns the window, through the window layer's
// message hook. A header given back with AddCaptureBlock goes to the end of
// the queue.
#pragma once

#include <cstddef>
#include <cstdint>

#include "capture/wave_format.h"

constexpr uint32_t DEFAULT_CAPTURE_DEVICE = 0xFFFFFFFFu;  // WAVE_MAPPER

// Opens device `deviceId` (DEFAULT_CAPTURE_DEVICE: the default one) in the
// given format, without conversion, announcing blocks to `callbackWindow` (a
// native window handle). The device handle, or nullptr on failure. A sound
// service that is not running yet is no failure where the platform's device
// waits for it and records once it answers.
void* OpenCaptureDevice(uint32_t deviceId, const WaveFormatRecord& format, void* callbackWindow);

// Prepares the header for the device (first use) and queues it.
bool PrepareCaptureBlock(void* device, WaveHeader* header);

// Queues a header (again); false if the device refused it.
bool AddCaptureBlock(void* device, WaveHeader* header);

// Starts recording into the queued blocks.
bool StartCaptureDevice(void* device);

// Whether the device has finished the header (WHDR_DONE). Any thread may
// ask while the device's own threads fill blocks; the answer does not depend
// on the callback window's thread handling its messages.
bool CaptureBlockDone(void* device, const WaveHeader* header);

// Stops recording, returns every queued block to the program, unprepares the
// `count` headers and lets the device go; after it the device touches no
// block. Nothing may queue a block with the device once this has begun. Used
// at shutdown.
void StopCaptureDevice(void* device, WaveHeader* headers = nullptr, size_t count = 0);

// Mends a device that stopped delivering blocks (unplugged, driver restarted,
// sound server gone). Returns `device` itself when the service mends its
// devices on its own: then nothing changed. Otherwise stops `device` (if not
// nullptr), takes the `count` headers back from it, opens `deviceId` again as
// OpenCaptureDevice does and lets the old device go; the result is the new
// device, not yet recording and never equal to `device`, or nullptr when none
// can be opened now. *headersReleased tells whether the old device gave every
// header back: when it did not (an unprepare or its close failed), the
// old device may still own and fill them, and they must never go to
// another device. *closeNoticePosted tells whether the old device's
// MM_WIM_CLOSE (wParam = the old handle) was posted to the callback window,
// after every MM_WIM_DATA of that device.
void* RecoverCaptureDevice(void* device, WaveHeader* headers, size_t count, uint32_t deviceId,
                           const WaveFormatRecord& format, void* callbackWindow,
                           bool* closeNoticePosted, bool* headersReleased);
