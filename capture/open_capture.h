// The start of recording, from the capture settings to a running device.
#pragma once

#include <cstdint>

// Turns the settings into a running recording: computes the block length and
// interval, completes the format, makes the ring of blocks, opens the device
// with notification to the main window, queues the ring, starts recording,
// starts timer 2 on the main window, and arms the watchdog that reopens the
// device should it stop delivering. A device that does not open leaves the
// ring unqueued; the watchdog then keeps trying to open one. A format that
// describes no recording leaves everything after the computations undone.
// With `onCaptureThread` the device is not opened here: the capture thread
// opens it as soon as it runs, as the watchdog opens a device that was
// missing, so that a sound service that is slow to answer never holds up
// the caller (the program's window thread). Returns 0.
int OpenCapture(void* mainWindowHandle, int64_t mainWindowNumber, bool onCaptureThread = false);
