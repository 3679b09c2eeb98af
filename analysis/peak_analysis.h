// Peak analysis: one reading per channel from the newest captured block,
// handed to the two needle meters on every analysis tick.
#pragma once

#include <cstdint>

#include "capture/threads.h"

struct ChannelPeaks {
    int32_t PeakLeft = 0;   // largest magnitude of channel 0, 0..32768
    int32_t PeakRight = 0;  // of channel 1 (channel 0 again for mono)
};

// Posted once per tick of timer 2; the analysis thread waits on it.
extern SemaphoreRecord* AnalysisSemaphore;

// Scans every whole frame of interleaved 16-bit little-endian samples.
// frameBytes is the frame size (2 per channel); frames beyond `length` and
// a partial frame at the end are not read.
ChannelPeaks ComputePeaks(const uint8_t* samples, uint32_t length, int32_t frameBytes);

// Meter reading 0..101 for a peak magnitude: peak / 32767 * 101, rounded to
// nearest with ties to even.
int32_t PeakToReading(int32_t peak);

// One tick: readings from the newest block, then meter 3 (left) and meter 4
// (right).
void AnalyseNewestBlock();

// Thread procedure: one AnalyseNewestBlock per post of AnalysisSemaphore.
void AnalysisThread(void* argument);
