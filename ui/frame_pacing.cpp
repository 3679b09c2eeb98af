// Frames for pictures released by drawing threads (see frame_pacing.h).
#include "ui/frame_pacing.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

std::mutex frameLock;
FrameClock::time_point frameStart;  // under frameLock
std::atomic<int> canvasesWaiting{0};
std::atomic<double> refreshHz{DEFAULT_REFRESH_HZ};

// 7/8 of a refresh, worked out when the refresh is set: every release asks.
FrameClock::duration IntervalFor(double perSecond) {
    return std::chrono::duration_cast<FrameClock::duration>(
        std::chrono::duration<double>(1.0 / perSecond) * 7 / 8);
}
std::atomic<FrameClock::duration::rep> intervalTicks{IntervalFor(DEFAULT_REFRESH_HZ).count()};

// Screens run from about 24 to a few hundred refreshes a second; a value
// outside this came from a driver that does not know.
constexpr double SLOWEST_REFRESH_HZ = 10.0;
constexpr double FASTEST_REFRESH_HZ = 1000.0;

}  // namespace

void SetDisplayRefresh(double perSecond) {
    bool known = std::isfinite(perSecond) && perSecond >= SLOWEST_REFRESH_HZ &&
                 perSecond <= FASTEST_REFRESH_HZ;
    const double rate = known ? perSecond : DEFAULT_REFRESH_HZ;
    refreshHz.store(rate);
    intervalTicks.store(IntervalFor(rate).count());
}

double DisplayRefresh() {
    return refreshHz.load();
}

FrameClock::duration FrameInterval() {
    return FrameClock::duration(intervalTicks.load());
}

int FrameMilliseconds() {
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(FrameInterval()).count());
}

FrameStep StepInFrame(FrameClock::time_point now) {
    std::lock_guard<std::mutex> hold(frameLock);
    if (now - frameStart < FRAME_JOIN) return FrameStep::JOIN;
    if (now - frameStart < FrameInterval()) return FrameStep::WAIT;
    frameStart = now;
    return FrameStep::START;
}

HeldChanges::~HeldChanges() {
    if (waiting_.load()) --canvasesWaiting;
}

void HeldChanges::Hold(const PictureRect& changed, FrameClock::time_point now) {
    if (waiting_.load()) {
        area_ = JoinedRects(area_, changed);
        return;
    }
    area_ = changed;
    since_ = now;
    waiting_.store(true);
    ++canvasesWaiting;
}

PictureRect HeldChanges::TakeWith(const PictureRect& changed) {
    if (!waiting_.exchange(false)) return changed;
    --canvasesWaiting;
    return JoinedRects(area_, changed);
}

bool HeldChanges::Overdue(FrameClock::time_point now) const {
    return waiting_.load() && now - since_ >= FrameInterval();
}

int HeldChanges::MillisecondsUntilOverdue(FrameClock::time_point now) const {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(since_ + FrameInterval() - now);
    return static_cast<int>(std::clamp<int64_t>(left.count(), 1, FrameMilliseconds()));
}

bool HeldChanges::AnyWaiting() {
    return canvasesWaiting.load() != 0;
}
