// The Windows timer resolution request: by default Sleep wakes on the system
// tick (about 15.6 ms); timeBeginPeriod(1) makes the 4 ms pause after an
// overload mark last about 4 ms. It is never withdrawn: process exit does.
// windows.h brings in the multimedia timer functions (mmsystem.h), which
// cannot be included on their own.
#include <windows.h>

#include "system/timer_resolution.h"

void RequestFineTimerResolution() {
    timeBeginPeriod(1);
}
