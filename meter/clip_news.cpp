#include "meter/clip_news.h"

bool TakeClipLight(ClipNewsState& state, bool lit, std::chrono::steady_clock::time_point now) {
    const bool cameOn = lit && !state.lit;
    state.lit = lit;
    if (!cameOn || (state.told && now - state.toldAt < CLIP_NEWS_PERIOD)) return false;
    state.told = true;
    state.toldAt = now;
    return true;
}
