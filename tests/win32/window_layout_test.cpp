// The main window's layout as the application builds it: window 1962 with
// button 1962, the client size scaled for the display, the button as a
// push-like toggle whose every click is an EVENT_CONTROL for control 1962.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/win32/win32_support.h"

namespace {

constexpr int64_t MAIN = 1962;
constexpr int64_t BUTTON = 1962;
constexpr uint32_t PUSH_LIKE_TOGGLE = 0x1003;
constexpr int32_t BACKGROUND = 15780301;  // red 205, green 201, blue 240

// The test display is 1280 pixels wide, and the system keeps a captioned
// window within the screen: at 144 DPI the window is let grow beyond it, as a
// real display of that DPI would hold it.
int64_t LetWindowOutgrowTheScreen(void*, uint32_t message, uint64_t, int64_t lParam) {
    if (message != WM_GETMINMAXINFO) return HOOK_PASS_THROUGH;
    MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(static_cast<intptr_t>(lParam));
    info->ptMaxTrackSize.x = info->ptMaxTrackSize.y = 8000;
    return 0;
}

class MainWindowLayout : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLayerState();
        if (!EnvironmentValue("VELLUMTONE_EXPECT_CLIENT").empty()) {
            SetMessageHook(LetWindowOutgrowTheScreen);
        }
        window_ = static_cast<HWND>(
            CreateTopWindow(MAIN, 30, 30, 1024, 220, "layout", CAPTION_AND_SYSTEM_MENU, nullptr));
        ASSERT_NE(window_, nullptr);
        button_ = static_cast<HWND>(CreatePushButton(
            BUTTON, 330, 170, 350, 30, "Please, donate for support Vellumtone", PUSH_LIKE_TOGGLE));
        ASSERT_NE(button_, nullptr);
        SetWindowBackground(MAIN, BACKGROUND);
        SetMessageHook(nullptr);
        CollectEvents(200);
        ResetEventState();
    }
    void TearDown() override {
        if (window_) DestroyWindow(window_);
        DrainEvents();
    }
    HWND window_ = nullptr;
    HWND button_ = nullptr;
};

// Expected client size: 1024 x 220 unless a parent test runs this one at
// another DPI and says what to expect.
void ExpectedClientSize(LONG* width, LONG* height) {
    std::string expected = EnvironmentValue("VELLUMTONE_EXPECT_CLIENT");
    *width = 1024;
    *height = 220;
    if (!expected.empty()) {
        *width = std::atol(expected.c_str());
        *height = std::atol(expected.substr(expected.find('x') + 1).c_str());
    }
}

TEST_F(MainWindowLayout, ClientAreaIsTheRequestedSizeScaledForTheDisplay) {
    LONG width, height;
    ExpectedClientSize(&width, &height);
    RECT client;
    GetClientRect(window_, &client);
    EXPECT_EQ(client.right, width);
    EXPECT_EQ(client.bottom, height);
    EXPECT_EQ(ScaleFactorX() * 1024, width);
    EXPECT_EQ(ScaleFactorY() * 220, height);
}

TEST_F(MainWindowLayout, ButtonSpansItsScaledRectangle) {
    if (ScaleFactorX() != 1.0 || ScaleFactorY() != 1.0) GTEST_SKIP() << "96 DPI only";
    RECT rect = ChildRect(button_);
    EXPECT_EQ(rect.left, 330);
    EXPECT_EQ(rect.top, 170);
    EXPECT_EQ(rect.right, 680);
    EXPECT_EQ(rect.bottom, 200);
}

TEST_F(MainWindowLayout, WindowHasCaptionAndCloseBoxButNoResizing) {
    LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_EQ(style & WS_SYSMENU, WS_SYSMENU);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_TRUE(IsWindowVisible(window_));
    wchar_t className[64];
    GetClassNameW(window_, className, 64);
    EXPECT_STREQ(className, L"WindowClass_1962");
}

TEST_F(MainWindowLayout, BackgroundColourFillsTheClientArea) {
    UpdateWindow(window_);
    HDC dc = GetDC(window_);
    COLORREF pixel = GetPixel(dc, 5, 215 * ScaleFactorY());
    ReleaseDC(window_, dc);
    EXPECT_EQ(pixel, static_cast<COLORREF>(BACKGROUND));
}

// How many pixels of a room of the status line, right of the button (690 to
// 1014) or left of it, are not the background colour.
int StatusLineInk(HWND window, int left = 690, int right = 1014) {
    UpdateWindow(window);
    HDC dc = GetDC(window);
    int ink = 0;
    for (int y = 170; y < 200; ++y) {
        for (int x = left; x < right; ++x) {
            ink += GetPixel(dc, x, y) != static_cast<COLORREF>(BACKGROUND);
        }
    }
    ReleaseDC(window, dc);
    return ink;
}

TEST_F(MainWindowLayout, StatusTextIsDrawnOnTheBackgroundBrokenAcrossTheButtonAndTakenAway) {
    if (ScaleFactorX() != 1.0 || ScaleFactorY() != 1.0) GTEST_SKIP() << "96 DPI only";
    const TextRoom room{690, 170, 324, 30}, headRoom{10, 170, 310, 30};
    EXPECT_EQ(StatusLineInk(window_), 0);
    SetWindowStatusText(MAIN, room, headRoom, "Recording: Line In (Rear Panel)");
    EXPECT_GT(StatusLineInk(window_), 50);
    EXPECT_EQ(StatusLineInk(window_, 10, 320), 0);
    // Too long for the room right of the button: its first words left of it,
    // right-aligned against it; the rest right of it.
    SetWindowStatusText(MAIN, room, headRoom,
                        "Not connected: Line In (Rear Panel) \xE2\x80\x94 recording the default "
                        "input, and more words than one room holds");
    EXPECT_GT(StatusLineInk(window_, 250, 320), 50);
    EXPECT_GT(StatusLineInk(window_), 50);
    SetWindowStatusText(MAIN, room, headRoom, "");
    EXPECT_EQ(StatusLineInk(window_), 0);
    EXPECT_EQ(StatusLineInk(window_, 10, 320), 0);
}

TEST_F(MainWindowLayout, WindowAndControlOfTheSameNumberCoexist) {
    EXPECT_EQ(GetDlgCtrlID(button_), 1962);
    EXPECT_EQ(GetParent(button_), window_);
    // The window number still reaches the window ...
    EXPECT_NE(StartWindowTimer(MAIN, 7, 10), 0u);
    KillTimer(window_, 7);
    // ... and the button's click names the control, inside that window.
    SendMessageW(button_, BM_CLICK, 0, 0);
    ASSERT_EQ(PollEvent(), EVENT_CONTROL);
    EXPECT_EQ(EventControl(), BUTTON);
    EXPECT_EQ(EventWindow(), MAIN);
    EXPECT_EQ(EventData(), BUTTON_CLICKED);
}

TEST_F(MainWindowLayout, ButtonTogglesAndEveryClickIsAControlEvent) {
    EXPECT_EQ(SendMessageW(button_, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    for (LRESULT expected : {BST_CHECKED, BST_UNCHECKED, BST_CHECKED}) {
        SendMessageW(button_, BM_CLICK, 0, 0);
        EXPECT_EQ(SendMessageW(button_, BM_GETCHECK, 0, 0), expected);
        std::vector<SeenEvent> events = CollectEvents(100);
        int clicks = 0;
        for (const SeenEvent& event : events) {
            if (event.code == EVENT_CONTROL && event.object == BUTTON) ++clicks;
        }
        EXPECT_EQ(clicks, 1);
    }
}

TEST_F(MainWindowLayout, ButtonGetsTheControlFont) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(button_, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    if (ScaleFactorX() == 1.0 && ScaleFactorY() == 1.0) {
        EXPECT_EQ(font, GetStockObject(DEFAULT_GUI_FONT));
    } else {
        LOGFONTW description{};
        GetObjectW(font, sizeof description, &description);
        EXPECT_STREQ(description.lfFaceName, L"Segoe UI");
        EXPECT_EQ(description.lfHeight, -MulDiv(9, static_cast<int>(ScaleFactorY() * 96), 72));
    }
}

TEST_F(MainWindowLayout, DestroyedButtonTakesItsQueuedClicksAlong) {
    SendMessageW(button_, BM_CLICK, 0, 0);
    ASSERT_EQ(QueuedEventCount(), 1);
    DestroyWindow(button_);
    button_ = nullptr;
    // Hiding the button repaints the window under it (EVENT_REPAINT), but
    // the click is gone.
    for (int64_t code; (code = PopQueuedEvent()) != 0;) EXPECT_NE(code, EVENT_CONTROL);
}

// Wine reads the display DPI from the registry when a process starts: the
// child process runs the client-size test at 144 DPI.
class RegistryDpi {
public:
    explicit RegistryDpi(DWORD dpi) {
        Save(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0);
        Save(HKEY_LOCAL_MACHINE,
             L"System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts", 1);
        for (Saved& saved : saved_) Write(saved, dpi);
    }
    ~RegistryDpi() {
        for (Saved& saved : saved_) {
            if (saved.existed) {
                Write(saved, saved.value);
            } else if (saved.key) {
                RegDeleteValueW(saved.key, L"LogPixels");
            }
            if (saved.key) RegCloseKey(saved.key);
        }
    }

private:
    struct Saved {
        HKEY key = nullptr;
        bool existed = false;
        DWORD value = 0;
    };
    void Save(HKEY root, const wchar_t* path, int index) {
        Saved& saved = saved_[index];
        if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &saved.key,
                            nullptr) != ERROR_SUCCESS) {
            saved.key = nullptr;
            return;
        }
        DWORD size = sizeof saved.value;
        DWORD type = 0;
        saved.existed =
            RegQueryValueExW(saved.key, L"LogPixels", nullptr, &type,
                             reinterpret_cast<BYTE*>(&saved.value), &size) == ERROR_SUCCESS &&
            type == REG_DWORD;
    }
    static void Write(Saved& saved, DWORD value) {
        if (saved.key) {
            RegSetValueExW(saved.key, L"LogPixels", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&value), sizeof value);
        }
    }
    Saved saved_[2];
};

TEST(DisplayScaling, ClientAreaAt144DpiIs1536By330) {
    if (!EnvironmentValue("VELLUMTONE_EXPECT_CLIENT").empty()) GTEST_SKIP() << "in the child";
    int64_t exitCode;
    {
        RegistryDpi dpi(144);
        exitCode = RunChildTest(
            "MainWindowLayout.ClientAreaIsTheRequestedSizeScaledForTheDisplay:"
            "MainWindowLayout.ButtonGetsTheControlFont",
            "VELLUMTONE_EXPECT_CLIENT", "1536x330", 60000, [] { return false; });
    }
    EXPECT_EQ(exitCode, 0);
}

// Run by the test below at 144 DPI: on the 1280-pixel wide test display the
// 1536-pixel client area would not fit, so the window kept on its screen is
// built again at the largest scale that fits, frame and all, and lies within
// the work area.
int fitRescales = 0;

TEST(ScreenFit, ChildWindowKeptOnTheScreenTakesTheLargestScaleThatFits) {
    if (EnvironmentValue("VELLUMTONE_FIT_CHILD").empty()) GTEST_SKIP() << "child only";
    ResetLayerState();
    HWND window = static_cast<HWND>(
        CreateTopWindow(MAIN, 30, 30, 1024, 220, "fit", CAPTION_AND_SYSTEM_MENU, nullptr));
    ASSERT_NE(window, nullptr);
    SetScaleChangeHandler(MAIN, [](int64_t) { ++fitRescales; });
    KeepWindowOnScreen(MAIN);
    EXPECT_EQ(fitRescales, 1);
    EXPECT_GT(ScaleFactorX(), 1.0);
    EXPECT_LT(ScaleFactorX(), 1.5);
    RECT outer, client;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, static_cast<LONG>(1024 * ScaleFactorX()));
    EXPECT_EQ(client.bottom, static_cast<LONG>(220 * ScaleFactorY()));
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT area = monitor.rcWork;
    EXPECT_GE(outer.left, area.left);
    EXPECT_GE(outer.top, area.top);
    EXPECT_LE(outer.right, area.right);
    EXPECT_LE(outer.bottom, area.bottom);
    // The largest: one more DPI (about 11 pixels across) would not fit.
    EXPECT_LT((area.right - area.left) - (outer.right - outer.left), 16);
    std::printf("kept on a %ld-pixel work area: %ld x %ld at (%ld, %ld), scale %.4f\n",
                area.right - area.left, client.right, client.bottom, outer.left, outer.top,
                ScaleFactorX());
    DestroyWindow(window);
    DrainEvents();
}

TEST(DisplayScaling, AWindowKeptOnAScreenTooSmallForItsScaleFitsIt) {
    if (!EnvironmentValue("VELLUMTONE_FIT_CHILD").empty()) GTEST_SKIP() << "in the child";
    int64_t exitCode;
    {
        RegistryDpi dpi(144);
        exitCode =
            RunChildTest("ScreenFit.*", "VELLUMTONE_FIT_CHILD", "1", 60000, [] { return false; });
    }
    EXPECT_EQ(exitCode, 0);
}

}  // namespace
