// The canvas pictures a thread holds, from AcquireCanvasPicture to
// ReleaseCanvasPicture, by control number: one list per thread and per kind
// of canvas, whose picture record has a `guard` (lock, unlock). Keeping the
// record here lets a release find the guard it took even if the control was
// replaced or went away in the meantime.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <utility>

template <typename Picture>
class HeldPictures {
public:
    // Whether the calling thread holds the control's picture.
    static bool Holds(int64_t control) { return OfThread().count(control) != 0; }

    // Takes the picture's guard and keeps the picture for the calling thread
    // until Take; returns it. nullptr, taking nothing, when the thread holds
    // the control's picture already: one hold at a time, for the holding
    // thread too (a guard that is not recursive would never be given, and a
    // nested hold's release could show the picture half drawn).
    static Picture* Hold(int64_t control, std::shared_ptr<Picture> picture) {
        if (Holds(control)) return nullptr;
        picture->guard.lock();
        Picture* held = picture.get();
        OfThread()[control] = std::move(picture);
        return held;
    }

    // The control's picture, no longer held by the calling thread; nullptr
    // when it held none.
    static std::shared_ptr<Picture> Take(int64_t control) {
        auto& held = OfThread();
        auto found = held.find(control);
        if (found == held.end()) return nullptr;
        std::shared_ptr<Picture> picture = std::move(found->second);
        held.erase(found);
        return picture;
    }

private:
    using List = std::map<int64_t, std::shared_ptr<Picture>>;

    static List& OfThread() {
        // Reached through a plain pointer: a thread_local object with a
        // destructor is torn down unreliably at thread exit by some runtimes
        // (MinGW's among them). A thread that ends holds no picture, so
        // nothing is lost.
        thread_local List* held = nullptr;
        if (held == nullptr) held = new List;
        return *held;
    }
};
