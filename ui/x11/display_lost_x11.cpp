// The end of the program when the X server goes away (killed, crashed, a
// remote session dropped). Xlib calls its I/O error handler on whichever
// thread's request or read first meets the closed connection: the main
// thread on the main connection, a drawing thread on the picture
// connection, sometimes both at once. Xlib's own handler, and Xlib itself
// when a handler returns, calls exit(), which runs the static destructors
// while the sound service, capture and analysis threads still use what they
// destroy. Here the first caller says so on stderr and hands over to the
// application, which stops recording and ends the process with _Exit;
// every later caller waits for that end instead of returning into Xlib.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "ui/platform_ui.h"
#include "ui/x11/display_x11.h"
#include "ui/x11/layer_x11.h"

namespace {

constexpr int DISPLAY_LOST_EXIT_CODE = 1;

std::atomic<DisplayLostHandler> lostHandler{nullptr};
std::atomic_flag ending = ATOMIC_FLAG_INIT;

}  // namespace

void X11SetDisplayLostHandler(DisplayLostHandler handler) {
    lostHandler.store(handler);
}

int X11DisplayLost(Display* display) {
    if (ending.test_and_set()) {
        // Another thread is ending the process: this one waits for the end.
        for (;;) pause();
    }
    const char* name = display != nullptr ? DisplayString(display) : nullptr;
    std::fprintf(stderr, "vellumtone: lost the connection to the X display \"%s\"\n",
                 name != nullptr ? name : "");
    std::fflush(stderr);
    if (DisplayLostHandler handler = lostHandler.load()) handler();
    std::_Exit(DISPLAY_LOST_EXIT_CODE);
}
