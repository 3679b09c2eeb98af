// The window's menu on X11: the right click and keyboard gestures, the
// layer's own popup menu (keyboard choice, ways out without a choice, its
// grabs, its place on the screen) and, under a real EWMH window manager,
// the window kept on top.

// clang-format off
#include <gtest/gtest.h>  // before Xlib, whose None macro gtest also uses
// clang-format on

#include "ui/x11/popup_menu_x11.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <vector>

#include "tests/x11/x11_test_support.h"
#include "ui/popup_menu.h"

extern char** environ;

namespace {

constexpr uint32_t CAPTION_AND_SYSTEM_MENU = 0xC80000;

const std::vector<PopupMenuItem> ITEMS = {{10, "Absent input", false, false},
                                          {0, "", false, true},
                                          {11, "Line in", true, true},
                                          {12, "Microphone", false, true},
                                          {13, "Always on top", false, true}};

Window MakeWindow(int64_t number) {
    void* handle =
        CreateTopWindow(number, 40, 40, 240, 120, "menu test", CAPTION_AND_SYSTEM_MENU, nullptr);
    EXPECT_NE(handle, nullptr);
    Settle();
    return AsWindow(handle);
}

XEvent KeyEvent(int type, KeySym symbol, unsigned state = 0) {
    XEvent event = {};
    event.xkey.type = type;
    event.xkey.root = X11().root;
    event.xkey.keycode = XKeysymToKeycode(TestDisplay(), symbol);
    event.xkey.state = state;
    event.xkey.same_screen = True;
    return event;
}

XEvent ButtonEvent(int type, unsigned button, int x, int y) {
    XEvent event = {};
    event.xbutton.type = type;
    event.xbutton.root = X11().root;
    event.xbutton.button = button;
    event.xbutton.x = x;
    event.xbutton.y = y;
    event.xbutton.same_screen = True;
    return event;
}

void SendKey(Window window, KeySym symbol) {
    SendToWindow(window, KeyEvent(KeyPress, symbol), KeyPressMask);
}

// Pops every queued event; the codes with their object, window and data.
struct Seen {
    int32_t code;
    int64_t object, window, data;
};
std::vector<Seen> TakeQueued() {
    std::vector<Seen> seen;
    while (int32_t code = PopQueuedEvent()) {
        seen.push_back(Seen{code, EventControl(), EventWindow(), EventData()});
    }
    return seen;
}

// True when nobody holds the pointer or the keyboard: another client can
// take both at once.
bool GrabsFree() {
    Display* other = XOpenDisplay(DisplayString(TestDisplay()));
    if (other == nullptr) return false;
    Window root = DefaultRootWindow(other);
    bool pointer = XGrabPointer(other, root, False, ButtonPressMask, GrabModeAsync, GrabModeAsync,
                                None, None, CurrentTime) == GrabSuccess;
    bool keyboard =
        XGrabKeyboard(other, root, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    XCloseDisplay(other);
    return pointer && keyboard;
}

class PopupMenuX11 : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_DISPLAY(); }
    void TearDown() override {
        X11DismissPopupMenu(0);
        Settle();
    }
};

TEST_F(PopupMenuX11, RightClicksAndTheKeyboardGestureGiveOneRightClickEach) {
    constexpr int64_t NUMBER = 3301;
    Window window = MakeWindow(NUMBER);
    Window button = AsWindow(CreatePushButton(3302, 10, 10, 100, 30, "Button", 0));
    ASSERT_NE(button, 0u);
    Settle();

    SendToWindow(button, ButtonEvent(ButtonRelease, Button3, 5, 5), ButtonReleaseMask);
    SendToWindow(window, ButtonEvent(ButtonRelease, Button3, 150, 80), ButtonReleaseMask);
    SendToWindow(window, KeyEvent(KeyPress, XK_F10, ShiftMask), KeyPressMask);
    if (XKeysymToKeycode(TestDisplay(), XK_Menu) != 0) {
        SendToWindow(window, KeyEvent(KeyRelease, XK_Menu), KeyReleaseMask);
    }
    XSync(TestDisplay(), False);
    std::vector<Seen> clicks;
    PumpUntil(
        [&] {
            for (const Seen& seen : TakeQueued()) {
                if (seen.code == EVENT_RIGHT_CLICK) clicks.push_back(seen);
            }
            return clicks.size() >= 4;
        },
        1000);
    size_t keyboard = XKeysymToKeycode(TestDisplay(), XK_Menu) != 0 ? 2 : 1;
    ASSERT_EQ(clicks.size(), 2 + keyboard);
    for (size_t i = 0; i < clicks.size(); ++i) {
        EXPECT_EQ(clicks[i].object, 0);
        EXPECT_EQ(clicks[i].window, NUMBER);
        EXPECT_EQ(clicks[i].data, i < 2 ? 0 : 1) << "right click " << i;
    }
}

TEST_F(PopupMenuX11, DownSkipsWhatCannotBeChosenAndEnterChooses) {
    constexpr int64_t NUMBER = 3311;
    MakeWindow(NUMBER);
    ASSERT_TRUE(ShowPopupMenu(NUMBER, ITEMS, false));
    Window menu = X11PopupMenuWindow();
    ASSERT_NE(menu, 0u);
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(TestDisplay(), menu, &attributes));
    EXPECT_EQ(attributes.map_state, IsViewable);
    EXPECT_TRUE(attributes.override_redirect);

    // The first Down passes the disabled item and the separator.
    SendKey(menu, XK_Down);
    SendKey(menu, XK_Down);
    SendKey(menu, XK_Up);
    SendKey(menu, XK_End);
    SendKey(menu, XK_Home);
    SendKey(menu, XK_Down);
    SendKey(menu, XK_Return);
    std::vector<Seen> chosen;
    ASSERT_TRUE(PumpUntil([&] {
        for (const Seen& seen : TakeQueued()) {
            if (seen.code == EVENT_MENU) chosen.push_back(seen);
        }
        return !chosen.empty();
    }));
    EXPECT_EQ(chosen[0].object, 12);
    EXPECT_EQ(chosen[0].window, NUMBER);
    EXPECT_EQ(X11PopupMenuWindow(), 0u);
    EXPECT_TRUE(GrabsFree());
}

TEST_F(PopupMenuX11, EscapeAPressOutsideAndLostFocusCloseWithoutAChoiceAndLetTheGrabsGo) {
    constexpr int64_t NUMBER = 3321;
    Window window = MakeWindow(NUMBER);
    EXPECT_FALSE(ShowPopupMenu(NUMBER, {}, true));
    EXPECT_FALSE(ShowPopupMenu(NUMBER, {{-1, "Negative", false, true}}, true));
    EXPECT_FALSE(ShowPopupMenu(987654, ITEMS, true));

    ASSERT_TRUE(ShowPopupMenu(NUMBER, ITEMS, true));
    EXPECT_FALSE(GrabsFree());
    SendKey(X11PopupMenuWindow(), XK_Escape);
    ASSERT_TRUE(PumpUntil([] { return X11PopupMenuWindow() == 0; }));

    ASSERT_TRUE(ShowPopupMenu(NUMBER, ITEMS, true));
    Window menu = X11PopupMenuWindow();
    SendToWindow(menu, ButtonEvent(ButtonPress, Button1, -10, -10), ButtonPressMask);
    ASSERT_TRUE(PumpUntil([] { return X11PopupMenuWindow() == 0; }));

    // The owner losing the focus while the keyboard is grabbed, as when
    // another client moves the focus.
    XSetInputFocus(TestDisplay(), window, RevertToParent, CurrentTime);
    Settle();
    ASSERT_TRUE(ShowPopupMenu(NUMBER, ITEMS, true));
    Display* other = XOpenDisplay(DisplayString(TestDisplay()));
    ASSERT_NE(other, nullptr);
    XSetInputFocus(other, DefaultRootWindow(other), RevertToParent, CurrentTime);
    XCloseDisplay(other);
    ASSERT_TRUE(PumpUntil([] { return X11PopupMenuWindow() == 0; }));

    Settle();
    EXPECT_TRUE(GrabsFree());
    for (const Seen& seen : TakeQueued()) EXPECT_NE(seen.code, EVENT_MENU);
}

TEST_F(PopupMenuX11, AMenuOpenedAtTheScreensCornerLiesOnTheScreen) {
    constexpr int64_t NUMBER = 3331;
    MakeWindow(NUMBER);
    Display* display = TestDisplay();
    int screenWidth = DisplayWidth(display, X11().screen);
    int screenHeight = DisplayHeight(display, X11().screen);
    XWarpPointer(display, None, X11().root, 0, 0, 0, 0, screenWidth - 2, screenHeight - 2);
    XSync(display, False);
    ASSERT_TRUE(ShowPopupMenu(NUMBER, ITEMS, true));
    Window menu = X11PopupMenuWindow();
    ASSERT_NE(menu, 0u);
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(display, menu, &attributes));
    EXPECT_GE(attributes.x, 0);
    EXPECT_GE(attributes.y, 0);
    EXPECT_LE(attributes.x + attributes.width, screenWidth);
    EXPECT_LE(attributes.y + attributes.height, screenHeight);
    // Beside the corner, not somewhere else.
    EXPECT_EQ(attributes.x + attributes.width, screenWidth);
    EXPECT_EQ(attributes.y + attributes.height, screenHeight);
}

// The window manager runs on the display only for these cases (ctest runs
// them on a display of their own).
class WithWindowManager : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_DISPLAY(); }
    void TearDown() override {
        if (manager_ == 0) return;
        kill(manager_, SIGTERM);
        int status = 0;
        bool ended = RepeatUntil([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return waitpid(manager_, &status, WNOHANG) == manager_;
        });
        if (!ended) {
            kill(manager_, SIGKILL);
            waitpid(manager_, &status, 0);
        }
        Settle();
    }

    // Starts openbox; false if it cannot be started. A window mapped while
    // it starts up may go unmanaged, so a test maps its first window before:
    // openbox takes on every mapped window as it starts.
    bool StartWindowManager() {
        char program[] = "openbox";
        char* arguments[] = {program, nullptr};
        if (posix_spawnp(&manager_, program, nullptr, nullptr, arguments, environ) != 0) {
            manager_ = 0;
            return false;
        }
        return true;
    }

    static bool HasProperty(Window window, Atom property) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(TestDisplay(), window, property, 0, 1, False, AnyPropertyType, &type,
                           &format, &count, &after, &data);
        if (data != nullptr) XFree(data);
        return type != 0;
    }

    static bool StateHasAbove(Window window) {
        Atom above = XInternAtom(TestDisplay(), "_NET_WM_STATE_ABOVE", False);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(TestDisplay(), window, X11().atoms.netWmState, 0, 64, False, XA_ATOM,
                           &type, &format, &count, &after, &data);
        bool found = false;
        if (data != nullptr) {
            auto* atoms = reinterpret_cast<unsigned long*>(data);
            found = std::find(atoms, atoms + count, above) != atoms + count;
            XFree(data);
        }
        return found;
    }

    // Dispatches while waiting, as the program's loop would.
    static bool WaitFor(const std::function<bool()>& done) {
        return PumpUntil([&] { return done(); }, 5000);
    }

    pid_t manager_ = 0;
};

TEST_F(WithWindowManager, OnTopIsTheWindowManagersAboveState) {
    Window managed = MakeWindow(3341);
    if (!StartWindowManager()) GTEST_SKIP() << "openbox could not be started (is it installed?)";
    if (!PumpUntil([&] { return HasProperty(managed, X11().atoms.wmState); }, 10000)) {
        GTEST_SKIP() << "openbox did not manage the window within 10 s";
    }
    SetWindowOnTop(3341, true);
    EXPECT_TRUE(WaitFor([&] { return StateHasAbove(managed); }));
    SetWindowOnTop(3341, false);
    EXPECT_TRUE(WaitFor([&] { return !StateHasAbove(managed); }));

    // Asked for before the window manager has taken the window on.
    void* handle =
        CreateTopWindow(3342, 80, 80, 200, 100, "early", CAPTION_AND_SYSTEM_MENU, nullptr);
    ASSERT_NE(handle, nullptr);
    SetWindowOnTop(3342, true);
    EXPECT_TRUE(WaitFor([&] { return StateHasAbove(AsWindow(handle)); }));
}

}  // namespace
