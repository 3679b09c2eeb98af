// When a reader hears that a channel clipped.
#include "meter/clip_news.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A light that comes on is told at once; it is told again only when it
// comes on anew 2 s or more after the last time told, however often it
// flickers meanwhile and however long it stays lit.
TEST(ClipNews, ToldAsTheLightComesOnAtMostEvery2Seconds) {
    ClipNewsState state;
    const Clock::time_point t0 = Clock::now();
    std::vector<int> told;
    auto update = [&](int ms, bool lit) {
        if (TakeClipLight(state, lit, t0 + std::chrono::milliseconds(ms))) told.push_back(ms);
    };
    update(0, false);
    update(100, true);
    update(200, true);  // still lit: nothing new
    update(300, false);
    update(400, true);  // on again within 2 s
    update(2000, false);
    update(2100, true);  // 2 s after the first
    update(5000, true);  // lit all along
    EXPECT_EQ(told, (std::vector<int>{100, 2100}));
}

}  // namespace
