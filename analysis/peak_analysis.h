// Peak analysis: one reading per channel from the newest captured block,
// handed to the two needle meters on every analysis tick.
#pragma once

#include <chrono>
#include <cstdint>

#include "system/threads.h"

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

// How old the newest block may be before the input counts as silence: four
// block lengths of the capture format (about 186 ms at the defaults), 0 when
// the format records nothing.
std::chrono::nanoseconds StaleInputLimit();

// Told of every update's peaks, after the meters took them (the updates of
// caught-up ticks too), on the thread of the update with MeterUpdateLock
// held: for whatever else follows the levels, as a screen reader's does. It
// answers whether more updates with these peaks would leave what it follows
// as it is: while it answers false, the ticks do not rest.
using LevelListener = bool (*)(const ChannelPeaks& peaks,
                               std::chrono::steady_clock::time_point now);
// One listener; nullptr removes it. Any thread.
void SetLevelListener(LevelListener listener);

// One tick at time `now`: readings from the newest block, then meter 3
// (left) and meter 4 (right). A block older than StaleInputLimit reads as
// silence, so the needles fall to rest when capture stops delivering.
void AnalyseNewestBlock(std::chrono::steady_clock::time_point now);

// While nobody can see either meter, a tick that changed the needles lets
// the ticks rest until the next block (or the input turning stale), as a
// settled one does: no block comes in between, so each skipped tick would
// have taken the same readings. They are caught up, at the times they would
// have come (at most the last MAX_CAUGHT_UP_TICKS), by the next tick or by
// AnalysisCatchUp when a meter is seen again, so the needles stand where
// ticking would have put them. Takes MeterUpdateLock.
constexpr int MAX_CAUGHT_UP_TICKS = 256;
void AnalysisCatchUp(std::chrono::steady_clock::time_point now);

// Thread procedure: one AnalyseNewestBlock per post of AnalysisSemaphore.
void AnalysisThread(void* argument);

// Whether an analysis tick at `now` could change what the meters show. It
// could not while no block has come since the last tick, that tick left both
// needles settled at its readings, and the input has not turned stale since
// (which would read as silence). The main loop skips such ticks, so a meter
// showing a steady level wakes no thread beyond its timer.
bool AnalysisTickNeeded(std::chrono::steady_clock::time_point now);

// Until when no tick is needed unless a block comes: the time the input
// turns stale, time_point::max() for silence that stays silence, and
// time_point::min() when a tick is needed now.
std::chrono::steady_clock::time_point AnalysisIdleUntil();

// Ticks the analysis thread has finished, and a wait until at least `count`
// have (false on timeout). A tick's meter updates are visible to a thread
// that saw it counted.
uint64_t AnalysisTicksServed();
bool WaitForAnalysisTicks(uint64_t count, int32_t timeoutMs);
