#include "system/sleep.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "system/timer_resolution.h"

namespace {

std::atomic<bool> fineTimerRequested = false;

}  // namespace

void SleepMs(int milliseconds) {
    // The request lasts until the process ends, so it is made only once.
    if (!fineTimerRequested.exchange(true)) RequestFineTimerResolution();
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
