// The capture watchdog. A recording device delivers a block every few tens of
// milliseconds for as long as it records, silence included; when none has
// come for about a second, and the device itself has finished none of the
// blocks it holds (the window's thread may be held up, by a browser start
// for one, and announce finished blocks late), the device has stopped for
// good (unplugged, its driver restarted, the sound server gone). The capture
// thread then has the same device reopened with the same format and window
// and the whole ring queued with it. A ring that the old device did not give
// back stays with it, untouched, and the new device gets a fresh one; after
// MAX_ABANDONED_CAPTURE_RINGS of those the watchdog stops reopening.
// While no device is open (none opened at start, or none since one was lost)
// it tries again after a quarter of a second, the pause doubling with each
// failed try up to two seconds; a device just opened
// gets longer for its first block, since a sound server may take over a
// second to get a new stream going (Wine's does at times). All on the
// capture thread, never spinning, with nothing allocated per try but a
// fresh ring. The analysis timer is not touched; it runs on.
//
// The same reopening moves recording to another input the user chose: a
// platform that offers the choice installs a lookup that names the device to
// open at each opening, and asks for a reopening when the choice changes.
// While the chosen input is missing the default stands in, and the lookup is
// asked again about once a second until the chosen one is back.
#pragma once

#include <cstdint>

#include "capture/wave_format.h"

// A second without a block: 21 blocks at the defaults.
constexpr int32_t CAPTURE_STALL_MS = 1000;
// While no device is open, the first pause between tries is this part of a
// stall time, and the pause doubles up to CAPTURE_RETRY_STALLS stall times.
constexpr int32_t CAPTURE_FIRST_RETRY_PARTS = 4;
constexpr int32_t CAPTURE_RETRY_STALLS = 2;
// The time a device just opened has for its first block, in stall times.
constexpr int32_t CAPTURE_START_STALLS = 5;
// Rings left behind with devices that kept them, before reopening stops:
// 128 KiB each at the defaults (16 blocks of 8192 bytes).
constexpr int32_t MAX_ABANDONED_CAPTURE_RINGS = 8;

// Looks the chosen input up at an opening (device numbers change as devices
// come and go) and answers with the device id to open in `format`; sets
// *standIn when the chosen input is missing and the answer is the default
// standing in for it. `armedDeviceId` is the id of the capture settings.
using CaptureDeviceLookup = uint32_t (*)(uint32_t armedDeviceId, const WaveFormatRecord& format,
                                         bool* standIn);

// Installs the platform's lookup; without one, every opening takes the armed
// id. Any thread.
void SetCaptureDeviceLookup(CaptureDeviceLookup lookup);

// The device id to open now for the armed id, through the lookup; notes
// whether it stands in for a missing chosen input.
uint32_t CaptureDeviceToOpen(uint32_t armedDeviceId, const WaveFormatRecord& format);

// Opens the device to open now (CaptureDeviceToOpen); when a chosen device
// will not open, the default stands in.
void* OpenChosenCaptureDevice(uint32_t armedDeviceId, const WaveFormatRecord& format,
                              void* callbackWindow);

// Any thread: has the capture thread reopen the recording on the device the
// lookup names now, with the same format, window and ring, and wakes it.
// Arming drops a request made before: the opening it arms for looked the
// choice up already.
void RequestCaptureReopen();

// The capture thread, after each wake: reopens when asked to, or when a
// stand-in records and the lookup, asked about once a second, finds the
// chosen input back. Does nothing unless `arming` is the current one.
void ServeCaptureReopen(uint64_t arming);

// Arms the watchdog for the recording that OpenCapture started, or for the
// device it could not open, with the device id, format and window of the
// opening (start-up later doubles
// the channel field for the analysis; the device keeps its format).
void ArmCaptureWatchdog(uint32_t deviceId, const WaveFormatRecord& format, void* callbackWindow,
                        int32_t stallMs = CAPTURE_STALL_MS,
                        int32_t maxAbandonedRings = MAX_ABANDONED_CAPTURE_RINGS);

// Disarms it; waits for a recovery under way, at most `waitMs` (-1: for as
// long as it takes). A capture thread started before never watches again,
// even once the watchdog is armed anew (tests leave such threads blocked for
// good). False when a recovery was still under way after `waitMs` (an
// opening held up by a sound service that does not answer): the watchdog
// is disarmed all the same, but that recovery may still install a device.
bool DisarmCaptureWatchdog(int32_t waitMs = -1);

// The arming a capture thread serves, read once when it starts (0: none).
uint64_t CaptureWatchdogArming();

// How long the thread serving `arming` may wait for a block before it calls
// RecoverStalledCapture; -1: wait without a deadline.
int32_t CaptureStallTimeout(uint64_t arming);

// The capture thread handed off a block of the current device.
void NoteCaptureDelivering();

// The current device refused a header given back to it: the header stays
// done with the program, and no longer counts as a block on its way.
void NoteCaptureBlockRefused();

// Has the device reopened and, if that worked, the ring queued and
// recording started. Does nothing unless `arming` is still the current one,
// or while the device has finished a block that has not reached the capture
// thread. Runs on the capture thread. The tries (reopenings of every kind)
// and the rings left behind since the watchdog was armed are counted (tests),
// and whether the device records as a stand-in for a missing chosen input.
void RecoverStalledCapture(uint64_t arming);
int64_t CaptureRecoveryCount();
int32_t AbandonedCaptureRings();
bool CaptureStandingIn();
