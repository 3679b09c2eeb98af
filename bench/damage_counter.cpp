// Counts, from outside, how many pictures a program shows: every drawing
// request that changes the pixels of a shown window on the display.
//   damage_counter SECONDS
// The X server's Damage extension reports each such request to a watcher of
// the root window (drawing into any window below it, clipped to what is
// visible) as one or more DamageNotify events with raw rectangles; the last
// rectangle of a request has `more` false, so those are counted. A program
// that uploads a picture with one PutImage counts 1 for it, one that shows
// two canvases counts 2. The display should hold the measured program alone.
// Prints "requests PIXELS seconds" (pixels: the sum of the rectangles'
// areas) after SECONDS and exits 0; exits 2 without a display and 3 when
// the server has no Damage extension.
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2 || std::atof(argv[1]) <= 0) {
        std::fprintf(stderr, "usage: damage_counter SECONDS\n");
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "damage_counter: cannot open the display\n");
        return 2;
    }
    int eventBase = 0;
    int errorBase = 0;
    if (!XDamageQueryExtension(display, &eventBase, &errorBase)) {
        std::fprintf(stderr, "damage_counter: the X server has no Damage extension\n");
        return 3;
    }
    XDamageCreate(display, DefaultRootWindow(display), XDamageReportRawRectangles);
    // A new damage object first reports its whole window: not a picture.
    XSync(display, False);
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
    }

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto end =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    long long requests = 0;
    long long pixels = 0;
    pollfd connection = {ConnectionNumber(display), POLLIN, 0};
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != eventBase + XDamageNotify) continue;
            const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
            pixels += static_cast<long long>(damage.area.width) * damage.area.height;
            if (!damage.more) ++requests;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) break;
        if (poll(&connection, 1, static_cast<int>(left.count()) + 1) < 0) break;
        if (connection.revents & (POLLERR | POLLHUP)) break;
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%lld %lld %.3f\n", requests, pixels, elapsed);
    XCloseDisplay(display);
    return 0;
}
