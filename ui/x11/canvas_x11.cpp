// The canvas control on X11: a child window that shows a 24-bit picture held
// in memory laid out as a bottom-up DIB (draw/pixels.h), so the portable
// drawing code writes the same bytes as on Windows. Presenting converts the
// picture into a top-down XImage of the display's format and puts it inside
// the sunken 2-pixel edge that the canvas draws itself (WS_EX_CLIENTEDGE).
// Pictures travel through an MIT-SHM segment where the server offers one,
// and go with plain XPutImage where it does not. Pictures go on the picture
// connection (X11PictureDisplay), the window's edge and everything else on
// the main one.
//
// The server reads the segment only when it carries out the request, so
// the segment's pixels must stay as they are until then. The whole picture
// waits for that (XSync); a changed square of a needle update does not: it
// asks for the completion event and goes on, and the next present takes the
// events that have come back without waiting. Should its request still be
// on its way, that present goes with plain XPutImage from an image of its
// own, whose pixels travel inside the request.
//
// The drawing thread holds the picture's guard from AcquireCanvasPicture to
// ReleaseCanvasPicture and presents at the release, from its own thread,
// in frames: a changed part released soon after the last frame waits for
// the next one (ui/paced_canvas.h), so that two meters updated every 10 ms
// wake the server 50 times a second, once for both, and never wait for it. A
// repaint on the main thread (Expose) only tries the guard: if the drawing
// thread holds it, the repaint leaves the picture to the coming release, so
// a half-drawn picture never reaches the screen and the main thread never
// waits for drawing.
#include "ui/x11/canvas_x11.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <utility>
#include <vector>

#include "draw/canvas.h"
#include "draw/held_pictures.h"
#include "draw/picture_rect.h"
#include "draw/pixel_formats.h"
#include "ui/event_queue.h"
#include "ui/message_loop.h"
#include "ui/paced_canvas.h"
#include "ui/platform_ui.h"
#include "ui/posted_messages_linux.h"
#include "ui/scaling.h"
#include "ui/x11/controls_x11.h"
#include "ui/x11/dispatch_x11.h"
#include "ui/x11/display_x11.h"
#include "ui/x11/layer_x11.h"
#include "ui/x11/windows_x11.h"

namespace {

constexpr int CANVAS_TYPE = 33;
constexpr int EDGE = 2;  // width of the sunken client edge

struct CanvasState;
void Present(CanvasState& canvas, const PictureRect* changed = nullptr, bool sendLater = false);

// What ui/paced_canvas.h asks of a canvas: see there.
struct CanvasState {
    Window window = 0;
    Display* display = nullptr;  // the connection that carries the picture
    int flags = 0;
    int windowWidth = 0, windowHeight = 0;
    std::vector<uint8_t> pixels;  // bottom-up 24-bit rows
    PixelView view;
    std::mutex guard;  // held while a thread draws into the picture, and while presenting
    // Presentation, used only under the guard.
    XImage* image = nullptr;
    XShmSegmentInfo segment = {};
    bool sharedMemory = false;
    // The last changed square put from the segment without waiting, by its
    // request's number on the picture connection; 0 for none.
    unsigned long sharedPutRequest = 0;
    // Where a changed square goes while the segment is still being read:
    // a plain image as large as the picture, made when first needed.
    XImage* spareImage = nullptr;
    GC presentGc = nullptr;
    // The edge is drawn by the main thread alone, with its own GC.
    GC edgeGc = nullptr;
    std::atomic<int64_t> presents{0};
    // An Expose found the guard taken: the holder shows the whole picture.
    std::atomic<bool> presentPending{false};
    // Changes a drawing thread released between two frames.
    HeldChanges held;
    // Nobody can see it: the window wholly covers it (VisibilityNotify), or
    // its top-level window is unmapped or an icon.
    std::atomic<bool> obscured{false};
    std::atomic<bool> windowHidden{false};
    bool Shown() const { return !obscured.load() && !windowHidden.load(); }

    void Show(const PictureRect* changed, bool firstOfFrame) {
        Present(*this, changed, firstOfFrame);
    }
    bool OnWindowThread() const { return X11OnMessageLoopThread(); }
    // The record goes with the control, unless a drawing thread holds it;
    // that thread's release finds the control gone.
    bool Closed() const { return false; }
};

// A frame's first picture is put in the connection's buffer and sent with
// the next one that joins it (the other meter of the same tick), or by the
// drawing thread's next call, or by the message loop's next look for
// messages, whichever comes first: one write wakes the server once.
std::atomic<bool> flushOwed{false};

// Every canvas made, for the message loop's look at overdue changes.
std::mutex canvasListLock;
std::vector<std::weak_ptr<CanvasState>>& CanvasList() {
    static auto* list = new std::vector<std::weak_ptr<CanvasState>>();
    return *list;
}

struct CanvasExtra : ControlExtra {
    std::shared_ptr<CanvasState> state;
    bool leftPressed = false;  // the left button went down on this canvas and is still down
};

using HeldCanvases = HeldPictures<CanvasState>;

std::shared_ptr<CanvasState> CanvasOf(int64_t control) {
    ControlRecord* record = ControlTable().Find(control);
    if (record == nullptr || record->type == nullptr || record->type->typeNumber != CANVAS_TYPE) {
        return nullptr;
    }
    auto* extra = static_cast<CanvasExtra*>(record->extra.get());
    return extra == nullptr ? nullptr : extra->state;
}

bool FastLayout(const XImage* image) {
    return image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
           image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 && image->blue_mask == 0xFF;
}

// The picture, bottom-up BGR, into the XImage, top-down in the display's
// pixel format.
void ConvertPicture(const PixelView& view, XImage* image, const PictureRect& area) {
    if (FastLayout(image)) {
        CopyToXrgb32(view, area.left, area.top, area.right, area.bottom,
                     reinterpret_cast<uint8_t*>(image->data), image->bytes_per_line);
        return;
    }
    for (int y = area.top; y < area.bottom; ++y) {
        const uint8_t* source = view.At(0, y);
        for (int x = area.left; x < area.right; ++x) {
            uint32_t colour = source[3 * x + 2] | (source[3 * x + 1] << 8) |
                              (static_cast<uint32_t>(source[3 * x]) << 16);
            XPutPixel(image, x, y, X11PixelForColour(colour));
        }
    }
}

// Sends the picture connection's buffer from a thread other than the message
// loop's. When that is the main connection (no second one could be opened),
// flushing also reads what the server sent: events for the main thread that
// its poll on the connection would no longer see, so it is told to look.
void FlushFromDrawingThread(Display* display) {
    flushOwed.store(false);
    XFlush(display);
    if (display == X11().display && XEventsQueued(display, QueuedAlready) > 0) WakeMessageLoop();
}

XImage* CreatePlainImage(Display* display, Visual* visual, int depth, int width, int height);

// Takes the events that have come back on the picture connection, without
// waiting and without sending what is buffered: completions of changed
// squares, whose only use is to advance the connection's count of requests
// the server has carried out. Nothing else is asked for there; anything
// else that comes is let go too, so the queue never grows.
void TakeCompletions(Display* display) {
    // Only the holder of this lock takes events off the connection, so an
    // event counted is still there to take.
    static std::mutex taking;
    std::lock_guard<std::mutex> hold(taking);
    XEvent event;
    while (XEventsQueued(display, QueuedAfterReading) > 0) XNextEvent(display, &event);
}

// True while the server may still read the segment for the last changed
// square put from it.
bool SegmentBeingRead(CanvasState& canvas, Display* display) {
    if (canvas.sharedPutRequest == 0) return false;
    if (XLastKnownRequestProcessed(display) < canvas.sharedPutRequest) TakeCompletions(display);
    if (XLastKnownRequestProcessed(display) < canvas.sharedPutRequest) return true;
    canvas.sharedPutRequest = 0;
    return false;
}

// The image a changed square goes through: the segment once the server has
// read it, the spare plain image while it may not have; nullptr when no
// spare could be made.
XImage* ImageForChangedSquare(CanvasState& canvas, Display* display) {
    if (!SegmentBeingRead(canvas, display)) return canvas.image;
    if (canvas.spareImage == nullptr) {
        X11State& xs = X11();
        Visual* visual = display == xs.display ? xs.visual : xs.pictureVisual;
        canvas.spareImage =
            CreatePlainImage(display, visual, xs.depth, canvas.view.width, canvas.view.height);
    }
    return canvas.spareImage;
}

// Puts the picture on the screen: all of it, or the part that changed
// together with any changes left waiting. The caller holds the guard. The
// first picture of a frame may leave its request to be sent with the next.
void Present(CanvasState& canvas, const PictureRect* changed, bool sendLater) {
    PictureRect area{0, 0, canvas.view.width, canvas.view.height};
    area = canvas.held.TakeWith(changed != nullptr ? *changed : area);
    std::shared_lock<std::shared_mutex> connection(X11ConnectionLock());
    Display* display = canvas.display;
    if (X11ConnectionClosed() || display == nullptr || canvas.image == nullptr) return;
    area = ClampedToPicture(area, canvas.view.width, canvas.view.height);
    if (IsEmptyRect(area)) return;
    int offset = (canvas.flags & CANVAS_BORDER) ? EDGE : 0;
    auto width = static_cast<unsigned>(area.right - area.left);
    auto height = static_cast<unsigned>(area.bottom - area.top);
    bool loopThread = X11OnMessageLoopThread();
    if (changed == nullptr && canvas.sharedMemory) {
        // A changed square may still be read from the segment: wait for it.
        if (SegmentBeingRead(canvas, display)) XSync(display, False);
        canvas.sharedPutRequest = 0;
        ConvertPicture(canvas.view, canvas.image, area);
        ++canvas.presents;
        XShmPutImage(display, canvas.window, canvas.presentGc, canvas.image, area.left, area.top,
                     offset + area.left, offset + area.top, width, height, False);
        // The server reads the segment after the request is sent: wait until
        // it has, so that the next picture cannot overwrite one still shown.
        XSync(display, False);
        // The wait may have read events meant for the main thread, where
        // its poll on the connection cannot see them: it looks again.
        if (!loopThread && display == X11().display) WakeMessageLoop();
        return;
    }
    // A changed square goes from the segment when only drawing threads read
    // the picture connection, so the completion events come back there;
    // on the main connection they would be the message loop's to read.
    const bool shared = canvas.sharedMemory && display != X11().display;
    XImage* image = shared ? ImageForChangedSquare(canvas, display) : canvas.image;
    if (image == nullptr) return;
    ++canvas.presents;
    if (image == canvas.image && shared) {
        // The square is laid out on its own at the segment's start, as an
        // image just its size: the server then copies it as it would a
        // plain image's pixels, where a part of a larger image would go
        // through a pixmap made over the whole segment.
        XImage square = *image;
        square.width = static_cast<int>(width);
        square.height = static_cast<int>(height);
        square.bytes_per_line = 0;  // worked out for the new width
        if (XInitImage(&square) == 0) return;
        const PixelView part{canvas.view.At(area.left, area.bottom - 1), square.width,
                             square.height, canvas.view.depth, canvas.view.stride};
        ConvertPicture(part, &square, PictureRect{0, 0, square.width, square.height});
        // Numbered under the connection's lock, so that no other thread's
        // request comes between the number and the request.
        XLockDisplay(display);
        canvas.sharedPutRequest = NextRequest(display);
        XShmPutImage(display, canvas.window, canvas.presentGc, &square, 0, 0, offset + area.left,
                     offset + area.top, width, height, True);
        XUnlockDisplay(display);
    } else {
        ConvertPicture(canvas.view, image, area);
        // The pixels travel inside the request, copied into the connection's
        // buffer at once, so the image may change again right away.
        XPutImage(display, canvas.window, canvas.presentGc, image, area.left, area.top,
                  offset + area.left, offset + area.top, width, height);
    }
    if (loopThread) {
        XFlush(display);
    } else if (sendLater) {
        flushOwed.store(true);
    } else {
        FlushFromDrawingThread(display);
    }
}

// The message loop's task: the changes of every canvas left waiting.
int ShowOverdueCanvasChanges() {
    if (!HeldChanges::AnyWaiting()) return -1;
    std::vector<std::shared_ptr<CanvasState>> canvases;
    {
        std::lock_guard<std::mutex> hold(canvasListLock);
        for (const auto& weak : CanvasList()) {
            if (auto canvas = weak.lock()) canvases.push_back(std::move(canvas));
        }
    }
    return ShowOverdueChanges(canvases);
}

// Shows the picture unless a drawing thread holds it; that thread then shows
// the whole picture when it lets go.
void PresentIfFree(CanvasState& canvas) {
    if (!TakePictureForRepaint(canvas)) return;
    Present(canvas);
    canvas.guard.unlock();
}

void DrawEdge(CanvasState& canvas) {
    Display* display = X11().display;
    if (display == nullptr || (canvas.flags & CANVAS_BORDER) == 0) return;
    int w = canvas.windowWidth, h = canvas.windowHeight;
    GC gc = canvas.edgeGc;
    auto line = [&](uint32_t colour, int x0, int y0, int x1, int y1) {
        XSetForeground(display, gc, X11PixelForColour(colour));
        XDrawLine(display, canvas.window, gc, x0, y0, x1, y1);
    };
    // EDGE_SUNKEN: the outer ring shadow over highlight, the inner ring dark
    // shadow over light.
    const uint32_t rings[2][2] = {{COLOUR_BUTTON_SHADOW, COLOUR_BUTTON_HIGHLIGHT},
                                  {COLOUR_3D_DARK_SHADOW, COLOUR_3D_LIGHT}};
    for (int i = 0; i < EDGE; ++i) {
        int left = i, top = i, right = w - 1 - i, bottom = h - 1 - i;
        if (right < left || bottom < top) break;
        line(rings[i][0], left, top, right - 1, top);
        line(rings[i][0], left, top, left, bottom - 1);
        line(rings[i][1], left, bottom, right, bottom);
        line(rings[i][1], right, top, right, bottom);
    }
}

void QueueClick(const ControlRecord& control, int64_t what) {
    QueueEvent(EVENT_CONTROL, control.number, FindWindowNumber(control.handle, nullptr), what);
}

int64_t HandleCanvasEvent(ControlRecord& control, XEvent& event) {
    auto* extra = static_cast<CanvasExtra*>(control.extra.get());
    if (extra == nullptr || extra->state == nullptr) return MESSAGE_X11_OTHER;
    CanvasState& canvas = *extra->state;
    switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0) {
                DrawEdge(canvas);
                XFlush(X11().display);
                PresentIfFree(canvas);
            }
            return MESSAGE_PAINT;
        case VisibilityNotify: {
            const bool before = canvas.Shown();
            canvas.obscured.store(event.xvisibility.state == VisibilityFullyObscured);
            if (!before && canvas.Shown()) QueueClick(control, CANVAS_SHOWN);
            return MESSAGE_X11_OTHER;
        }
        // Clicks on a canvas belong to the canvas, not to the window behind;
        // its left button and its right button's release become its events,
        // as the Windows canvas queues them.
        // A click is a press and a release both on the canvas: a release
        // alone (its press closed a menu, or went down elsewhere) is none.
        // The press grabs the pointer for this window until the release, so
        // the release comes here even when it is made outside.
        case ButtonPress:
            if (event.xbutton.button == Button1) {
                extra->leftPressed = true;
                QueueClick(control, CANVAS_LEFT_DOWN);
            }
            return event.xbutton.button == Button3 ? MESSAGE_RBUTTONDOWN : MESSAGE_LBUTTONDOWN;
        case ButtonRelease:
            if (event.xbutton.button == Button1 && std::exchange(extra->leftPressed, false) &&
                event.xbutton.x >= 0 && event.xbutton.y >= 0 &&
                event.xbutton.x < canvas.windowWidth && event.xbutton.y < canvas.windowHeight) {
                QueueClick(control, CANVAS_LEFT_UP);
            }
            if (event.xbutton.button == Button3) QueueClick(control, CANVAS_RIGHT_UP);
            return event.xbutton.button == Button3 ? MESSAGE_RBUTTONUP : MESSAGE_LBUTTONUP;
        default:
            return MESSAGE_X11_OTHER;
    }
}

void ResizeCanvas(ControlRecord& control, int width, int height);

const ControlType CANVAS_CONTROL_TYPE = {CANVAS_TYPE, HandleCanvasEvent, nullptr, nullptr,
                                         ResizeCanvas};

bool AttachSharedImage(CanvasState& canvas, Display* display, Visual* visual, int depth) {
    int width = canvas.view.width, height = canvas.view.height;
    XImage* image = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr,
                                    &canvas.segment, static_cast<unsigned>(width),
                                    static_cast<unsigned>(height));
    if (image == nullptr) return false;
    size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height);
    canvas.segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (canvas.segment.shmid < 0) {
        XDestroyImage(image);
        return false;
    }
    void* address = shmat(canvas.segment.shmid, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(canvas.segment.shmid, IPC_RMID, nullptr);
        XDestroyImage(image);
        return false;
    }
    canvas.segment.shmaddr = image->data = static_cast<char*>(address);
    canvas.segment.readOnly = False;
    // A server on another machine accepts the extension but cannot reach
    // the segment: the attach then fails with an error, reported later.
    X11TrapErrors();
    Status attached = XShmAttach(display, &canvas.segment);
    XSync(display, False);
    bool ok = attached && X11ErrorsSinceTrap() == 0;
    // Marked for removal now; it goes away when both sides have detached.
    shmctl(canvas.segment.shmid, IPC_RMID, nullptr);
    if (!ok) {
        shmdt(address);
        image->data = nullptr;
        XDestroyImage(image);
        canvas.segment = {};
        return false;
    }
    canvas.image = image;
    canvas.sharedMemory = true;
    return true;
}

XImage* CreatePlainImage(Display* display, Visual* visual, int depth, int width, int height) {
    XImage* image =
        XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                     static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (image == nullptr) return nullptr;
    image->data = static_cast<char*>(
        std::calloc(static_cast<size_t>(image->bytes_per_line), static_cast<size_t>(height)));
    if (image->data == nullptr) {
        XDestroyImage(image);
        return nullptr;
    }
    return image;
}

bool CreatePlainImage(CanvasState& canvas, Display* display, Visual* visual, int depth) {
    canvas.image = CreatePlainImage(display, visual, depth, canvas.view.width, canvas.view.height);
    return canvas.image != nullptr;
}

// The backing picture: the window size less the edges, at least 1 x 1,
// white.
bool CreatePicture(CanvasState& canvas) {
    int width = canvas.windowWidth, height = canvas.windowHeight;
    if (canvas.flags & CANVAS_BORDER) {
        width -= 2 * EDGE;
        height -= 2 * EDGE;
    }
    width = std::max(width, 1);
    height = std::max(height, 1);
    int stride = RowStride(width, 24);
    try {
        canvas.pixels.assign(static_cast<size_t>(stride) * static_cast<size_t>(height), 0xFF);
    } catch (const std::bad_alloc&) {
        return false;
    }
    canvas.view = PixelView{canvas.pixels.data(), width, height, 24, stride};
    return true;
}

// Lets go of the image the picture is presented through. Call with the
// guard held.
void DropImage(CanvasState& canvas) {
    if (canvas.spareImage != nullptr) XDestroyImage(canvas.spareImage);
    canvas.spareImage = nullptr;
    if (canvas.image == nullptr) return;
    if (canvas.sharedMemory) {
        XShmDetach(canvas.display, &canvas.segment);
        // The server lets go of the segment, and is done with any changed
        // square still read from it, before it is unmapped here.
        XSync(canvas.display, False);
        shmdt(canvas.segment.shmaddr);
        canvas.image->data = nullptr;
        canvas.segment = {};
        canvas.sharedMemory = false;
        canvas.sharedPutRequest = 0;
    }
    XDestroyImage(canvas.image);
    canvas.image = nullptr;
}

// The window was given a new size: a new picture for it, white, with the
// old one at its top-left corner (as the Windows canvas keeps it), and a new
// image to present it through. Should either not be made, the canvas keeps
// its old picture, or shows nothing until it is given another size.
void ResizeCanvas(ControlRecord& control, int width, int height) {
    auto* extra = static_cast<CanvasExtra*>(control.extra.get());
    if (extra == nullptr || extra->state == nullptr) return;
    CanvasState& canvas = *extra->state;
    std::lock_guard<std::mutex> hold(canvas.guard);
    std::vector<uint8_t> oldPixels = std::move(canvas.pixels);
    const PixelView oldView = canvas.view;
    const int oldWidth = canvas.windowWidth, oldHeight = canvas.windowHeight;
    canvas.windowWidth = width;
    canvas.windowHeight = height;
    if (!CreatePicture(canvas)) {
        canvas.pixels = std::move(oldPixels);
        canvas.view = oldView;
        canvas.windowWidth = oldWidth;
        canvas.windowHeight = oldHeight;
        return;
    }
    const int rows = std::min(oldView.height, canvas.view.height);
    const int bytes = 3 * std::min(oldView.width, canvas.view.width);
    for (int y = 0; y < rows; ++y) std::memcpy(canvas.view.At(0, y), oldView.At(0, y), bytes);
    X11State& xs = X11();
    Visual* visual = canvas.display == xs.display ? xs.visual : xs.pictureVisual;
    DropImage(canvas);
    if (!(xs.shmAvailable && AttachSharedImage(canvas, canvas.display, visual, xs.depth))) {
        CreatePlainImage(canvas, canvas.display, visual, xs.depth);
    }
    DrawEdge(canvas);
    XFlush(xs.display);
    Present(canvas);
}

}  // namespace

int64_t X11CanvasControl(int64_t number, int x, int y, int width, int height, int flags) {
    X11State& xs = X11();
    Display* display = xs.display;
    Window parent = ControlListTarget();
    if (display == nullptr || parent == 0 || number < -1) return 0;
    int left = ScaleValue(x, X11ScaleFactorX()), top = ScaleValue(y, X11ScaleFactorY());
    int w = std::clamp(ScaleValue(width, X11ScaleFactorX()), 1, 32767);
    int h = std::clamp(ScaleValue(height, X11ScaleFactorY()), 1, 32767);

    auto canvas = std::make_shared<CanvasState>();
    canvas->flags = flags;
    canvas->windowWidth = w;
    canvas->windowHeight = h;
    if (!CreatePicture(*canvas)) return 0;

    XSetWindowAttributes attributes = {};
    // No background: the canvas paints every pixel, so nothing flickers.
    attributes.background_pixmap = None;
    attributes.event_mask =
        ExposureMask | ButtonPressMask | ButtonReleaseMask | VisibilityChangeMask;
    Window window = XCreateWindow(display, parent, left, top, static_cast<unsigned>(w),
                                  static_cast<unsigned>(h), 0, xs.depth, InputOutput, xs.visual,
                                  CWBackPixmap | CWEventMask, &attributes);
    if (window == 0) return 0;
    canvas->window = window;
    canvas->edgeGc = X11CreateGC(window);
    // The window must exist on the server before another connection names it.
    XSync(display, False);
    Display* pictures = X11PictureDisplay();
    Visual* visual = pictures == display ? xs.visual : xs.pictureVisual;
    canvas->display = pictures;
    canvas->presentGc = X11CreateGC(window, pictures);
    bool imageReady = (xs.shmAvailable && AttachSharedImage(*canvas, pictures, visual, xs.depth)) ||
                      CreatePlainImage(*canvas, pictures, visual, xs.depth);
    int64_t identifier = 0;
    ControlRecord* record =
        imageReady ? RegisterControl(number, window, parent, &CANVAS_CONTROL_TYPE, &identifier)
                   : nullptr;
    if (record == nullptr) {
        if (canvas->sharedMemory) {
            XShmDetach(pictures, &canvas->segment);
            shmdt(canvas->segment.shmaddr);
            canvas->image->data = nullptr;
        }
        if (canvas->image != nullptr) XDestroyImage(canvas->image);
        XFreeGC(pictures, canvas->presentGc);
        XFlush(pictures);
        XFreeGC(display, canvas->edgeGc);
        XDestroyWindow(display, window);
        return 0;
    }
    record->style = flags;
    record->tabStop = (flags & CANVAS_KEYBOARD) != 0;
    auto extra = std::make_unique<CanvasExtra>();
    extra->state = canvas;
    record->extra = std::move(extra);
    if (flags & CANVAS_CONTAINER) SetControlListTarget(window);
    {
        std::lock_guard<std::mutex> hold(canvasListLock);
        // Forget canvases that are gone, then remember this one.
        auto& list = CanvasList();
        list.erase(
            std::remove_if(list.begin(), list.end(),
                           [](const std::weak_ptr<CanvasState>& weak) { return weak.expired(); }),
            list.end());
        list.push_back(canvas);
    }
    X11SetMessageLoopTask(ShowOverdueCanvasChanges);
    XMapWindow(display, window);
    XFlush(display);
    if (number == -1) return identifier;
    return static_cast<int64_t>(window);
}

bool X11AcquireCanvasPicture(int64_t control, PixelView* picture) {
    std::shared_ptr<CanvasState> canvas = CanvasOf(control);
    if (canvas == nullptr || picture == nullptr) return false;
    CanvasState* held = HeldCanvases::Hold(control, std::move(canvas));
    if (held == nullptr) return false;
    *picture = held->view;
    return true;
}

void X11ReleaseCanvasPicture(int64_t control, bool show, const PictureRect* changed) {
    std::shared_ptr<CanvasState> canvas = HeldCanvases::Take(control);
    if (canvas == nullptr) return;
    // Shown from this thread, and only if the control still exists.
    ShowAtRelease(*canvas, show, changed, [&] { return CanvasOf(control) == canvas; });
    canvas->guard.unlock();
}

void X11ShowDeferredCanvasChanges(int64_t control) {
    if ((!HeldChanges::AnyWaiting() && !flushOwed.load()) || HeldCanvases::Holds(control)) return;
    std::shared_ptr<CanvasState> canvas = CanvasOf(control);
    if (canvas == nullptr) return;
    std::lock_guard<std::mutex> hold(canvas->guard);
    // Nothing more is coming from this canvas now: what it shows is sent
    // at once.
    if (canvas->held.Waiting() && StepInFrame(FrameClock::now()) != FrameStep::WAIT) {
        PictureRect nothing;
        Present(*canvas, &nothing);
        return;
    }
    if (!flushOwed.load()) return;
    std::shared_lock<std::shared_mutex> connection(X11ConnectionLock());
    if (!X11ConnectionClosed() && canvas->display != nullptr)
        FlushFromDrawingThread(canvas->display);
}

bool X11CanvasShown(int64_t control) {
    std::shared_ptr<CanvasState> canvas = CanvasOf(control);
    return canvas == nullptr || canvas->Shown();
}

void X11SetWindowCanvasesHidden(Window top, bool hidden) {
    std::vector<int64_t> shown;
    ControlTable().ForEach([&](int64_t, ControlRecord& record) {
        if (record.type != &CANVAS_CONTROL_TYPE) return;
        Window holder = 0;
        if (FindWindowNumber(record.handle, &holder) < 0 || holder != top) return;
        auto* extra = static_cast<CanvasExtra*>(record.extra.get());
        if (extra == nullptr || extra->state == nullptr) return;
        const bool before = extra->state->Shown();
        extra->state->windowHidden.store(hidden);
        if (!before && extra->state->Shown()) shown.push_back(record.number);
    });
    int64_t window = FindWindowNumber(top, nullptr);
    for (int64_t number : shown) QueueEvent(EVENT_CONTROL, number, window, CANVAS_SHOWN);
}

bool X11CanvasUsesSharedMemory(int64_t control) {
    std::shared_ptr<CanvasState> canvas = CanvasOf(control);
    return canvas != nullptr && canvas->sharedMemory;
}

int64_t X11CanvasPresentCount(int64_t control) {
    std::shared_ptr<CanvasState> canvas = CanvasOf(control);
    return canvas == nullptr ? 0 : canvas->presents.load();
}
