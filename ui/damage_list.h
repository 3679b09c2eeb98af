// What changed in a window's picture since it was last presented, kept as a
// few separate rectangles rather than one joined box: the two meters' needle
// tips move at opposite ends of the window, and their joined box is nearly
// the whole window, which the client would copy and the compositor
// recomposite on every frame. Rectangles that overlap or touch are joined;
// past the limit, the two whose join adds the least area are joined.
#pragma once

#include <cstddef>
#include <vector>

#include "draw/canvas.h"

class DamageList {
public:
    static constexpr size_t MOST_RECTS = 4;

    void Add(const PictureRect& area);
    void Add(const DamageList& other);
    void Clear() { rects_.clear(); }
    bool IsEmpty() const { return rects_.empty(); }
    const std::vector<PictureRect>& Rects() const { return rects_; }

private:
    std::vector<PictureRect> rects_;
};
