// When the pictures of a canvas control reach the screen, alike on every
// window system: what a release does with its picture (at once, with its
// frame, or held back; see frame_pacing.h), how a repaint stays clear of a
// picture being drawn, and the message loop's look at changes left waiting.
// The window system's canvas file supplies the rest. Its canvas record has
//   guard           a lock (lock, try_lock, unlock): held while a thread
//                   draws into the picture and while it is shown
//   held            HeldChanges: changes released between two frames
//   presentPending  std::atomic<bool>: a repaint found the guard taken,
//                   and the holder shows the whole picture at its release
//   Show(changed, firstOfFrame)  puts the picture on the window at once,
//                   all of it (changed nullptr) or the changed part with
//                   the changes held back; the first picture of a frame may
//                   leave its request to be sent with the next
//   OnWindowThread()  true on the thread that owns the window
//   Closed()        nothing of the canvas is shown any more
#pragma once

#include <memory>
#include <vector>

#include "ui/frame_pacing.h"
#include "ui/message_loop.h"

// Takes the guard for a repaint on the window's thread unless a drawing
// thread holds it; that thread then shows the whole picture when it lets go.
// True with the guard held.
template <typename Canvas>
bool TakePictureForRepaint(Canvas& canvas) {
    if (canvas.guard.try_lock()) return true;
    canvas.presentPending.store(true);
    // The holder may have let go between the try and the mark without
    // seeing the mark: then the picture is free again, and shown here.
    if (!canvas.guard.try_lock()) return false;
    if (canvas.presentPending.exchange(false)) return true;
    canvas.guard.unlock();
    return false;
}

// What a release does with the picture, the guard still held: nothing
// unless it is to be shown or a repaint left it to this thread, and only
// while stillThere() says the control exists. A drawing thread's changed
// part waits for its frame while the window's thread wakes often enough to
// show it should it stay; anything else is shown at once.
template <typename Canvas, typename StillThere>
void ShowAtRelease(Canvas& canvas, bool show, const PictureRect* changed, StillThere stillThere) {
    // A repaint that found the picture busy left the whole of it to us.
    bool pending = canvas.presentPending.exchange(false);
    if (!(show || pending) || !stillThere()) return;
    if (pending || changed == nullptr || canvas.OnWindowThread() ||
        !LoopWakesWithin(FrameMilliseconds())) {
        canvas.Show(pending ? nullptr : changed, false);
        return;
    }
    FrameClock::time_point now = FrameClock::now();
    FrameStep step = StepInFrame(now);
    if (step == FrameStep::WAIT) {
        canvas.held.Hold(*changed, now);
    } else {
        canvas.Show(changed, step == FrameStep::START);
    }
}

// The message loop's look before it waits: changes whose drawing thread
// has not shown them in time are shown from here, unless that thread is
// drawing again right now (and will show them itself). Returns when to look
// again for changes still held: the loop may have no other reason to wake.
template <typename Canvas>
int ShowOverdueChanges(const std::vector<std::shared_ptr<Canvas>>& canvases) {
    FrameClock::time_point now = FrameClock::now();
    int again = -1;
    for (const auto& canvas : canvases) {
        if (!canvas->held.Waiting()) continue;
        if (!canvas->guard.try_lock()) {
            again = LookAgainSoonest(again, BUSY_LOOK_MS);
            continue;
        }
        if (canvas->Closed()) {
            // Nothing of a closed canvas is shown any more.
        } else if (canvas->held.Overdue(now)) {
            PictureRect nothing;
            canvas->Show(&nothing, false);
        } else if (canvas->held.Waiting()) {
            again = LookAgainSoonest(again, canvas->held.MillisecondsUntilOverdue(now));
        }
        canvas->guard.unlock();
    }
    // A timer that wakes the loop within a frame brings the next look; only
    // a resting one leaves it to this time.
    return again >= 0 && LoopWakesWithin(FrameMilliseconds()) ? -1 : again;
}
