// The hand-off of finished capture blocks: the message hook on the main
// thread queues each finished header and wakes the capture thread, which
// copies the block into the capture work buffer and gives it back to the
// device.
#pragma once

#include <cstddef>
#include <cstdint>

#include "system/threads.h"

// Posted once per finished block; the capture thread waits on it.
extern SemaphoreRecord* CaptureSemaphore;

// Sizes the queue of finished headers for a ring of this many blocks. Called
// before the device may announce any block.
void PrepareHandoff(size_t ringSize);

// The main window's message hook: takes MM_WIM_DATA (wParam = device,
// lParam = header), queues the header and posts CaptureSemaphore; queues a
// device's MM_WIM_CLOSE without a post. Always returns HOOK_PASS_THROUGH.
int64_t WaveMessageHook(void* window, uint32_t message, uint64_t wParam, int64_t lParam);

// Thread procedure: once per post, takes the oldest finished header, copies
// its recorded bytes into the capture work buffer and gives it back to the
// device; when no block came for the watchdog's time, or when another input
// was chosen, has the device reopened. Returns once the thread layer stops
// (StopThreads).
void CaptureThread(void* argument);

// One round of CaptureThread after its wait (tests drive it directly).
// Returns false when no finished header was waiting. A block of a device
// that the watchdog replaced is neither copied nor given back.
bool HandOffOneBlock();

// Called on the capture thread when the watchdog replaced the device: from
// now on only blocks of the current device count, and when the old device
// posted its close notice (MM_WIM_CLOSE, which the hook passes on as a
// marker), every block before that notice is the old device's.
void NoteCaptureDeviceReplaced(bool closeNoticePosted);

// Takes the close notices waiting ahead of every block (capture thread).
void TakeCloseNotices();

// True when the capture thread has taken every finished header queued so
// far and published its block: the work buffer then changes only after the
// hook's next message. Main thread.
bool HandoffIdle();
