// When a screen reader is told that a channel clipped ("Left clipped"): as
// its overload light comes on, but at most once every CLIP_NEWS_PERIOD, so
// that a signal that keeps clipping does not drown the reader's speech.
#pragma once

#include <chrono>

constexpr auto CLIP_NEWS_PERIOD = std::chrono::seconds(2);

struct ClipNewsState {
    bool lit = false;   // the light at the last update
    bool told = false;  // whether a clip was told yet
    std::chrono::steady_clock::time_point toldAt{};
};

// Takes whether the light is lit after an update at `now`; true when the
// clip is to be told now.
bool TakeClipLight(ClipNewsState& state, bool lit, std::chrono::steady_clock::time_point now);
