// Asks the system for a 1 ms timer resolution for the rest of the process
// (timeBeginPeriod on Windows; nothing to do where sleeps are already fine).
#pragma once

void RequestFineTimerResolution();
