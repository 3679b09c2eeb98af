// The Linux timer resolution request: nothing to do, since nanosleep already
// wakes within well under a millisecond of the requested time.
#include "system/timer_resolution.h"

void RequestFineTimerResolution() {}
