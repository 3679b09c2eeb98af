// The X11 canvas: its picture memory, what reaches the screen (pixel by
// pixel, through the real server), the sunken edge, and the guard between
// the drawing thread and repaints.

// clang-format off
#include <gtest/gtest.h>  // before Xlib, whose None macro gtest also uses
// clang-format on

#include "ui/x11/canvas_x11.h"

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "draw/canvas.h"
#include "tests/x11/x11_test_support.h"
#include "ui/event_queue.h"
#include "ui/message_loop.h"
#include "ui/scaling.h"
#include "ui/x11/dispatch_x11.h"

namespace {

class CanvasX11 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!UiLayerInit()) GTEST_SKIP() << "no X display to test with";
        ASSERT_NE(CreateTopWindow(5000, 30, 30, 1024, 220, "canvas", 0xC80000, nullptr), nullptr);
    }

    // A bordered canvas with its window, shown and settled.
    Window MakeCanvas(int64_t number, int width, int height) {
        int64_t handle = CanvasControl(number, 10, 10, width, height, CANVAS_BORDER);
        EXPECT_NE(handle, 0);
        Settle();
        return static_cast<Window>(handle);
    }

    static void SetPixel(const PixelView& view, int x, int y, uint8_t r, uint8_t g, uint8_t b) {
        uint8_t* p = view.At(x, y);
        p[0] = b;
        p[1] = g;
        p[2] = r;
    }

    // A drawing thread's rounds: round k paints a 4 x 4 square at x = 6k, y = 0
    // in blue, releases just that square, then pauses.
    static void DrawSquaresFromAnotherThread(int64_t control, int rounds,
                                             std::chrono::milliseconds pause) {
        std::thread drawer([=] {
            for (int round = 0; round < rounds; ++round) {
                PixelView view;
                if (!AcquireCanvasPicture(control, &view)) return;
                for (int y = 0; y < 4; ++y)
                    for (int x = 0; x < 4; ++x) SetPixel(view, 6 * round + x, y, 0, 0, 200);
                PictureRect square{6 * round, 0, 6 * round + 4, 4};
                ReleaseCanvasPicture(control, true, &square);
                std::this_thread::sleep_for(pause);
            }
        });
        drawer.join();
    }
};

TEST_F(CanvasX11, NewBorderedCanvasHasAWhitePictureFourPixelsSmaller) {
    MakeCanvas(10, 497, 141);
    PixelView view;
    ASSERT_TRUE(AcquireCanvasPicture(10, &view));
    EXPECT_EQ(view.width, ScaleValue(497, ScaleFactorX()) - 4);
    EXPECT_EQ(view.height, ScaleValue(141, ScaleFactorY()) - 4);
    EXPECT_EQ(view.depth, 24);
    EXPECT_EQ(view.stride, RowStride(view.width, 24));
    bool white = true;
    for (int y = 0; y < view.height; ++y) {
        for (int x = 0; x < view.width; ++x) {
            const uint8_t* p = view.At(x, y);
            white &= p[0] == 0xFF && p[1] == 0xFF && p[2] == 0xFF;
        }
    }
    ReleaseCanvasPicture(10, false);
    EXPECT_TRUE(white);
}

TEST_F(CanvasX11, TinyCanvasStillHasAOneByOnePicture) {
    MakeCanvas(11, 3, 3);
    PixelView view;
    ASSERT_TRUE(AcquireCanvasPicture(11, &view));
    EXPECT_EQ(view.width, 1);
    EXPECT_EQ(view.height, 1);
    ReleaseCanvasPicture(11, false);
}

TEST_F(CanvasX11, ReleaseWithShowPutsThePictureInsideTheSunkenEdge) {
    Window window = MakeCanvas(12, 60, 40);
    PixelView view;
    ASSERT_TRUE(AcquireCanvasPicture(12, &view));
    for (int x = 0; x < view.width; ++x) {
        SetPixel(view, x, 0, 255, 0, 0);                // top row red
        SetPixel(view, x, view.height - 1, 0, 0, 255);  // bottom row blue
    }
    SetPixel(view, 0, 0, 0, 255, 0);  // top-left green
    SetPixel(view, view.width - 1, 5, 1, 2, 3);
    ReleaseCanvasPicture(12, true);
    XSync(TestDisplay(), False);
    EXPECT_EQ(PixelAt(window, 2, 2), 0x00FF00u);
    EXPECT_EQ(PixelAt(window, 12, 2), 0xFF0000u);
    EXPECT_EQ(PixelAt(window, 12, 2 + view.height - 1), 0x0000FFu);
    EXPECT_EQ(PixelAt(window, 2 + view.width - 1, 7), 0x010203u);
    EXPECT_EQ(PixelAt(window, 12, 10), 0xFFFFFFu);
    // EDGE_SUNKEN: shadow and dark shadow at the top left, highlight and
    // light at the bottom right.
    int w = ScaleValue(60, ScaleFactorX()), h = ScaleValue(40, ScaleFactorY());
    EXPECT_EQ(PixelAt(window, 5, 0), 0xA0A0A0u);
    EXPECT_EQ(PixelAt(window, 5, 1), 0x696969u);
    EXPECT_EQ(PixelAt(window, 0, 5), 0xA0A0A0u);
    EXPECT_EQ(PixelAt(window, 5, h - 1), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(window, 5, h - 2), 0xE3E3E3u);
    EXPECT_EQ(PixelAt(window, w - 1, 5), 0xFFFFFFu);
}

TEST_F(CanvasX11, UsesSharedMemoryWhereTheServerOffersIt) {
    MakeCanvas(13, 20, 20);
    if (!X11().shmAvailable) GTEST_SKIP() << "the server has no MIT-SHM";
    EXPECT_TRUE(X11CanvasUsesSharedMemory(13));
}

TEST_F(CanvasX11, PlainImagesServeWhereThereIsNoSharedMemory) {
    bool offered = X11().shmAvailable;
    X11().shmAvailable = false;  // as on a server elsewhere on the network
    Window window = MakeCanvas(18, 20, 20);
    X11().shmAvailable = offered;
    EXPECT_FALSE(X11CanvasUsesSharedMemory(18));
    PixelView view;
    ASSERT_TRUE(AcquireCanvasPicture(18, &view));
    SetPixel(view, 3, 4, 10, 20, 30);
    ReleaseCanvasPicture(18, true);
    XSync(TestDisplay(), False);
    EXPECT_EQ(PixelAt(window, 5, 6), 0x0A141Eu);
    EXPECT_EQ(PixelAt(window, 6, 6), 0xFFFFFFu);
}

TEST_F(CanvasX11, RepaintSkipsWhileTheDrawingThreadHoldsThePicture) {
    Window window = MakeCanvas(14, 40, 30);
    PixelView view;
    ASSERT_TRUE(AcquireCanvasPicture(14, &view));
    SetPixel(view, 0, 0, 0, 0, 0);  // half-drawn: must not show yet
    int64_t before = X11CanvasPresentCount(14);
    XClearArea(TestDisplay(), window, 0, 0, 0, 0, True);
    ASSERT_TRUE(RepeatUntil([] { return FetchPlatformMessage(50) == MESSAGE_PAINT; }));
    EXPECT_EQ(X11CanvasPresentCount(14), before);
    EXPECT_NE(PixelAt(window, 2, 2), 0x000000u);
    ReleaseCanvasPicture(14, true);
    EXPECT_EQ(X11CanvasPresentCount(14), before + 1);
    XSync(TestDisplay(), False);
    EXPECT_EQ(PixelAt(window, 2, 2), 0x000000u);
    // Not held: a repaint presents the picture.
    XClearArea(TestDisplay(), window, 0, 0, 0, 0, True);
    ASSERT_TRUE(RepeatUntil([] { return FetchPlatformMessage(50) == MESSAGE_PAINT; }));
    EXPECT_EQ(X11CanvasPresentCount(14), before + 2);
}

TEST_F(CanvasX11, AnotherThreadPresentsWhileTheMainThreadWaitsForMessages) {
    Window window = MakeCanvas(15, 40, 30);
    std::thread drawer([] {
        for (int round = 0; round < 20; ++round) {
            PixelView view;
            if (!AcquireCanvasPicture(15, &view)) return;
            uint8_t shade = static_cast<uint8_t>(round * 10);
            for (int y = 0; y < view.height; ++y) {
                for (int x = 0; x < view.width; ++x) SetPixel(view, x, y, shade, shade, shade);
            }
            ReleaseCanvasPicture(15, true);
        }
    });
    while (FetchPlatformMessage(30) != 0 || X11CanvasPresentCount(15) < 20) {
    }
    drawer.join();
    XSync(TestDisplay(), False);
    EXPECT_EQ(PixelAt(window, 10, 10), 0xBEBEBEu);  // round 19: 190
}

// Changed parts that a drawing thread releases faster than a screen shows
// pictures are held back and joined to later ones; none is lost: the screen
// ends with every one of them, shown by the message loop when the drawing
// thread does not come back.
TEST_F(CanvasX11, ChangesReleasedBetweenFramesAllReachTheScreen) {
    Window window = MakeCanvas(19, 60, 30);
    ASSERT_NE(StartWindowTimer(5000, 9, 10), 0u);  // the loop wakes within a frame
    DrawSquaresFromAnotherThread(19, 8, std::chrono::milliseconds(2));
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    while (std::chrono::steady_clock::now() < deadline) FetchPlatformMessage(10);
    StartWindowTimer(5000, 9, 0x7FFFFFFF);  // park it
    XSync(TestDisplay(), False);
    for (int round = 0; round < 8; ++round) {
        EXPECT_EQ(PixelAt(window, 2 + 6 * round + 1, 3), 0x0000C8u) << "square " << round;
    }
}

// Changed squares released one right after another, through the shared
// segment while the server has read it and past it while it may not have,
// with now and then the whole picture: the screen ends as the picture, pixel
// for pixel, and the completions that come back do not pile up.
TEST_F(CanvasX11, QuickChangedSquaresEndAsThePictureExactly) {
    Window window = MakeCanvas(21, 60, 40);
    int width = 0, height = 0;
    std::thread drawer([&] {
        for (int round = 0; round < 300; ++round) {
            PixelView view;
            if (!AcquireCanvasPicture(21, &view)) return;
            width = view.width;
            height = view.height;
            const int left = (round * 7) % (view.width - 9), top = (round * 5) % (view.height - 9);
            const auto shade = static_cast<uint8_t>(round);
            for (int y = top; y < top + 9; ++y)
                for (int x = left; x < left + 9; ++x) SetPixel(view, x, y, shade, 255 - shade, x);
            PictureRect square{left, top, left + 9, top + 9};
            ReleaseCanvasPicture(21, true, round % 50 == 20 ? nullptr : &square);
        }
    });
    drawer.join();
    ASSERT_GT(width, 9);
    if (X11().pictureDisplay != nullptr) {
        XSync(X11().pictureDisplay, False);
        EXPECT_LE(XEventsQueued(X11().pictureDisplay, QueuedAlready), 1);
    }
    XImage* screen = XGetImage(TestDisplay(), window, 2, 2, static_cast<unsigned>(width),
                               static_cast<unsigned>(height), AllPlanes, ZPixmap);
    ASSERT_NE(screen, nullptr);
    PixelView view;
    ASSERT_TRUE(AcquireCanvasPicture(21, &view));
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = view.At(x, y);
            const uint32_t wanted = (p[2] << 16) | (p[1] << 8) | p[0];
            if ((XGetPixel(screen, x, y) & 0xFFFFFF) != wanted) ++wrong;
        }
    }
    ReleaseCanvasPicture(21, false);
    XDestroyImage(screen);
    EXPECT_EQ(wrong, 0);
}

// A change held back for the next frame reaches the screen even when the
// timer that would have woken the loop for it rests: the loop wakes for the
// change itself.
TEST_F(CanvasX11, AHeldChangeIsShownWhileTheTimerRests) {
    Window window = MakeCanvas(20, 60, 30);
    ASSERT_NE(StartWindowTimer(5000, 9, 10), 0u);
    // 5 ms: past the frame's start, before the next frame: held back.
    DrawSquaresFromAnotherThread(20, 2, std::chrono::milliseconds(5));
    RestWindowTimer(5000, 9, std::chrono::steady_clock::time_point::max());
    // The loop waits with no time limit, as the program's does, until a
    // message posted well after the change was due.
    std::thread poster([window] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        PostWindowMessage(reinterpret_cast<void*>(static_cast<uintptr_t>(window)),
                          MESSAGE_CAPTURE_DATA, 0, 0);
    });
    while (FetchPlatformMessage(-1) != MESSAGE_CAPTURE_DATA) {
    }
    poster.join();
    XSync(TestDisplay(), False);
    EXPECT_EQ(PixelAt(window, 2 + 6 + 1, 3), 0x0000C8u) << "the second square, held back";
    StartWindowTimer(5000, 9, 0x7FFFFFFF);  // park it
}

TEST_F(CanvasX11, OnlyCanvasesHandOutPictures) {
    MakeCanvas(16, 20, 20);
    ASSERT_NE(CreatePushButton(17, 0, 0, 20, 20, "b", 0), nullptr);
    PixelView view;
    EXPECT_FALSE(AcquireCanvasPicture(17, &view)) << "a button";
    EXPECT_FALSE(AcquireCanvasPicture(123456, &view)) << "no control";
    ASSERT_TRUE(AcquireCanvasPicture(16, &view));
    EXPECT_FALSE(AcquireCanvasPicture(16, &view)) << "the guard is held by this thread already";
    ReleaseCanvasPicture(16, false);
    ReleaseCanvasPicture(16, false);  // releasing what is not held does nothing
    EXPECT_TRUE(AcquireCanvasPicture(16, &view));
    ReleaseCanvasPicture(16, false);
}

TEST_F(CanvasX11, NumberMinusOneGivesAnIdentifierThatNamesTheCanvas) {
    int64_t identifier = CanvasControl(-1, 0, 0, 30, 30, CANVAS_BORDER);
    ASSERT_NE(identifier, 0);
    PixelView view;
    ASSERT_TRUE(AcquireCanvasPicture(identifier, &view));
    EXPECT_EQ(view.width, ScaleValue(30, ScaleFactorX()) - 4);
    ReleaseCanvasPicture(identifier, false);
}

// The application hears of clicks on a canvas as on Windows: EVENT_CONTROL
// with the canvas's number, its window's number and what happened; a wheel
// turn (buttons 4 and 5) is no click, nor is a release alone (its press
// closed a menu) or one made outside the canvas.
TEST_F(CanvasX11, ClicksBecomeTheCanvasesControlEvents) {
    Window canvas = MakeCanvas(5001, 100, 50);
    while (PopQueuedEvent() != 0) {
    }
    struct Step {
        int type;
        unsigned button;
        int x;
    };
    for (Step step : {Step{ButtonRelease, Button1, 5}, Step{ButtonPress, Button4, 5},
                      Step{ButtonPress, Button1, 5}, Step{ButtonRelease, Button1, 500},
                      Step{ButtonPress, Button1, 5}, Step{ButtonRelease, Button1, 5},
                      Step{ButtonRelease, Button3, 5}}) {
        XEvent event = {};
        event.xbutton.type = step.type;
        event.xbutton.button = step.button;
        event.xbutton.x = step.x;
        event.xbutton.y = 5;
        event.xbutton.same_screen = True;
        SendToWindow(canvas, event);
    }
    std::vector<int64_t> seen;
    ASSERT_TRUE(PumpUntil([&] {
        while (int32_t code = PopQueuedEvent()) {
            if (code != EVENT_CONTROL) continue;
            EXPECT_EQ(EventControl(), 5001);
            EXPECT_EQ(EventWindow(), 5000);
            seen.push_back(EventData());
        }
        return seen.size() >= 4;
    }));
    EXPECT_EQ(seen, (std::vector<int64_t>{CANVAS_LEFT_DOWN, CANVAS_LEFT_DOWN, CANVAS_LEFT_UP,
                                          CANVAS_RIGHT_UP}));
}

}  // namespace
