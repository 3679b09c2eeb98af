#include "ui/frame_pacing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <vector>

using std::chrono::milliseconds;

namespace {

// Releases every 10 ms, as the analysis ticks make them, from a time no
// other test has used: which of them start a frame.
std::vector<bool> FramesStarted(double refreshHz, int releases) {
    SetDisplayRefresh(refreshHz);
    static FrameClock::time_point base = FrameClock::now() + std::chrono::hours(1);
    base += std::chrono::hours(1);
    std::vector<bool> started;
    for (int i = 0; i < releases; ++i)
        started.push_back(StepInFrame(base + milliseconds(10 * i)) == FrameStep::START);
    return started;
}

}  // namespace

TEST(FramePacing, FramesFollowTheScreensRefresh) {
    // 60 Hz shows every second tick's picture; 30 Hz every third; a screen
    // as fast as the ticks or faster shows each.
    EXPECT_EQ(FramesStarted(60, 5), (std::vector<bool>{true, false, true, false, true}));
    EXPECT_EQ(FramesStarted(30, 5), (std::vector<bool>{true, false, false, true, false}));
    EXPECT_EQ(FramesStarted(100, 4), (std::vector<bool>{true, true, true, true}));
    EXPECT_EQ(FramesStarted(144, 4), (std::vector<bool>{true, true, true, true}));
    // What a window system cannot tell, or tells wrong, means 60: the rate
    // and the frames paced by it.
    SetDisplayRefresh(DEFAULT_REFRESH_HZ);
    const FrameClock::duration atDefault = FrameInterval();
    for (double unknown : {0.0, -60.0, 5.0, 100000.0, std::nan("")}) {
        SetDisplayRefresh(unknown);
        EXPECT_EQ(DisplayRefresh(), DEFAULT_REFRESH_HZ) << unknown;
        EXPECT_EQ(FrameInterval(), atDefault) << unknown;
    }
    SetDisplayRefresh(DEFAULT_REFRESH_HZ);
}

TEST(FramePacing, AHeldChangeIsDueWithinOneRefresh) {
    for (double refresh : {30.0, 60.0, 144.0}) {
        SetDisplayRefresh(refresh);
        auto oneRefresh = std::chrono::duration_cast<FrameClock::duration>(
            std::chrono::duration<double>(1.0 / refresh));
        FrameClock::time_point held = FrameClock::now();
        HeldChanges changes;
        changes.Hold(PictureRect{0, 0, 4, 4}, held);
        EXPECT_FALSE(changes.Overdue(held + milliseconds(1))) << refresh;
        EXPECT_TRUE(changes.Overdue(held + oneRefresh)) << refresh;
        EXPECT_LE(changes.MillisecondsUntilOverdue(held), std::ceil(1000.0 / refresh)) << refresh;
        // Changes held meanwhile are shown together; a hold after the take
        // starts afresh.
        changes.Hold(PictureRect{10, 2, 12, 3}, held);
        const PictureRect all = changes.TakeWith(PictureRect{1, 8, 2, 9});
        EXPECT_EQ((std::vector<int32_t>{all.left, all.top, all.right, all.bottom}),
                  (std::vector<int32_t>{0, 0, 12, 9}));
        EXPECT_FALSE(HeldChanges::AnyWaiting());
        changes.Hold(PictureRect{20, 20, 21, 21}, held);
        const PictureRect next = changes.TakeWith(PictureRect{});
        EXPECT_EQ((std::vector<int32_t>{next.left, next.top, next.right, next.bottom}),
                  (std::vector<int32_t>{20, 20, 21, 21}));
    }
    SetDisplayRefresh(DEFAULT_REFRESH_HZ);
}
