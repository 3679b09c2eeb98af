// The canvas control on screen: its white backing picture, presentation
// straight from a drawing thread, repaints that never show a half-drawn
// picture and never wait for the drawing thread, and resizing.
#include "draw/canvas.h"

#include <gtest/gtest.h>

#include <atomic>
#include <initializer_list>
#include <thread>

#include "tests/win32/win32_support.h"

namespace {

constexpr int64_t WINDOW = 4301;
constexpr int64_t CANVAS = 31;

class CanvasOnScreen : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLayerState();
        if (ScaleFactorX() != 1.0 || ScaleFactorY() != 1.0) GTEST_SKIP() << "96 DPI only";
        window_ = static_cast<HWND>(
            CreateTopWindow(WINDOW, 20, 20, 620, 240, "canvas", CAPTION_AND_SYSTEM_MENU, nullptr));
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        if (window_) DestroyWindow(window_);
        DrainEvents();
    }
    HWND Canvas(int64_t number, int width, int height, int flags) {
        int64_t result = CanvasControl(number, 10, 10, width, height, flags);
        return reinterpret_cast<HWND>(static_cast<intptr_t>(result));
    }
    HWND window_ = nullptr;
};

// Fills the whole picture with one colour (red, green, blue bytes).
void Fill(const PixelView& picture, uint8_t red, uint8_t green, uint8_t blue) {
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            uint8_t* pixel = picture.At(x, y);
            pixel[0] = blue;
            pixel[1] = green;
            pixel[2] = red;
        }
    }
}

// What the screen shows at client point (x, y) of the canvas window.
COLORREF ScreenPixel(HWND canvas, int x, int y) {
    HDC dc = GetDC(canvas);
    COLORREF pixel = GetPixel(dc, x, y);
    ReleaseDC(canvas, dc);
    return pixel;
}

TEST_F(CanvasOnScreen, NewBorderedCanvasHasAWhitePictureFourPixelsSmaller) {
    HWND canvas = Canvas(CANVAS, 497, 141, CANVAS_BORDER);
    ASSERT_NE(canvas, nullptr);
    RECT frame;
    GetWindowRect(canvas, &frame);
    EXPECT_EQ(frame.right - frame.left, 497);
    EXPECT_EQ(frame.bottom - frame.top, 141);
    EXPECT_TRUE(GetWindowLongPtrW(canvas, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

    PixelView picture;
    ASSERT_TRUE(AcquireCanvasPicture(CANVAS, &picture));
    EXPECT_EQ(picture.width, 493);
    EXPECT_EQ(picture.height, 137);
    EXPECT_EQ(picture.depth, 24);
    EXPECT_EQ(picture.stride, RowStride(493, 24));
    int nonWhite = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* pixel = picture.At(x, y);
            if (pixel[0] != 255 || pixel[1] != 255 || pixel[2] != 255) ++nonWhite;
        }
    }
    ReleaseCanvasPicture(CANVAS, false);
    EXPECT_EQ(nonWhite, 0);

    UpdateWindow(window_);
    UpdateWindow(canvas);
    EXPECT_EQ(ScreenPixel(canvas, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(ScreenPixel(canvas, 492, 136), RGB(255, 255, 255));
}

TEST_F(CanvasOnScreen, TinyCanvasStillHasAOnePixelPicture) {
    ASSERT_NE(Canvas(CANVAS, 3, 3, CANVAS_BORDER), nullptr);
    PixelView picture;
    ASSERT_TRUE(AcquireCanvasPicture(CANVAS, &picture));
    EXPECT_EQ(picture.width, 1);
    EXPECT_EQ(picture.height, 1);
    ReleaseCanvasPicture(CANVAS, false);
}

// One hold at a time, for the holding thread too: a nested hold's release
// could show the picture half drawn.
TEST_F(CanvasOnScreen, TheHoldingThreadGetsNoSecondHold) {
    ASSERT_NE(Canvas(CANVAS, 100, 50, CANVAS_BORDER), nullptr);
    PixelView picture, again;
    int32_t width = 0, height = 0;
    ASSERT_TRUE(AcquireCanvasPicture(CANVAS, &picture));
    EXPECT_FALSE(AcquireCanvasPicture(CANVAS, &again));
    EXPECT_FALSE(CanvasPictureSize(CANVAS, &width, &height));
    ReleaseCanvasPicture(CANVAS, false);
    ASSERT_TRUE(CanvasPictureSize(CANVAS, &width, &height));
    EXPECT_EQ(width, 96);
    EXPECT_EQ(height, 46);
}

TEST_F(CanvasOnScreen, UnknownControlHasNoPicture) {
    PixelView picture;
    EXPECT_FALSE(AcquireCanvasPicture(987, &picture));
    ReleaseCanvasPicture(987, true);  // nothing held: nothing happens
}

TEST_F(CanvasOnScreen, ReleaseWithShowPutsThePictureOnScreenAtOnce) {
    HWND canvas = Canvas(CANVAS, 497, 141, CANVAS_BORDER);
    ASSERT_NE(canvas, nullptr);
    DrainEvents();
    // Drawn and shown from another thread; this thread dispatches nothing
    // until it has read the screen back.
    std::thread drawer([] {
        PixelView picture;
        if (!AcquireCanvasPicture(CANVAS, &picture)) return;
        Fill(picture, 10, 200, 30);
        picture.At(492, 136)[2] = 250;  // bottom-right pixel: red 250
        ReleaseCanvasPicture(CANVAS, true);
    });
    drawer.join();
    EXPECT_EQ(ScreenPixel(canvas, 0, 0), RGB(10, 200, 30));
    EXPECT_EQ(ScreenPixel(canvas, 250, 70), RGB(10, 200, 30));
    EXPECT_EQ(ScreenPixel(canvas, 492, 136), RGB(250, 200, 30));
}

TEST_F(CanvasOnScreen, RepaintNeverWaitsForTheDrawingThreadNorShowsItsHalfPicture) {
    HWND canvas = Canvas(CANVAS, 497, 141, CANVAS_BORDER);
    ASSERT_NE(canvas, nullptr);
    DrainEvents();
    HANDLE holding = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE repainted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> repaintWaited{false};
    std::thread drawer([&] {
        PixelView picture;
        if (!AcquireCanvasPicture(CANVAS, &picture)) {
            SetEvent(holding);
            return;
        }
        Fill(picture, 200, 0, 0);  // half-way: a picture nobody may see
        SetEvent(holding);
        // A repaint that waited for the guard would hold the window's thread
        // here until this wait gives up.
        if (WaitForSingleObject(repainted, 5000) != WAIT_OBJECT_0) repaintWaited = true;
        Fill(picture, 0, 0, 200);  // finished
        ReleaseCanvasPicture(CANVAS, false);
    });
    WaitForSingleObject(holding, 5000);
    RedrawWindow(canvas, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    COLORREF duringDrawing = ScreenPixel(canvas, 100, 50);
    SetEvent(repainted);
    drawer.join();
    CloseHandle(holding);
    CloseHandle(repainted);
    EXPECT_FALSE(repaintWaited.load());
    EXPECT_NE(duringDrawing, RGB(200, 0, 0));
    // The repaint that found the picture busy left the showing to the
    // drawing thread, which showed the finished picture as it let go.
    EXPECT_EQ(ScreenPixel(canvas, 100, 50), RGB(0, 0, 200));
}

// A changed part that a drawing thread releases soon after the last frame
// is held back for the next one; should the drawing thread not come back,
// the window's thread shows it: nothing is lost.
TEST_F(CanvasOnScreen, ChangesReleasedBetweenFramesAllReachTheScreen) {
    HWND canvas = Canvas(CANVAS, 200, 60, 0);
    ASSERT_NE(canvas, nullptr);
    ASSERT_NE(StartWindowTimer(WINDOW, 9, 10), 0u);  // the window's thread wakes within a frame
    DrainEvents();  // the first paint, which would show the whole picture
    Sleep(20);      // no frame has begun for a while
    std::thread drawer([] {
        for (int square = 0; square < 2; ++square) {
            PixelView picture;
            if (!AcquireCanvasPicture(CANVAS, &picture)) return;
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) {
                    uint8_t* pixel = picture.At(6 * square + x, y);
                    pixel[0] = 200;  // blue
                    pixel[1] = pixel[2] = 0;
                }
            PictureRect changed{6 * square, 0, 6 * square + 4, 4};
            ReleaseCanvasPicture(CANVAS, true, &changed);  // starts a frame, then waits for one
            Sleep(6);
        }
    });
    drawer.join();
    EXPECT_EQ(ScreenPixel(canvas, 1, 1), RGB(0, 0, 200)) << "the frame's first square";
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 200) FetchPlatformMessage(10);
    EXPECT_EQ(ScreenPixel(canvas, 7, 1), RGB(0, 0, 200)) << "the square held back";
}

TEST_F(CanvasOnScreen, RepaintShowsThePicture) {
    HWND canvas = Canvas(CANVAS, 200, 100, 0);
    ASSERT_NE(canvas, nullptr);
    PixelView picture;
    ASSERT_TRUE(AcquireCanvasPicture(CANVAS, &picture));
    Fill(picture, 1, 2, 3);
    ReleaseCanvasPicture(CANVAS, false);
    RedrawWindow(canvas, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_EQ(ScreenPixel(canvas, 199, 99), RGB(1, 2, 3));
}

// What the meters' clicks arrive as: the left button's press and release,
// each an EVENT_CONTROL of the canvas. A release alone (a click outside an
// open menu closes the menu with its press) or one outside is no click.
TEST_F(CanvasOnScreen, LeftButtonPressAndReleaseTellTheApplication) {
    HWND canvas = Canvas(CANVAS, 100, 60, CANVAS_BORDER);
    ASSERT_NE(canvas, nullptr);
    DrainEvents();
    ResetEventState();
    auto expectEvents = [](std::initializer_list<int64_t> events) {
        for (int64_t what : events) {
            ASSERT_EQ(PollEvent(), EVENT_CONTROL);
            EXPECT_EQ(EventControl(), CANVAS);
            EXPECT_EQ(EventWindow(), WINDOW);
            EXPECT_EQ(EventData(), what);
        }
        EXPECT_NE(PollEvent(), EVENT_CONTROL);
        EXPECT_EQ(GetCapture(), nullptr);
    };
    SendMessageW(canvas, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    SendMessageW(canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(canvas, WM_LBUTTONUP, 0, MAKELPARAM(500, 5));
    expectEvents({CANVAS_LEFT_DOWN});
    SendMessageW(canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(canvas, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    expectEvents({CANVAS_LEFT_DOWN, CANVAS_LEFT_UP});
}

// An icon's canvases cannot be seen; restored, each tells the application,
// which then draws what it let wait.
TEST_F(CanvasOnScreen, AnIconsCanvasIsNotShownAndTellsWhenItIsAgain) {
    ASSERT_NE(Canvas(CANVAS, 100, 60, CANVAS_BORDER), nullptr);
    ShowWindow(window_, SW_SHOWNORMAL);
    EXPECT_TRUE(CanvasShown(CANVAS));
    ShowWindow(window_, SW_MINIMIZE);
    EXPECT_FALSE(CanvasShown(CANVAS));
    DrainEvents();
    ResetEventState();
    ShowWindow(window_, SW_RESTORE);
    EXPECT_TRUE(CanvasShown(CANVAS));
    bool told = false;
    for (int64_t code = PollEvent(); code != 0; code = PollEvent()) {
        told = told || (code == EVENT_CONTROL && EventControl() == CANVAS &&
                        EventData() == CANVAS_SHOWN && EventWindow() == WINDOW);
    }
    EXPECT_TRUE(told);
}

TEST_F(CanvasOnScreen, ResizeKeepsThePictureAtTheTopLeftAndTellsTheApplication) {
    HWND canvas = Canvas(CANVAS, 100, 60, 0);
    ASSERT_NE(canvas, nullptr);
    DrainEvents();
    ResetEventState();
    PixelView picture;
    ASSERT_TRUE(AcquireCanvasPicture(CANVAS, &picture));
    Fill(picture, 9, 99, 199);
    ReleaseCanvasPicture(CANVAS, false);

    SetWindowPos(canvas, nullptr, 0, 0, 160, 90, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_EQ(PollEvent(), EVENT_CONTROL);
    EXPECT_EQ(EventControl(), CANVAS);
    EXPECT_EQ(EventWindow(), WINDOW);
    EXPECT_EQ(EventData(), 6);

    ASSERT_TRUE(AcquireCanvasPicture(CANVAS, &picture));
    EXPECT_EQ(picture.width, 160);
    EXPECT_EQ(picture.height, 90);
    const uint8_t* kept = picture.At(99, 59);
    const uint8_t* added = picture.At(100, 60);
    EXPECT_EQ(kept[2], 9);
    EXPECT_EQ(kept[1], 99);
    EXPECT_EQ(kept[0], 199);
    EXPECT_EQ(added[0] & added[1] & added[2], 255);
    ReleaseCanvasPicture(CANVAS, false);
}

TEST_F(CanvasOnScreen, DestroyedCanvasGivesNoPictureAndAHeldOneIsReleasedSafely) {
    HWND canvas = Canvas(CANVAS, 100, 60, CANVAS_BORDER);
    ASSERT_NE(canvas, nullptr);
    HANDLE holding = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE destroyed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread drawer([&] {
        PixelView picture;
        bool held = AcquireCanvasPicture(CANVAS, &picture);
        SetEvent(holding);
        if (!held) return;
        // The window's thread destroys the canvas meanwhile; it waits for the
        // guard only as long as the drawing takes.
        Sleep(100);
        Fill(picture, 5, 5, 5);
        ReleaseCanvasPicture(CANVAS, true);
        SetEvent(destroyed);
    });
    WaitForSingleObject(holding, 5000);
    DestroyWindow(canvas);
    drawer.join();
    CloseHandle(holding);
    CloseHandle(destroyed);
    PixelView picture;
    EXPECT_FALSE(AcquireCanvasPicture(CANVAS, &picture));
    EXPECT_TRUE(IsWindow(window_));
}

}  // namespace
