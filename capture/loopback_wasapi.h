// Recording what the default output plays, over WASAPI loopback, as a
// capture device of the same contract as a wave-in one (capture_device.h):
// blocks queued by the program are filled in order and announced to the
// callback window with MM_WIM_DATA, the close with MM_WIM_CLOSE. The
// capture layer (capture_winmm.cpp) hands a loopback device's calls here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "capture/wave_format.h"

// The device id that names the loopback recording where a wave-in device
// number goes: never a wave-in device's number, nor WAVE_MAPPER.
constexpr uint32_t PLAYING_DEVICE_ID = 0xFFFFFFFEu;

// Whether the system gives a loopback stream of the default output here.
// Asked of the system at each call until a stream has once opened, then
// remembered: an output may be missing for a while (unplugged, the sound
// service not started yet), and a loopback device bridges such a time.
bool LoopbackCaptureWorks();

// Whether a loopback stream of the default output opens now, for a caller
// that asks every second or so while it waits for one: after a failure the
// system is asked again once the default output has changed, or after a
// pause that doubles with each failure, from one second to sixteen.
bool LoopbackCaptureOpensNow();

// What the system answered to the last of these questions, in a few words,
// and how many times it was asked (tests).
std::string DescribeLoopbackProbe();
int64_t LoopbackProbeCount();

// Opens a loopback recording of the default output for blocks of `format`
// (16-bit PCM, one or two channels); nullptr when it cannot be opened.
void* OpenLoopbackDevice(const WaveFormatRecord& format, void* callbackWindow);

// Whether `device` is a handle OpenLoopbackDevice gave out (open or closed).
bool IsLoopbackDevice(void* device);

bool QueueLoopbackBlock(void* device, WaveHeader* header, bool prepare);
bool StartLoopbackDevice(void* device);

// Stops the recording and hands every queued block back done, announced,
// then announces the close. False when the device's thread did not end in
// time: the device may then still fill the blocks it holds, and nothing was
// announced.
bool CloseLoopbackDevice(void* device);
