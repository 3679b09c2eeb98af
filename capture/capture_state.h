// The capture state shared by start-up, the capture device, the hand-off and
// the analysis: settings, the computed block length and tick interval, the
// wave format and the ring of block headers.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "capture/wave_format.h"

// Bytes of the capture work buffer; every block must fit in it.
constexpr int32_t CAPTURE_WORK_BUFFER_BYTES = 32767;
// Headers in the ring that start-up creates before the settings are read.
constexpr int32_t INITIAL_BUFFER_NUM = 16;
// Upper bound of the ring whatever the setting says (memory stays small).
constexpr int32_t MAX_BUFFER_NUM = 256;
// Timer 2 drives the analysis ticks.
constexpr uint64_t ANALYSIS_TIMER = 2;

// The open device's handle. The main thread opens the device; after that the
// capture thread may replace it (see capture_watchdog.h) while other threads
// read it, so every access is atomic. Copies and assignments work as with a
// plain pointer.
class DeviceHandleRecord {
public:
    DeviceHandleRecord() = default;
    DeviceHandleRecord(const DeviceHandleRecord& other) : value_(other.Get()) {}
    DeviceHandleRecord& operator=(const DeviceHandleRecord& other) { return *this = other.Get(); }
    DeviceHandleRecord& operator=(void* value) {
        value_.store(value, std::memory_order_release);
        return *this;
    }
    void* Get() const { return value_.load(std::memory_order_acquire); }
    operator void*() const { return Get(); }

private:
    std::atomic<void*> value_{nullptr};
};

struct CaptureState {
    int32_t Device = 0;            // 0: default device; n >= 1: device n - 1
    int32_t BufferNum = 0;         // capture blocks in the ring
    int32_t BufferLen = 0;         // block length in bytes
    int32_t AnalysisInterval = 0;  // timer 2 interval in ms
    DeviceHandleRecord DeviceHandle;
    WaveFormatRecord WaveFormat;
    std::vector<WaveHeader> HeaderRing;
};

CaptureState& Capture();

// Start-up's preset: PCM tag, cbSize 0, BufferNum 16 and a ring of 16
// zero-filled headers.
void PresetCaptureState();

// The block length as computed from rate and channels: the smallest power of
// two above the bytes of 31 ms of 16-bit audio (8192 for 44100 Hz stereo).
int32_t ComputeBlockLength(int64_t samplesPerSec, int64_t channels);

// The block length bounded to whole frames that fit the work buffer.
int32_t BoundBlockLength(int32_t blockLength, int32_t blockAlign);

// The analysis timer interval in ms for a block length (1 for every valid
// format; the window system raises it to its minimum period).
int32_t ComputeAnalysisInterval(int32_t blockLength, int64_t samplesPerSec, int64_t channels);

// Fills nBlockAlign, nAvgBytesPerSec and cbSize from the other fields.
void CompleteWaveFormat(WaveFormatRecord& format);
