#include "ui/damage_list.h"

#include <cstdint>
#include <limits>

#include "draw/picture_rect.h"

namespace {

int64_t Area(const PictureRect& r) {
    return int64_t{r.right - r.left} * (r.bottom - r.top);
}

bool OverlapOrTouch(const PictureRect& a, const PictureRect& b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

}  // namespace

void DamageList::Add(const PictureRect& area) {
    if (IsEmptyRect(area)) return;
    PictureRect joined = area;
    // A join can reach rectangles the new one did not: join until none is
    // met.
    for (bool met = true; met;) {
        met = false;
        for (size_t i = 0; i < rects_.size(); ++i) {
            if (!OverlapOrTouch(rects_[i], joined)) continue;
            joined = JoinedRects(joined, rects_[i]);
            rects_.erase(rects_.begin() + static_cast<std::ptrdiff_t>(i));
            met = true;
            break;
        }
    }
    rects_.push_back(joined);
    if (rects_.size() <= MOST_RECTS) return;
    size_t bestA = 0, bestB = 1;
    int64_t leastGrowth = std::numeric_limits<int64_t>::max();
    for (size_t a = 0; a < rects_.size(); ++a) {
        for (size_t b = a + 1; b < rects_.size(); ++b) {
            int64_t growth =
                Area(JoinedRects(rects_[a], rects_[b])) - Area(rects_[a]) - Area(rects_[b]);
            if (growth < leastGrowth) {
                leastGrowth = growth;
                bestA = a;
                bestB = b;
            }
        }
    }
    PictureRect merged = JoinedRects(rects_[bestA], rects_[bestB]);
    rects_.erase(rects_.begin() + static_cast<std::ptrdiff_t>(bestB));
    rects_.erase(rects_.begin() + static_cast<std::ptrdiff_t>(bestA));
    Add(merged);
}

void DamageList::Add(const DamageList& other) {
    for (const PictureRect& r : other.rects_) Add(r);
}
