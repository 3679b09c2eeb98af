// The main window as the program builds it, when Windows tells it that its
// DPI changed (WM_DPICHANGED with the rectangle suggested for the new DPI,
// as when the window moves to a monitor of another scale): the window takes
// the rectangle, and its button, font and meters come out as they are built
// at that scale, each meter's picture pixel for pixel on the screen.
#include <gtest/gtest.h>

#include <string>

#include "app/main_window.h"
#include "draw/canvas.h"
#include "meter/meter_table.h"
#include "tests/support/reference_meter.h"
#include "tests/win32/win32_support.h"
#include "ui/scaling.h"

namespace {

// What the screen shows inside the canvas window's edge.
struct ScreenPicture {
    HBITMAP bitmap = nullptr;
    PixelView view;
    ~ScreenPicture() {
        if (bitmap != nullptr) DeleteObject(bitmap);
    }
};

bool ReadScreen(HWND canvas, int width, int height, ScreenPicture* shot) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    shot->bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (shot->bitmap == nullptr) return false;
    HDC window = GetDC(canvas);
    HDC memory = CreateCompatibleDC(window);
    HGDIOBJ old = SelectObject(memory, shot->bitmap);
    BOOL copied = BitBlt(memory, 0, 0, width, height, window, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(canvas, window);
    GdiFlush();
    shot->view = PixelView{static_cast<uint8_t*>(bits), width, height, 24, (3 * width + 3) & ~3};
    return copied != FALSE;
}

RECT Scaled(RECT rect, double scale) {
    return RECT{ScaleValue(rect.left, scale), ScaleValue(rect.top, scale),
                ScaleValue(rect.left, scale) + ScaleValue(rect.right - rect.left, scale),
                ScaleValue(rect.top, scale) + ScaleValue(rect.bottom - rect.top, scale)};
}

void ExpectRect(const RECT& got, const RECT& want, const std::string& what) {
    EXPECT_TRUE(got.left == want.left && got.top == want.top && got.right == want.right &&
                got.bottom == want.bottom)
        << what << ": (" << got.left << ", " << got.top << ")-(" << got.right << ", " << got.bottom
        << "), expected (" << want.left << ", " << want.top << ")-(" << want.right << ", "
        << want.bottom << ")";
}

void ExpectMeter(HWND window, int64_t number, const RECT& unscaled, double scale) {
    const std::string what = "meter " + std::to_string(number);
    HWND canvas = GetDlgItem(window, static_cast<int>(number));
    ASSERT_NE(canvas, nullptr) << what;
    const RECT place = Scaled(unscaled, scale);
    ExpectRect(ChildRect(canvas), place, what);
    const int width = place.right - place.left, height = place.bottom - place.top;
    RefMeter expected(width, 3, height - 4);
    std::string difference;
    PixelView picture;
    ASSERT_TRUE(AcquireCanvasPicture(number, &picture)) << what;
    EXPECT_TRUE(SamePicture(picture, expected.Picture(), &difference))
        << what << ": " << difference;
    ReleaseCanvasPicture(number, false);
    ScreenPicture shot;
    ASSERT_TRUE(ReadScreen(canvas, width - 4, height - 4, &shot)) << what;
    EXPECT_TRUE(SamePicture(shot.view, expected.Picture(), &difference))
        << what << " on the screen: " << difference;
}

TEST(DpiChange, WindowButtonFontAndMetersTakeTheNewScale) {
    ResetLayerState();
    if (ScaleFactorX() != 1.0 || ScaleFactorY() != 1.0) GTEST_SKIP() << "from 96 DPI only";
    CreateMeterTable();
    SetDefaultMeterColours(0, 0x999999, 0x00FF00, 0);
    CreateMainWindow();
    InitMeterSmoothing();
    HWND window = static_cast<HWND>(MainWindowHandle());
    ASSERT_NE(window, nullptr);
    HWND button = GetDlgItem(window, static_cast<int>(DONATION_BUTTON));
    ASSERT_NE(button, nullptr);

    // The test display is 1280 pixels wide, and the program keeps its window
    // on the screen: at 112 DPI the window fits it with its frame (at 120 it
    // would take a smaller scale), so that the screen shows both meters.
    struct Change {
        WORD dpi;
        bool fits;  // false: a rectangle that no system would suggest
        double scale;
    };
    const Change changes[] = {
        {112, true, 112 / 96.0},
        {0, true, 1.0},  // a DPI that states no scale: the bound makes it 96
        {112, false, 112 / 96.0},
        {96, true, 1.0},
    };
    for (const Change& step : changes) {
        SCOPED_TRACE("DPI " + std::to_string(step.dpi) +
                     (step.fits ? "" : ", no fitting rectangle"));
        const double scale = step.scale;
        RECT before;
        GetWindowRect(window, &before);
        RECT suggested = {0, 0, ScaleValue(1024, scale), step.fits ? ScaleValue(220, scale) : 2};
        AdjustWindowRectEx(&suggested, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)),
                           FALSE, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
        // Within the screen: a window kept on it would move in.
        OffsetRect(&suggested, 10 - suggested.left, 50 - suggested.top);
        EXPECT_EQ(SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(step.dpi, step.dpi),
                               reinterpret_cast<LPARAM>(&suggested)),
                  0);
        DrainEvents();

        EXPECT_EQ(ScaleFactorX(), scale);
        RECT frame, client;
        GetWindowRect(window, &frame);
        GetClientRect(window, &client);
        if (step.dpi != 0 && step.fits) {
            ExpectRect(frame, suggested, "window");
        } else {
            // The window keeps its place and takes its own size.
            EXPECT_EQ(frame.left, before.left);
            EXPECT_EQ(frame.top, before.top);
        }
        EXPECT_EQ(client.right, ScaleValue(1024, scale));
        EXPECT_EQ(client.bottom, ScaleValue(220, scale));
        ExpectRect(ChildRect(button), Scaled(RECT{330, 170, 680, 200}, scale), "button");
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0));
        if (scale == 1.0) {
            EXPECT_EQ(font, GetStockObject(DEFAULT_GUI_FONT));
        } else {
            LOGFONTW description{};
            ASSERT_NE(GetObjectW(font, sizeof description, &description), 0);
            EXPECT_STREQ(description.lfFaceName, L"Segoe UI");
            EXPECT_EQ(description.lfHeight, -MulDiv(9, step.dpi, 72));
        }
        ExpectMeter(window, LEFT_METER, RECT{10, 10, 507, 151}, scale);
        ExpectMeter(window, RIGHT_METER, RECT{517, 10, 1014, 151}, scale);
    }
    DestroyWindow(window);
    DrainEvents();
}

}  // namespace
