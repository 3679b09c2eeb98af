// Frames for pictures released by drawing threads (see frame_pacing.h).
#include "ui/frame_pacing.h"

#include <algorithm>
#include <mutex>

namespace {

std::mutex frameLock;
FrameClock::time_point frameStart;  // under frameLock
std::atomic<int> canvasesWaiting{0};

}  // namespace

FrameStep StepInFrame(FrameClock::time_point now) {
    std::lock_guard<std::mutex> hold(frameLock);
    if (now - frameStart < FRAME_JOIN) return FrameStep::JOIN;
    if (now - frameStart < FRAME_INTERVAL) return FrameStep::WAIT;
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
    return waiting_.load() && now - since_ >= FRAME_OVERDUE;
}

int HeldChanges::MillisecondsUntilOverdue(FrameClock::time_point now) const {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(since_ + FRAME_OVERDUE - now);
    return static_cast<int>(std::clamp<int64_t>(left.count(), 1, FRAME_MS));
}

bool HeldChanges::AnyWaiting() {
    return canvasesWaiting.load() != 0;
}
