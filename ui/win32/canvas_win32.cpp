// The canvas control on Win32: a child window that shows a persistent
// picture held in a 24-bit bottom-up DIB section. Drawing threads write into
// the DIB memory directly; the picture reaches the screen when such a thread
// releases it (a changed part released soon after the last frame waits for
// the next one, see ui/paced_canvas.h), and on WM_PAINT / WM_ERASEBKGND.
//
// Each picture has a guard held by the drawing thread from
// AcquireCanvasPicture to ReleaseCanvasPicture. A repaint only tries the
// guard: if a drawing thread holds it, the repaint leaves the screen as it is
// and marks the picture for presentation, and the drawing thread shows the
// finished picture when it lets go moments later. So the screen never shows
// a half-drawn picture and the window's thread never waits for drawing.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "draw/canvas.h"
#include "draw/held_pictures.h"
#include "draw/picture_rect.h"
#include "system/windows_api_win32.h"
#include "ui/event_queue.h"
#include "ui/message_loop.h"
#include "ui/paced_canvas.h"
#include "ui/win32/accessible_meter_win32.h"
#include "ui/win32/controls_win32.h"
#include "ui/win32/layer_win32.h"
#include "ui/win32/windows_win32.h"

namespace {

constexpr wchar_t CANVAS_CLASS[] = L"VellumtoneCanvas";
constexpr wchar_t CANVAS_PROPERTY[] = L"VellumtoneCanvasState";
constexpr int CANVAS_TYPE_NUMBER = 33;
constexpr int BORDER_ALLOWANCE = 4;  // WS_EX_CLIENTEDGE: 2 pixels on every side

// Named as the standard locks name these, so that std::lock_guard and the
// pacing's templates take it.
class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void lock() { EnterCriticalSection(&section_); }
    bool try_lock() { return TryEnterCriticalSection(&section_) != 0; }
    void unlock() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

struct CanvasState;
void ShowNow(CanvasState& state, const PictureRect* changed);

// What ui/paced_canvas.h asks of a canvas: see there.
struct CanvasState {
    CriticalSection guard;  // held while a thread draws into the picture
    HWND window = nullptr;
    int64_t identifier = 0;
    int flags = 0;
    HCURSOR cursor = nullptr;
    int32_t background = -1;  // -1: white
    // The picture; changed only under the guard.
    HBITMAP bitmap = nullptr;
    // A memory device context that holds the picture selected, made once:
    // showing it then costs one BitBlt, not a context made and freed (which
    // under Wine also makes and frees an X graphics context each time).
    HDC pictureDc = nullptr;
    HGDIOBJ firstSelected = nullptr;  // what pictureDc held before the picture
    uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    bool destroyed = false;
    bool leftPressed = false;  // the left button went down here and the canvas holds the capture
    // A repaint found the guard taken: the holder shows the picture at release.
    std::atomic<bool> presentPending{false};
    // Whether the control has the keyboard focus (asked from drawing threads,
    // where GetFocus knows nothing of this window).
    std::atomic<bool> focused{false};
    // Changes a drawing thread released between two frames.
    HeldChanges held;

    // Every picture goes straight onto the window: a frame's first is never
    // left to the next.
    void Show(const PictureRect* changed, bool /*firstOfFrame*/) { ShowNow(*this, changed); }
    bool OnWindowThread() const {
        return GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
    }
    bool Closed() const { return destroyed || !IsWindow(window); }

    ~CanvasState() {
        if (pictureDc != nullptr) {
            SelectObject(pictureDc, firstSelected);
            DeleteDC(pictureDc);
        }
        if (bitmap != nullptr) DeleteObject(bitmap);
    }
};

std::mutex registryLock;
std::unordered_map<int64_t, std::shared_ptr<CanvasState>>& Registry() {
    static std::unordered_map<int64_t, std::shared_ptr<CanvasState>> canvases;
    return canvases;
}

using HeldCanvases = HeldPictures<CanvasState>;

std::shared_ptr<CanvasState> FindCanvas(int64_t control) {
    std::lock_guard<std::mutex> hold(registryLock);
    auto found = Registry().find(control);
    return found == Registry().end() ? nullptr : found->second;
}

CanvasState* StateOf(HWND window) {
    return static_cast<CanvasState*>(GetPropW(window, CANVAS_PROPERTY));
}

void FillPicture(HDC dc, int width, int height, int32_t background) {
    RECT all = {0, 0, width, height};
    if (background == -1) {
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return;
    }
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(background));
    FillRect(dc, &all, brush);
    DeleteObject(brush);
}

// Makes a new backing bitmap for the window's current size, filled with the
// background, with the old picture copied to its top-left corner. Call with
// the guard held (or before any other thread can know the canvas).
bool RebuildPicture(CanvasState& state) {
    RECT frame;
    if (!GetWindowRect(state.window, &frame)) return false;
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    if (state.flags & CANVAS_BORDER) {
        width -= BORDER_ALLOWANCE;
        height -= BORDER_ALLOWANCE;
    }
    width = std::max(width, 1);
    height = std::max(height, 1);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: rows bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        if (bitmap != nullptr) DeleteObject(bitmap);
        return false;
    }

    if (state.pictureDc == nullptr) {
        state.pictureDc = CreateCompatibleDC(nullptr);
        if (state.pictureDc == nullptr) {
            DeleteObject(bitmap);
            return false;
        }
    }
    HDC target = CreateCompatibleDC(nullptr);
    HGDIOBJ targetOld = SelectObject(target, bitmap);
    FillPicture(target, width, height, state.background);
    if (state.bitmap != nullptr) {
        BitBlt(target, 0, 0, state.width, state.height, state.pictureDc, 0, 0, SRCCOPY);
    }
    SelectObject(target, targetOld);
    DeleteDC(target);
    HGDIOBJ previous = SelectObject(state.pictureDc, bitmap);
    if (state.bitmap != nullptr) {
        DeleteObject(state.bitmap);
    } else {
        state.firstSelected = previous;
    }
    // GDI may batch the fill; other threads read the memory directly.
    GdiFlush();

    DIBSECTION section{};
    GetObjectW(bitmap, sizeof section, &section);
    state.bitmap = bitmap;
    state.bits = static_cast<uint8_t*>(bits);
    state.width = width;
    state.height = height;
    state.stride = static_cast<int>(section.dsBm.bmWidthBytes);
    return true;
}

void BlitPicture(const CanvasState& state, HDC dc) {
    BitBlt(dc, 0, 0, state.width, state.height, state.pictureDc, 0, 0, SRCCOPY);
}

// Puts the picture on `dc` at the client origin. Call with the guard held.
void ShowPicture(const CanvasState& state, HDC dc) {
    RECT client;
    GetClientRect(state.window, &client);
    if (state.bitmap == nullptr) {
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return;
    }
    bool framed = (state.flags & CANVAS_FOCUS_FRAME) && state.focused.load() && client.right > 0 &&
                  client.bottom > 0;
    if (!framed) {
        BlitPicture(state, dc);
        return;
    }
    // Composed off screen so that the frame never flickers over the picture.
    HDC compose = CreateCompatibleDC(dc);
    HBITMAP canvas = CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ old = SelectObject(compose, canvas);
    FillRect(compose, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    BlitPicture(state, compose);
    RECT focus = client;
    InflateRect(&focus, -2, -2);
    DrawFocusRect(compose, &focus);
    BitBlt(dc, 0, 0, client.right, client.bottom, compose, 0, 0, SRCCOPY);
    SelectObject(compose, old);
    DeleteObject(canvas);
    DeleteDC(compose);
}

// Shows only the changed part of the picture, when the picture is shown as
// it is (no focus frame over it). False when the whole must be shown.
bool ShowChangedPart(const CanvasState& state, HDC dc, const PictureRect& changed) {
    if (state.bitmap == nullptr || (state.flags & CANVAS_FOCUS_FRAME)) return false;
    PictureRect area = ClampedToPicture(changed, state.width, state.height);
    if (IsEmptyRect(area)) return true;
    BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, state.pictureDc,
           area.left, area.top, SRCCOPY);
    return true;
}

// Puts the picture on the window at once, through a device context of the
// window: all of it, or the part that changed together with the changes
// held back. Call with the guard held, for a canvas that still exists.
void ShowNow(CanvasState& state, const PictureRect* changed) {
    PictureRect whole{0, 0, state.width, state.height};
    PictureRect area = state.held.TakeWith(changed != nullptr ? *changed : whole);
    // A copy changes none of the context's attributes, so they need no reset
    // when it goes back to the cache: under Wine the reset re-selects the
    // default font and objects, which costs more than the copy itself.
    HDC dc = GetDCEx(state.window, nullptr, DCX_CACHE | DCX_NORESETATTRS);
    if (dc == nullptr) return;
    if (changed == nullptr || !ShowChangedPart(state, dc, area)) ShowPicture(state, dc);
    ReleaseDC(state.window, dc);
}

// The message loop's task: the changes of every canvas left waiting.
int ShowOverdueCanvasChanges() {
    if (!HeldChanges::AnyWaiting()) return -1;
    std::vector<std::shared_ptr<CanvasState>> waiting;
    {
        std::lock_guard<std::mutex> hold(registryLock);
        for (const auto& entry : Registry()) {
            if (entry.second->held.Waiting()) waiting.push_back(entry.second);
        }
    }
    return ShowOverdueChanges(waiting);
}

// Shows the picture unless a drawing thread holds it; that thread shows it
// when it lets go.
void ShowIfFree(CanvasState& state, HDC dc) {
    if (!TakePictureForRepaint(state)) return;
    if (!state.destroyed) {
        // The whole picture: nothing held back is left to show.
        state.held.TakeWith(PictureRect{});
        ShowPicture(state, dc);
    }
    state.guard.unlock();
}

void ShowThroughWindowDc(CanvasState& state) {
    HDC dc = GetDC(state.window);
    if (dc == nullptr) return;
    ShowIfFree(state, dc);
    ReleaseDC(state.window, dc);
}

void QueueCanvasEvent(HWND window, const CanvasState& state, int64_t type) {
    QueueEvent(EVENT_CONTROL, state.identifier, FindWindowNumber(window, nullptr), type);
}

LRESULT CALLBACK CanvasWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // A screen reader's request to a canvas that shows a meter.
    LRESULT answer = 0;
    if (Win32AnswerMeterAccessibility(window, message, wParam, lParam, &answer)) return answer;
    CanvasState* state = StateOf(window);
    if (state == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            if (dc != nullptr) ShowIfFree(*state, dc);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_ERASEBKGND:
            ShowIfFree(*state, reinterpret_cast<HDC>(wParam));
            return 1;
        case WM_SIZE:
            // The one place the window's thread waits for the guard: the
            // bitmap must not change under a drawing thread.
            state->guard.lock();
            if (!state->destroyed) RebuildPicture(*state);
            state->guard.unlock();
            QueueCanvasEvent(window, *state, CANVAS_RESIZE);
            ShowThroughWindowDc(*state);
            return 0;
        case WM_ENABLE:
            if (!wParam) {
                // Being disabled while it holds the cursor clip: free it.
                RECT clip, area;
                GetClipCursor(&clip);
                GetWindowRect(window, &area);
                if (EqualRect(&clip, &area)) ClipCursor(nullptr);
            }
            ShowThroughWindowDc(*state);
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT) {
                SetCursor(state->cursor);
                return TRUE;
            }
            break;
        case WM_MOUSEACTIVATE:
            if (state->flags & CANVAS_KEYBOARD) SetFocus(window);
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            state->focused.store(message == WM_SETFOCUS);
            if (state->flags & CANVAS_FOCUS_FRAME) InvalidateRect(window, nullptr, FALSE);
            QueueCanvasEvent(window, *state,
                             message == WM_SETFOCUS ? CANVAS_FOCUS_IN : CANVAS_FOCUS_OUT);
            return 0;
        // A click is a press and a release both on the canvas. A release
        // alone is none: a click outside an open menu closes the menu with
        // its press, and only the release reaches the window beneath. The
        // capture brings the release here wherever it is made.
        case WM_LBUTTONDOWN:
            state->leftPressed = true;
            SetCapture(window);
            QueueCanvasEvent(window, *state, CANVAS_LEFT_DOWN);
            return 0;
        case WM_LBUTTONUP: {
            const bool pressed = std::exchange(state->leftPressed, false);
            if (GetCapture() == window) ReleaseCapture();
            RECT client;
            const POINT point{static_cast<int16_t>(LOWORD(lParam)),
                              static_cast<int16_t>(HIWORD(lParam))};
            if (pressed && GetClientRect(window, &client) && PtInRect(&client, point)) {
                QueueCanvasEvent(window, *state, CANVAS_LEFT_UP);
            }
            return 0;
        }
        case WM_CAPTURECHANGED:
            state->leftPressed = false;
            return 0;
        case WM_LBUTTONDBLCLK:
            QueueCanvasEvent(window, *state, CANVAS_LEFT_DOUBLE);
            return 0;
        case WM_RBUTTONUP:
            QueueCanvasEvent(window, *state, CANVAS_RIGHT_UP);
            // DefWindowProc turns the click into WM_CONTEXTMENU, which goes
            // on up to the window the canvas is in.
            break;
        case WM_KEYDOWN:
            QueueCanvasEvent(window, *state, CANVAS_KEY_DOWN);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Runs as the control goes away: drawing threads that still hold the state
// find it destroyed and show nothing; the bitmap goes when the last of them
// lets go.
void DestroyCanvas(ControlRecord& control) {
    std::shared_ptr<CanvasState> state;
    {
        std::lock_guard<std::mutex> hold(registryLock);
        auto found = Registry().find(control.identifier);
        if (found == Registry().end()) return;
        state = found->second;
        Registry().erase(found);
    }
    state->guard.lock();
    state->destroyed = true;
    state->bits = nullptr;
    state->guard.unlock();
    RemovePropW(control.handle, CANVAS_PROPERTY);
}

const ControlType CANVAS_TYPE = {CANVAS_TYPE_NUMBER, nullptr, DestroyCanvas};

bool RegisterCanvasClass() {
    static bool registered = false;
    if (registered) return true;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = CanvasWindowProc;
    windowClass.hInstance = Win32Instance();
    windowClass.lpszClassName = CANVAS_CLASS;
    registered =
        RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    if (registered) SetMessageLoopTask(ShowOverdueCanvasChanges);
    return registered;
}

DWORD StyleFor(int flags) {
    DWORD style = WS_CHILD | WS_VISIBLE;
    if (flags & CANVAS_KEYBOARD) style |= WS_TABSTOP | WS_GROUP;
    if (flags & CANVAS_CONTAINER) style |= WS_CLIPCHILDREN;
    return style;
}

}  // namespace

int64_t CanvasControl(int64_t number, int x, int y, int width, int height, int flags) {
    if (!RegisterCanvasClass()) return 0;
    int64_t identifier = number;
    ControlRecord* record = CreateControlRecord(number, &identifier);
    if (record == nullptr) return 0;

    HWND window = CreateWindowExW((flags & CANVAS_BORDER) ? WS_EX_CLIENTEDGE : 0, CANVAS_CLASS, L"",
                                  StyleFor(flags), Win32ScaleX(x), Win32ScaleY(y),
                                  Win32ScaleX(width), Win32ScaleY(height), ControlListTarget(),
                                  reinterpret_cast<HMENU>(static_cast<intptr_t>(-1)),
                                  Win32Instance(), nullptr);
    if (window == nullptr) {
        ReleaseControlRecord(identifier);
        return 0;
    }

    auto state = std::make_shared<CanvasState>();
    state->window = window;
    state->identifier = identifier;
    state->flags = flags;
    state->cursor = Win32ArrowCursor();
    if (!RebuildPicture(*state)) {
        DestroyWindow(window);
        ReleaseControlRecord(identifier);
        return 0;
    }
    SetPropW(window, CANVAS_PROPERTY, state.get());
    {
        std::lock_guard<std::mutex> hold(registryLock);
        Registry()[identifier] = state;
    }
    AttachControl(*record, identifier, window, &CANVAS_TYPE);
    if (flags & CANVAS_CONTAINER) SetControlListTarget(window);
    if (number == -1) return identifier;
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(window));
}

bool CanvasShown(int64_t control) {
    std::shared_ptr<CanvasState> state = FindCanvas(control);
    // IsIconic only reads the window's state: any thread may ask.
    return state == nullptr || state->destroyed || !IsIconic(GetAncestor(state->window, GA_ROOT));
}

void Win32QueueCanvasesShown(HWND top, int64_t windowNumber) {
    std::vector<int64_t> shown;
    {
        std::lock_guard<std::mutex> hold(registryLock);
        for (const auto& [identifier, state] : Registry()) {
            if (!state->destroyed && GetAncestor(state->window, GA_ROOT) == top)
                shown.push_back(identifier);
        }
    }
    for (int64_t identifier : shown)
        QueueEvent(EVENT_CONTROL, identifier, windowNumber, CANVAS_SHOWN);
}

bool AcquireCanvasPicture(int64_t control, PixelView* picture) {
    std::shared_ptr<CanvasState> state = FindCanvas(control);
    if (state == nullptr || picture == nullptr) return false;
    if (HeldCanvases::Hold(control, state) == nullptr) return false;
    if (state->destroyed || state->bits == nullptr) {
        HeldCanvases::Take(control);
        state->guard.unlock();
        return false;
    }
    // Finish this thread's batched GDI work before touching the memory.
    GdiFlush();
    picture->bits = state->bits;
    picture->width = state->width;
    picture->height = state->height;
    picture->depth = 24;
    picture->stride = state->stride;
    return true;
}

void ReleaseCanvasPicture(int64_t control, bool show, const PictureRect* changed) {
    std::shared_ptr<CanvasState> state = HeldCanvases::Take(control);
    if (state == nullptr) return;
    // Straight onto the window, while still holding the picture: no
    // invalidation, no wait for the window's thread to repaint.
    ShowAtRelease(*state, show, changed, [&] { return !state->Closed(); });
    state->guard.unlock();
}

void ShowDeferredCanvasChanges(int64_t control) {
    if (!HeldChanges::AnyWaiting()) return;
    if (HeldCanvases::Holds(control)) return;  // still being drawn
    std::shared_ptr<CanvasState> state = FindCanvas(control);
    if (state == nullptr || !state->held.Waiting()) return;
    if (StepInFrame(FrameClock::now()) == FrameStep::WAIT) return;
    std::lock_guard<CriticalSection> hold(state->guard);
    if (state->held.Waiting() && !state->Closed()) {
        PictureRect nothing;
        ShowNow(*state, &nothing);
    }
}
