// Frames for the pictures that drawing threads release. A screen shows one
// picture per refresh (60 a second on most), while two meters updated every
// 10 ms release 200: each picture presented on its own would wake the window
// system (and, on X11, the server) for pictures nobody can see. So a release
// starts a frame when the last one began at least FrameInterval() before,
// and joins the frame while it is younger than FRAME_JOIN (the other meter's
// picture of the same tick); otherwise its changed part is held back and
// shown, joined to later changes, with the next frame, or by the window's
// thread once a refresh has passed. At 60 Hz with updates every 10 ms every
// second picture is shown; at 100 Hz and more, every one.
#pragma once

#include <atomic>
#include <chrono>

#include "draw/picture_rect.h"

using FrameClock = std::chrono::steady_clock;

constexpr auto FRAME_JOIN = std::chrono::milliseconds(3);
// Where the window system cannot tell the screen's refresh.
constexpr double DEFAULT_REFRESH_HZ = 60.0;

// The refresh of the fastest screen, in pictures a second, as the window
// layer reads it (at start and when the screens change): frames follow it.
// A rate that is unknown (0) or out of all reason gives DEFAULT_REFRESH_HZ.
// Any thread.
void SetDisplayRefresh(double perSecond);
double DisplayRefresh();

// The least time between two frames: one refresh, less an eighth of it for
// the jitter of the ticks that release the pictures (a tick that comes a
// little early must not wait a whole tick more). A held change waits no
// longer than this for its drawing thread's next call before the window's
// thread shows it, so the last picture is on the screen within a refresh.
FrameClock::duration FrameInterval();
// FrameInterval() in whole milliseconds, rounded up: changes are held back
// only while the window's thread wakes this often.
int FrameMilliseconds();

// While a drawing thread holds a canvas with changes waiting, the window's
// thread looks again this soon: that thread may leave them waiting again.
constexpr int BUSY_LOOK_MS = 2;

enum class FrameStep { WAIT, START, JOIN };

// What a release at `now` does with its changes: starts a frame, joins the
// one just started, or waits for the next. Any thread.
FrameStep StepInFrame(FrameClock::time_point now);

// The sooner of two times to look again in milliseconds, -1 meaning never.
inline int LookAgainSoonest(int a, int b) {
    return a < 0 ? b : (b < 0 ? a : (a < b ? a : b));
}

// The changes of one canvas held back for the next frame. Hold, Take and
// Overdue run under the canvas's guard; Waiting and AnyWaiting need none.
class HeldChanges {
public:
    HeldChanges() = default;
    HeldChanges(const HeldChanges&) = delete;
    HeldChanges& operator=(const HeldChanges&) = delete;
    // A canvas that goes with changes held no longer counts as waiting.
    ~HeldChanges();

    void Hold(const PictureRect& changed, FrameClock::time_point now);
    // The held area joined to `changed`; nothing is held afterwards.
    PictureRect TakeWith(const PictureRect& changed);
    bool Overdue(FrameClock::time_point now) const;
    // Whole milliseconds, at least 1, until the held changes are overdue.
    int MillisecondsUntilOverdue(FrameClock::time_point now) const;
    bool Waiting() const { return waiting_.load(); }
    // Whether any canvas holds changes: nothing to look at while none does.
    static bool AnyWaiting();

private:
    PictureRect area_;
    FrameClock::time_point since_;
    std::atomic<bool> waiting_{false};
};
