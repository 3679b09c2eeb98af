// Pausing the calling thread.
#pragma once

// Pauses the calling thread; the first call in the process requests a 1 ms
// timer resolution, which lasts until the process ends.
void SleepMs(int milliseconds);
