// The Wayland window layer's own state, shared by its files. A top-level
// window is one wl_surface with an xdg_toplevel role; its controls (the push
// button, the canvases) are parts of that surface's picture that the layer
// draws itself, since Wayland has no child windows to give them. Everything
// Wayland happens on the main thread: drawing threads only write into a
// canvas's picture and mark what changed, and the main thread copies it into
// the window's picture and presents it when the compositor asks for a frame.
#pragma once

#include <wayland-client.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "draw/canvas.h"
#include "draw/picture_rect.h"
#include "ui/button_control.h"
#include "ui/damage_list.h"
#include "ui/frame_pacing.h"
#include "ui/messages.h"
#include "ui/platform_ui.h"
#include "ui/popup_menu.h"
#include "ui/text_freetype.h"

struct xdg_wm_base;
struct xdg_surface;
struct xdg_toplevel;
struct xdg_popup;
struct zxdg_decoration_manager_v1;
struct zxdg_toplevel_decoration_v1;
struct wp_fractional_scale_manager_v1;
struct wp_fractional_scale_v1;
struct wp_viewporter;
struct wp_viewport;
struct xdg_activation_v1;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;
struct wl_cursor_theme;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

namespace wayland_layer {

// What FetchPlatformMessage reports for a batch of compositor events.
constexpr uint32_t MESSAGE_WAYLAND_OTHER = 0x7F01;
// WM_CONTEXTMENU's lParam for the keyboard.
constexpr int64_t CONTEXT_MENU_FROM_KEYBOARD = -1;

// A picture the compositor reads from: one wl_buffer over shared memory.
struct ShmBuffer {
    wl_buffer* buffer = nullptr;
    uint32_t* pixels = nullptr;
    size_t bytes = 0;
    int width = 0, height = 0;
    bool busy = false;  // attached and not yet released by the compositor
    DamageList stale;   // what changed in the window since this one was filled
};

// The window's pictures: at least two, so that one can be drawn while the
// compositor still reads the other.
struct BufferSet {
    std::vector<std::unique_ptr<ShmBuffer>> buffers;
    ~BufferSet();
    void Drop();
    // A buffer of this size that the compositor does not hold, made when
    // needed (up to three); nullptr when all are held.
    ShmBuffer* Free(int width, int height);
};

// A canvas's picture, shared with the drawing thread that draws into it.
struct CanvasPicture {
    std::mutex guard;  // held while a thread draws into the picture
    std::vector<uint8_t> pixels;
    PixelView view;
    PictureRect changed;  // drawn but not yet copied to the window (under guard)
    std::atomic<bool> waiting{false};
    // Its window's canvasesChanged: shared, since a drawing thread left to
    // the process's end may release the picture after the window is gone.
    std::shared_ptr<std::atomic<bool>> windowChanged;
    // Its window's `hidden`, shared likewise.
    std::shared_ptr<std::atomic<bool>> windowHidden;
};

enum class ControlKind { BUTTON, CANVAS };

struct TopWindow;

struct Control {
    int64_t number = 0;
    ControlKind kind = ControlKind::BUTTON;
    TopWindow* window = nullptr;
    uint32_t style = 0;
    int x = 0, y = 0, width = 0, height = 0;  // in the window's picture, pixels
    int unscaledX = 0, unscaledY = 0, unscaledWidth = 0, unscaledHeight = 0;  // 96-DPI
    bool tabStop = false;
    uint64_t order = 0;    // the order of making: the tab order
    ButtonControl button;  // a button's picture and state
    // Canvas.
    int flags = 0;
    std::shared_ptr<CanvasPicture> canvas;
    bool leftPressed = false;
};

struct TopWindow {
    int64_t number = 0;
    std::string title;
    wl_surface* surface = nullptr;
    xdg_surface* xdgSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    zxdg_toplevel_decoration_v1* decoration = nullptr;
    wp_fractional_scale_v1* fractionalScale = nullptr;
    wp_viewport* viewport = nullptr;
    void* clientDecoration = nullptr;  // the libdecor frame that owns the xdg objects
    wl_callback* frame = nullptr;      // asked for, not yet done
    bool configured = false;           // the first configure was acknowledged
    bool presentedOnce = false;
    MessageHook hook = nullptr;
    ScaleChangeHandler scaleChanged = nullptr;
    int32_t background = -1;                // 0xBBGGRR, -1: the button face
    int clientWidth = 0, clientHeight = 0;  // asked for, 96-DPI pixels (= logical)
    // The size the compositor shows it at: the client size, or less for a
    // window kept on an output too small for it.
    int logicalWidth = 0, logicalHeight = 0;
    bool keepOnScreen = false;
    int width = 0, height = 0;    // the picture, pixels
    std::vector<uint32_t> image;  // the window's picture, 0x00RRGGBB rows
    DamageList damage;            // changed since the last present
    // The buffer scale of the picture, and whether it or the viewport's
    // size changed since the last present: told the compositor in the
    // commit that brings a buffer of the new size, never over the old one.
    int bufferScale = 1;
    bool surfaceChanged = false;
    BufferSet buffers;
    std::vector<wl_output*> outputs;  // the outputs the surface is on
    uint32_t preferredScale120 = 0;   // wp_fractional_scale_v1's, 0 before it says
    bool active = false;
    bool keyboardCues = false;
    int64_t focus = 0;  // the control holding the focus, 0 none
    bool disabled = false;
    bool closed = false;  // a message box's window that has ended
    // The line of status text.
    std::string status;
    TextRoom statusRoom;      // where it goes when it fits (96-DPI pixels)
    TextRoom statusHeadRoom;  // where its first words go when it does not
    std::shared_ptr<std::atomic<bool>> canvasesChanged = std::make_shared<std::atomic<bool>>(false);
    // The compositor has not used the last picture for a while: nobody sees
    // the window (another workspace, minimised, covered), so its canvases
    // need not be drawn. When was the frame callback asked for.
    std::shared_ptr<std::atomic<bool>> hidden = std::make_shared<std::atomic<bool>>(false);
    std::chrono::steady_clock::time_point frameAsked;
};

struct Output {
    wl_output* output = nullptr;
    uint32_t name = 0;
    int32_t scale = 1;
    int32_t width = 0, height = 0;  // the current mode, pixels
    int32_t refreshMilliHz = 0;     // the current mode's, 0 unknown
    zxdg_output_v1* xdgOutput = nullptr;
    int32_t logicalWidth = 0, logicalHeight = 0;  // xdg-output's, 0 unknown
};

struct WaylandState {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    xdg_wm_base* wmBase = nullptr;
    wl_seat* seat = nullptr;
    wl_pointer* pointer = nullptr;
    wl_keyboard* keyboard = nullptr;
    zxdg_decoration_manager_v1* decorationManager = nullptr;
    wp_fractional_scale_manager_v1* fractionalScaleManager = nullptr;
    wp_viewporter* viewporter = nullptr;
    xdg_activation_v1* activation = nullptr;
    zxdg_output_manager_v1* outputManager = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
    xkb_context* xkbContext = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* xkbState = nullptr;
    double scale = 1.0;  // the layer's scale: DPI / 96, what is drawn at
    // The scale the compositor maps the windows' pictures with: the
    // output's. `scale` is smaller only where a window kept on its output
    // would not fit there at this one.
    double surfaceScale = 1.0;
    ControlTextFace font;  // the control font at the layer's scale
    // The serial of the last button or key press: what a popup's grab and an
    // activation token are asked for with.
    uint32_t pressSerial = 0;
    // A held key repeated by the client: its evdev code (0: none) and when
    // it is next due; the compositor's rate (keys a second, 0: off) and
    // delay (ms), with the usual values until it says.
    uint32_t repeatKey = 0;
    std::chrono::steady_clock::time_point repeatDue;
    int32_t repeatRate = 25, repeatDelay = 600;
    // The arrow shown over the program's surfaces.
    wl_cursor_theme* cursorTheme = nullptr;
    wl_surface* cursorSurface = nullptr;
    int cursorScale = 0;  // the theme's scale
    // Where the pointer is: its surface and the point in that surface's
    // picture.
    wl_surface* pointerSurface = nullptr;
    double pointerX = 0, pointerY = 0;
    wl_surface* keyboardSurface = nullptr;
    DisplayLostHandler displayLost = nullptr;
    std::chrono::steady_clock::time_point lastLeftPress;
    int lastLeftX = 0, lastLeftY = 0;
};

WaylandState& Wayland();

// Windows and controls, by number and by the native handle the seam hands
// out (the record's address).
std::map<int64_t, std::unique_ptr<TopWindow>>& Windows();
std::map<int64_t, std::unique_ptr<Control>>& Controls();
// Held while looking up or changing the control table from any thread.
std::mutex& ControlTableLock();
TopWindow* WindowOfSurface(wl_surface* surface);
TopWindow* WindowOfHandle(const void* handle);
TopWindow* ControlTarget();
void SetControlTarget(TopWindow* window);

// Connects and binds the globals; false when no compositor answers or it
// lacks what the layer needs (xdg_wm_base, wl_shm, wl_compositor 4).
bool ConnectCompositor();
void DisconnectCompositor();
// Ends the process the way a lost X display does: one line on stderr, then
// the display-lost handler (or exit code 1). Never returns.
[[noreturn]] void CompositorLost(const char* what);
// Reads and dispatches what the compositor sent, flushing first; waits up
// to timeoutMs for it (-1: until something comes) together with the posted-
// message descriptor. False when the wait ended without compositor events.
bool PumpCompositor(int timeoutMs);
// Sends the requests made so far.
void FlushRequests();

// The window procedure: the hook, then the layer's mapping to events.
int64_t WindowProcedure(TopWindow* window, uint32_t message, uint64_t wParam, int64_t lParam);

// Window pictures (windows_wayland.cpp).
void PaintWindow(TopWindow& window);  // everything, into the window's picture
void PaintControl(Control& control);
void AddDamage(TopWindow& window, const PictureRect& area);
// Copies what drawing threads changed into the windows' pictures and
// presents every window whose picture changed and whose frame is due.
// Returns when to look again (milliseconds, -1 none needed).
int PresentWindows();
// The outputs' scale for the windows is `surfaceScale` (or their size
// changed): every window rebuilt where that or the scale to draw at, which
// fits the windows kept on their output, changed.
void ApplyScale(double surfaceScale);
double WindowScaleFromOutputs(const TopWindow& window);
// The scale for a window on none of the outputs: the largest any has.
double ScaleFromAllOutputs();
void DestroyTopWindow(TopWindow& window);

// Input (input_wayland.cpp).
void BindSeat(wl_registry* registry, uint32_t name, uint32_t version);
void ReleaseInput();
// A held key's repeat: when the next is due (ms, -1: none held), and the
// repeat delivered when it is due.
int MillisecondsUntilKeyRepeat();
bool TakeDueKeyRepeat();

// The cursor (cursor_wayland.cpp): the theme's arrow set for the pointer
// that entered with `serial`; released with the seat.
void ShowArrowCursor(uint32_t serial);
void ReleaseCursor();
void FocusControl(TopWindow& window, int64_t control);
// A button's answer to an input: drawn again, and a click told its window.
void AnswerButton(Control& control, const ButtonAnswer& answer);

// The popup menu (popup_menu_wayland.cpp): whether it takes this surface's
// input, and its handlers.
bool PopupOwnsSurface(wl_surface* surface);
void PopupPointerMotion(double x, double y);
void PopupPointerLeave();
void PopupPointerButton(bool leftOrRight, bool press);
void PopupKey(uint32_t keysym);
bool PopupOpen();
void DismissPopup();

// The message box's window, for its own input: a key pressed; the left
// button pressed, the pointer moved, the left button let go, at (x, y) in
// its picture. False for other windows.
enum class BoxPointer { PRESS, MOVE, RELEASE };
bool MessageBoxKey(TopWindow& window, uint32_t keysym);
bool MessageBoxPointer(TopWindow& window, BoxPointer what, int x, int y);

// The window's picture, to draw controls into.
ControlPicture PictureOf(TopWindow& window);

}  // namespace wayland_layer
