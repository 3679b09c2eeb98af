// Top-level windows, the push button and the message box of the X11 layer,
// checked on the real server: sizes and window manager hints, the
// background colour as pixels, clicks turned into EVENT_CONTROL, the toggle
// look, the modal box, and the layer without a display.

// clang-format off
#include <gtest/gtest.h>  // before Xlib, whose None macro gtest also uses
// clang-format on

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "draw/canvas.h"
#include "tests/x11/x11_test_support.h"
#include "ui/scaling.h"
#include "ui/x11/dispatch_x11.h"

namespace {

class WindowsX11 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!UiLayerInit()) GTEST_SKIP() << "no X display to test with";
        SetMessageHook(nullptr);
    }
};

std::string ReadStringProperty(Window window, Atom property) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty(TestDisplay(), window, property, 0, 1024, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        data != nullptr) {
        value.assign(reinterpret_cast<char*>(data), count);
    }
    if (data != nullptr) XFree(data);
    return value;
}

TEST_F(WindowsX11, FixedSizeCaptionedWindowHasItsScaledClientAreaAndHints) {
    const char* title = "Pegel \xE2\x80\x93 Messger\xC3\xA4t";  // UTF-8, not Latin-1
    Window window = AsWindow(CreateTopWindow(4001, 30, 30, 1024, 220, title, 0xC80000, nullptr));
    ASSERT_NE(window, 0u);
    Settle();
    int width = ScaleValue(1024, ScaleFactorX()), height = ScaleValue(220, ScaleFactorY());
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(TestDisplay(), window, &attributes));
    EXPECT_EQ(attributes.width, width);
    EXPECT_EQ(attributes.height, height);
    EXPECT_EQ(attributes.map_state, IsViewable);

    XSizeHints hints;
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(TestDisplay(), window, &hints, &supplied));
    EXPECT_EQ(hints.flags & (PMinSize | PMaxSize), PMinSize | PMaxSize);
    EXPECT_EQ(hints.min_width, width);
    EXPECT_EQ(hints.max_width, width);
    EXPECT_EQ(hints.min_height, height);
    EXPECT_EQ(hints.max_height, height);

    EXPECT_EQ(ReadStringProperty(window, X11().atoms.netWmName), title);
    EXPECT_EQ(ReadStringProperty(window, XA_WM_NAME), title);

    Atom* protocols = nullptr;
    int count = 0;
    ASSERT_TRUE(XGetWMProtocols(TestDisplay(), window, &protocols, &count));
    bool deleteWindow = false;
    for (int i = 0; i < count; ++i) deleteWindow |= protocols[i] == X11().atoms.wmDeleteWindow;
    XFree(protocols);
    EXPECT_TRUE(deleteWindow);
}

TEST_F(WindowsX11, BackgroundColourIsTheWindowsColourAndMinusOneBringsBackButtonFace) {
    Window window = AsWindow(CreateTopWindow(4002, 30, 30, 120, 60, "bg", 0xC80000, nullptr));
    ASSERT_NE(window, 0u);
    Settle();
    EXPECT_EQ(PixelAt(window, 5, 5), 0xF0F0F0u);
    SetWindowBackground(4002, 15780301);  // red 205, green 201, blue 240
    Settle();
    EXPECT_EQ(PixelAt(window, 5, 5), 0xCDC9F0u);
    // The same colour again repaints nothing.
    SetWindowBackground(4002, 15780301);
    XSync(TestDisplay(), False);
    EXPECT_EQ(FetchPlatformMessage(50), 0);
    SetWindowBackground(4002, -1);
    Settle();
    EXPECT_EQ(PixelAt(window, 5, 5), 0xF0F0F0u);
}

TEST_F(WindowsX11, BackgroundChangeRepaintsThroughTheRepaintEvent) {
    AsWindow(CreateTopWindow(4003, 30, 30, 120, 60, "bg", 0xC80000, nullptr));
    Settle();
    SetWindowBackground(4003, 0x123456);
    bool repainted = false;
    ASSERT_TRUE(PumpUntil([&] {
        while (int32_t code = PopQueuedEvent())
            repainted |= code == EVENT_REPAINT && EventWindow() == 4003;
        return repainted;
    }));
}

class ButtonX11 : public WindowsX11 {
protected:
    void SetUp() override {
        WindowsX11::SetUp();
        if (IsSkipped()) return;
        window = AsWindow(CreateTopWindow(4010, 30, 30, 400, 100, "button", 0xC80000, nullptr));
        // Window number and control number may be the same.
        button = AsWindow(CreatePushButton(4010, 20, 20, 200, 30, "Press", 0x1003));
        ASSERT_NE(window, 0u);
        ASSERT_NE(button, 0u);
        Settle();
    }

    void Press(int x, int y) { SendButton(ButtonPress, x, y); }
    void Release(int x, int y) { SendButton(ButtonRelease, x, y); }
    void SendButton(int type, int x, int y) {
        XEvent event = {};
        event.xbutton.type = type;
        event.xbutton.button = Button1;
        event.xbutton.x = x;
        event.xbutton.y = y;
        event.xbutton.same_screen = True;
        SendToWindow(button, event);
    }
    // The messages reported until `count` came, in order.
    std::vector<int64_t> Messages(size_t count) {
        std::vector<int64_t> messages;
        RepeatUntil([&] {
            if (int64_t message = FetchPlatformMessage(20)) messages.push_back(message);
            return messages.size() >= count;
        });
        return messages;
    }

    Window window = 0;
    Window button = 0;
};

TEST_F(ButtonX11, ClickBecomesControlEventThroughTheCommandMessage) {
    static std::vector<std::pair<uint32_t, int64_t>> hooked;
    hooked.clear();
    SetMessageHook([](void*, uint32_t message, uint64_t wParam, int64_t lParam) -> int64_t {
        if (message == MESSAGE_COMMAND) hooked.emplace_back(static_cast<uint32_t>(wParam), lParam);
        return HOOK_PASS_THROUGH;
    });
    Press(10, 10);
    Release(10, 10);
    std::vector<int64_t> messages = Messages(2);
    SetMessageHook(nullptr);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], 0x0201);  // WM_LBUTTONDOWN
    EXPECT_EQ(messages[1], 0x0202);  // WM_LBUTTONUP
    ASSERT_EQ(hooked.size(), 1u);
    EXPECT_EQ(hooked[0].first, (BUTTON_CLICKED << 16) | 4010u);
    EXPECT_EQ(hooked[0].second, static_cast<int64_t>(button));
    EXPECT_EQ(PopQueuedEvent(), EVENT_CONTROL);
    EXPECT_EQ(EventControl(), 4010);
    EXPECT_EQ(EventWindow(), 4010);
    EXPECT_EQ(EventData(), 0);
    EXPECT_EQ(PopQueuedEvent(), 0);
}

TEST_F(ButtonX11, ReleaseOutsideIsNoClick) {
    Press(10, 10);
    Release(-5, 10);
    Messages(2);
    EXPECT_EQ(PopQueuedEvent(), 0);
}

TEST_F(ButtonX11, FirstClickLatchesThePressedLookSecondReleasesIt) {
    // Raised: white outer top-left edge and a plain face.
    EXPECT_EQ(PixelAt(button, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(button, 4, 4), 0xF0F0F0u);
    Press(10, 10);
    Release(10, 10);
    Messages(2);
    XSync(TestDisplay(), False);
    // Sunken: dark shadow outside, half-tone face.
    EXPECT_EQ(PixelAt(button, 0, 0), 0x696969u);
    EXPECT_EQ(PixelAt(button, 4, 4), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(button, 5, 4), 0xF0F0F0u);
    Press(10, 10);
    Release(10, 10);
    Messages(2);
    XSync(TestDisplay(), False);
    EXPECT_EQ(PixelAt(button, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(button, 4, 4), 0xF0F0F0u);
    int clicks = 0;
    while (int32_t code = PopQueuedEvent()) clicks += code == EVENT_CONTROL;
    EXPECT_EQ(clicks, 1) << "two clicks, coalesced in the queue like any identical events";
}

TEST_F(ButtonX11, MessageBoxIsModalAndReturnsOk) {
    // Another client answers the box: first it asks the main window to
    // close (refused while the box is up), then it closes the box.
    std::thread answer([this] {
        Display* other = XOpenDisplay(nullptr);
        ASSERT_NE(other, nullptr);
        Atom netWmName = XInternAtom(other, "_NET_WM_NAME", False);
        Window box = 0;
        for (int tries = 0; tries < 100 && box == 0; ++tries) {
            Window root, parent, *children = nullptr;
            unsigned count = 0;
            XQueryTree(other, DefaultRootWindow(other), &root, &parent, &children, &count);
            for (unsigned i = 0; i < count; ++i) {
                Atom type;
                int format;
                unsigned long n, after;
                unsigned char* data = nullptr;
                if (XGetWindowProperty(other, children[i], netWmName, 0, 64, False, AnyPropertyType,
                                       &type, &format, &n, &after, &data) == Success &&
                    data != nullptr) {
                    if (std::string(reinterpret_cast<char*>(data), n) == "Box title")
                        box = children[i];
                    XFree(data);
                }
            }
            if (children != nullptr) XFree(children);
            if (box == 0) std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        for (Window target : {window, box}) {
            XEvent event = {};
            event.xclient.type = ClientMessage;
            event.xclient.window = target;
            event.xclient.message_type = XInternAtom(other, "WM_PROTOCOLS", False);
            event.xclient.format = 32;
            event.xclient.data.l[0] =
                static_cast<long>(XInternAtom(other, "WM_DELETE_WINDOW", False));
            if (target != 0) XSendEvent(other, target, False, NoEventMask, &event);
        }
        XSync(other, False);
        XCloseDisplay(other);
    });
    testing::internal::CaptureStderr();
    int result = ShowMessageBox("Box title", "Unable to execute --> op", 0);
    std::string printed = testing::internal::GetCapturedStderr();
    answer.join();
    EXPECT_EQ(result, 1);
    EXPECT_NE(printed.find("Box title"), std::string::npos);
    EXPECT_NE(printed.find("Unable to execute --> op"), std::string::npos);
    while (int32_t code = PopQueuedEvent()) EXPECT_NE(code, EVENT_CLOSE_WINDOW);
    // Afterwards the window takes close requests again.
    SendCloseRequest(window);
    ASSERT_TRUE(RepeatUntil([] { return FetchPlatformMessage(20) == MESSAGE_CLOSE; }));
    EXPECT_EQ(PopQueuedEvent(), EVENT_CLOSE_WINDOW);
}

TEST(WindowsX11WithoutDisplay, EverythingFailsCleanlyAndTheBoxGoesToStderr) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            bool fine =
                !UiLayerInit() &&
                CreateTopWindow(1962, 30, 30, 1024, 220, "t", 0xC80000, nullptr) == nullptr &&
                CreatePushButton(1962, 0, 0, 10, 10, "b", 0x1003) == nullptr &&
                CanvasControl(3, 10, 10, 497, 141, CANVAS_BORDER) == 0 &&
                ShowMessageBox("Fatal Error!", "Unable to execute --> op", 0) == 1 &&
                FetchPlatformMessage(10) == 0 && StartWindowTimer(1962, 2, 1) == 0;
            std::exit(fine ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "Fatal Error!: Unable to execute --> op");
}

}  // namespace
