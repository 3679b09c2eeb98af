// The analysis thread's work: peaks of the newest block, scaled for the
// meters. Every frame is examined, so a single full-scale sample anywhere in
// a block reaches its meter.
#include "analysis/peak_analysis.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <mutex>

#include "capture/block_exchange.h"
#include "capture/capture_state.h"
#include "meter/meter_table.h"
#include "meter/needle.h"

SemaphoreRecord* AnalysisSemaphore = nullptr;

namespace {

constexpr int64_t LEFT_METER = 3;
constexpr int64_t RIGHT_METER = 4;

// What the last tick left behind: the block it read and until when a tick
// with no new block would change nothing (min(): a tick is needed).
std::mutex idleLock;
uint64_t idleSequence = 0;
std::chrono::steady_clock::time_point idleUntil = std::chrono::steady_clock::time_point::min();

// Window timers never tick faster (USER_TIMER_MINIMUM).
constexpr int32_t MIN_TICK_MS = 10;

// The last tick's readings and time, and whether the ticks after it rest
// unseen with steps still to take. Under MeterUpdateLock.
struct LastTick {
    std::chrono::steady_clock::time_point at;
    float left = 0, right = 0;
    ChannelPeaks peaks;
    bool restsUnseen = false;
};
LastTick lastTick;

std::atomic<LevelListener> levelListener{nullptr};
// What the listener answered at the last update. Under MeterUpdateLock.
bool listenerSettled = true;

void UpdateMeters(float left, float right, const ChannelPeaks& peaks,
                  std::chrono::steady_clock::time_point now) {
    // The readings move the needles; the peak samples only give a held
    // peak its level.
    SetMeterReading(LEFT_METER, left, peaks.PeakLeft, now);
    SetMeterReading(RIGHT_METER, right, peaks.PeakRight, now);
    const LevelListener listener = levelListener.load();
    listenerSettled = listener == nullptr || listener(peaks, now);
}

// The ticks skipped since the last one, up to `now`, with its readings.
// Under MeterUpdateLock.
void CatchUpSkippedTicks(std::chrono::steady_clock::time_point now) {
    if (!lastTick.restsUnseen) return;
    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::duration_cast<Clock::duration>(
        std::chrono::milliseconds(std::max(Capture().AnalysisInterval, MIN_TICK_MS)));
    Clock::time_point next = lastTick.at + interval;
    // Past that many identical readings the needle, its lights and the
    // readout's period hold nothing of the earlier ones.
    if (now - next > interval * MAX_CAUGHT_UP_TICKS) {
        next = now - interval * MAX_CAUGHT_UP_TICKS;
    }
    // A tick due within half an interval of `now` is the one being taken.
    for (; next + interval / 2 < now; next += interval) {
        UpdateMeters(lastTick.left, lastTick.right, lastTick.peaks, next);
        lastTick.at = next;
    }
}

std::mutex servedLock;
std::condition_variable servedChanged;
uint64_t ticksServed = 0;

int32_t Magnitude(const uint8_t* sample) {
    auto value = static_cast<int16_t>(static_cast<uint16_t>(sample[0] | sample[1] << 8));
    return value < 0 ? -static_cast<int32_t>(value) : value;
}

}  // namespace

ChannelPeaks ComputePeaks(const uint8_t* samples, uint32_t length, int32_t frameBytes) {
    ChannelPeaks peaks;
    if (!samples || frameBytes < 2) return peaks;
    const uint32_t frame = static_cast<uint32_t>(frameBytes);
    const bool stereo = frameBytes >= 4;
    for (uint32_t p = 0; p + frame <= length; p += frame) {
        int32_t left = Magnitude(samples + p);
        if (left > peaks.PeakLeft) peaks.PeakLeft = left;
        if (stereo) {
            int32_t right = Magnitude(samples + p + 2);
            if (right > peaks.PeakRight) peaks.PeakRight = right;
        }
    }
    if (!stereo) peaks.PeakRight = peaks.PeakLeft;
    return peaks;
}

int32_t PeakToReading(int32_t peak) {
    return static_cast<int32_t>(std::nearbyint(peak / 32767.0 * 101.0));
}

std::chrono::nanoseconds StaleInputLimit() {
    const CaptureState& capture = Capture();
    uint32_t bytesPerSecond = capture.WaveFormat.nAvgBytesPerSec;
    if (bytesPerSecond == 0 || capture.BufferLen <= 0) return std::chrono::nanoseconds(0);
    return std::chrono::nanoseconds(int64_t{4} * capture.BufferLen * 1000000000 / bytesPerSecond);
}

void SetLevelListener(LevelListener listener) {
    levelListener.store(listener);
}

void AnalyseNewestBlock(std::chrono::steady_clock::time_point now) {
    const CapturedBlock& block = CaptureWorkBuffer().Latest();
    // After start-up's rescale the channel count field holds twice the
    // channels: the frame size in bytes of 16-bit audio.
    int32_t frameBytes = static_cast<int16_t>(Capture().WaveFormat.nChannels);
    // A device that stopped delivering (unplugged, its server gone) leaves
    // the last block in place: showing it for ever would show sound that is
    // no longer there.
    bool stale = block.length > 0 && now - block.published > StaleInputLimit();
    ChannelPeaks peaks =
        stale ? ChannelPeaks{} : ComputePeaks(block.bytes, block.length, frameBytes);
    const auto left = static_cast<float>(PeakToReading(peaks.PeakLeft));
    const auto right = static_cast<float>(PeakToReading(peaks.PeakRight));
    bool settled = false;
    bool unseen = false;
    {
        // A rebuild for a new display scale waits for the tick, or the tick for it.
        std::lock_guard<std::mutex> meters(MeterUpdateLock());
        CatchUpSkippedTicks(now);
        UpdateMeters(left, right, peaks, now);
        settled = listenerSettled && MeterSettledAt(LEFT_METER, left, peaks.PeakLeft) &&
                  MeterSettledAt(RIGHT_METER, right, peaks.PeakRight);
        // A listener still waiting hears the ticks whether or not anyone
        // sees the meters.
        unseen = listenerSettled && !MeterSeen(LEFT_METER) && !MeterSeen(RIGHT_METER);
        lastTick = LastTick{now, left, right, peaks, unseen && !settled};
    }

    using Clock = std::chrono::steady_clock;
    Clock::time_point until = Clock::time_point::min();
    if (settled || unseen) {
        // Silence stays silence; a fresh block reads the same until it is stale.
        until =
            stale || block.length == 0
                ? Clock::time_point::max()
                : block.published + std::chrono::duration_cast<Clock::duration>(StaleInputLimit());
    }
    std::lock_guard<std::mutex> hold(idleLock);
    idleSequence = block.sequence;
    idleUntil = until;
}

void AnalysisCatchUp(std::chrono::steady_clock::time_point now) {
    std::lock_guard<std::mutex> meters(MeterUpdateLock());
    // The ticks after this are caught up by the next one, which ends the
    // rest: the timer wakes for a block or when asked to.
    CatchUpSkippedTicks(now);
}

bool AnalysisTickNeeded(std::chrono::steady_clock::time_point now) {
    return now > AnalysisIdleUntil();
}

std::chrono::steady_clock::time_point AnalysisIdleUntil() {
    const uint64_t newest = CaptureWorkBuffer().PublishedCount();
    std::lock_guard<std::mutex> hold(idleLock);
    return newest != idleSequence ? std::chrono::steady_clock::time_point::min() : idleUntil;
}

void AnalysisThread(void*) {
    // Taken once: start-up creates the semaphore before the thread.
    SemaphoreRecord* ticks = AnalysisSemaphore;
    for (;;) {
        SemaphoreWait(ticks);
        if (ThreadLayerStopping()) return;
        AnalyseNewestBlock(std::chrono::steady_clock::now());
        {
            std::lock_guard<std::mutex> hold(servedLock);
            ++ticksServed;
        }
        servedChanged.notify_all();
    }
}

uint64_t AnalysisTicksServed() {
    std::lock_guard<std::mutex> hold(servedLock);
    return ticksServed;
}

bool WaitForAnalysisTicks(uint64_t count, int32_t timeoutMs) {
    std::unique_lock<std::mutex> hold(servedLock);
    return servedChanged.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                  [count] { return ticksServed >= count; });
}
