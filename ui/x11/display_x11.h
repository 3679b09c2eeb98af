// The X display connection of the process and what every X11 file of the
// window layer needs from it: the visual, the atoms, colour conversion, the
// control font and a lock that keeps other threads off the connection once
// the layer is closed. Canvas pictures travel on a second connection of
// their own (X11PictureDisplay).
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <shared_mutex>

#include "ui/control_picture.h"
#include "ui/text_freetype.h"

struct X11Atoms {
    Atom wmProtocols;
    Atom wmDeleteWindow;
    Atom wmState;
    Atom netWmName;
    Atom netWmPid;
    Atom netWmWindowType;
    Atom netWmWindowTypeNormal;
    Atom netWmWindowTypeDialog;
    Atom netWmWindowTypeUtility;
    Atom netWmState;
    Atom netWmStateModal;
    Atom motifWmHints;
    Atom utf8String;
};

struct X11State {
    Display* display = nullptr;
    int screen = 0;
    Window root = 0;
    Visual* visual = nullptr;
    int depth = 0;
    Colormap colormap = 0;
    X11Atoms atoms = {};
    bool shmAvailable = false;  // MIT-SHM offered by a server on this machine
    int shmMajorOpcode = 0;
    // Xft.dpi bounded to 48..480, or 96 when the resource is unset
    double displayDpi = 96.0;
    double dpiX = 96.0;  // the scale in use: displayDpi, or less for a window kept on
    double dpiY = 96.0;  // its screen (KeepWindowOnScreen)
    // The controls' text (control_face_x11.h), at the scale in use.
    ControlTextFace controlFace;
    // The connection for canvas pictures, opened with the first canvas;
    // nullptr before that, or when it could not be opened.
    Display* pictureDisplay = nullptr;
    Visual* pictureVisual = nullptr;  // the default visual as that connection knows it
};

// The layer's state; display is nullptr when no display could be opened.
X11State& X11();

// A second connection to the same server, used for nothing but putting
// canvas pictures on their windows, from the drawing threads and from the
// main thread alike, so all of a picture's requests stay in one order. The
// main connection then belongs to the message loop: a drawing thread
// sending a picture never holds the lock that the loop's look for events
// needs. Opened on the first call (on the main thread); falls back to the
// main connection when the server refuses another client.
Display* X11PictureDisplay();

// Held shared by any thread that talks to the server outside the main
// thread's message processing (the canvas presenting from the drawing
// thread); UiLayerClose holds it exclusively while it closes the connection.
std::shared_mutex& X11ConnectionLock();
// True once UiLayerClose has closed the connection (read under the lock).
bool X11ConnectionClosed();

// The X pixel value of a 0xBBGGRR colour on the default visual.
unsigned long X11PixelForColour(uint32_t colour);

// Xlib's I/O error handler for every connection of the process, installed
// by UiLayerInit: reports the lost display and ends the process through the
// DisplayLostHandler (platform_ui.h). Never returns.
[[noreturn]] int X11DisplayLost(Display* display);

// Counts X errors from now on (the server reports asynchronously: XSync
// before X11ErrorsSinceTrap). Used where a request may legitimately fail.
void X11TrapErrors();
int X11ErrorsSinceTrap();

// A GC for drawing on `drawable` that asks for no GraphicsExpose or NoExpose
// events: the layer's copies never come from obscured areas. On the main
// connection unless another is given.
GC X11CreateGC(Drawable drawable, Display* display = nullptr);
