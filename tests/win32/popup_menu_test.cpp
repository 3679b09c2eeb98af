// The window's menu under Windows' own machinery: right clicks and the
// keyboard gesture reaching the window through WM_CONTEXTMENU, the native
// popup menu and its choice, the application's events served during modal
// loops, and the window kept on top.
#include "ui/popup_menu.h"

#include <gtest/gtest.h>

#include "draw/canvas.h"
#include "tests/win32/win32_support.h"

namespace {

constexpr int64_t WINDOW = 4301;
constexpr int64_t CANVAS = 4302;
constexpr UINT_PTR TICK_TIMER = 5;
constexpr int WAIT_MS = 3000;

class PopupMenuWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLayerState();
        window_ = static_cast<HWND>(
            CreateTopWindow(WINDOW, 40, 40, 300, 160, "menu", CAPTION_AND_SYSTEM_MENU, nullptr));
        ASSERT_NE(window_, nullptr);
        DrainEvents();
        ResetEventState();
    }
    void TearDown() override {
        SetModalLoopEventHandler(nullptr);
        if (window_) DestroyWindow(window_);
        DrainEvents();
    }
    HWND window_ = nullptr;
};

std::vector<SeenEvent> QueuedEvents() {
    std::vector<SeenEvent> seen;
    while (int32_t code = PopQueuedEvent()) {
        seen.push_back(SeenEvent{code, EventControl(), EventWindow(), EventData()});
    }
    return seen;
}

size_t CountRightClicks(const std::vector<SeenEvent>& seen, int64_t data) {
    size_t count = 0;
    for (const SeenEvent& event : seen) {
        count += event.code == EVENT_RIGHT_CLICK && event.window == WINDOW && event.data == data;
    }
    return count;
}

void PressKey(BYTE key) {
    keybd_event(key, 0, 0, 0);
    keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
}

void RightClickAt(LONG x, LONG y) {
    SetCursorPos(x, y);
    mouse_event(MOUSEEVENTF_RIGHTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
}

// Real input, through the system's input queue to the foreground window.
TEST_F(PopupMenuWin32, RightClicksAndTheKeyboardGestureReachTheWindowOnce) {
    ASSERT_NE(CanvasControl(CANVAS, 10, 10, 100, 60, 0), 0);
    HWND canvas = FindWindowExW(window_, nullptr, L"VellumtoneCanvas", nullptr);
    ASSERT_NE(canvas, nullptr);
    SetForegroundWindow(window_);
    if (GetForegroundWindow() != window_) GTEST_SKIP() << "the window could not come to the front";
    DrainEvents();
    ResetEventState();
    RECT area;
    GetWindowRect(canvas, &area);

    // On the canvas: its own event, then WM_CONTEXTMENU passed up.
    RightClickAt((area.left + area.right) / 2, (area.top + area.bottom) / 2);
    EXPECT_EQ(CountRightClicks(CollectEvents(500), 0), 1u);
    // On the window itself: WM_RBUTTONUP alone, no second event.
    RightClickAt(area.right + 60, area.bottom + 30);
    EXPECT_EQ(CountRightClicks(CollectEvents(500), 0), 1u);
    // Shift+F10, then the Menu key: WM_CONTEXTMENU at (-1, -1).
    keybd_event(VK_SHIFT, 0, 0, 0);
    PressKey(VK_F10);
    keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    EXPECT_EQ(CountRightClicks(CollectEvents(500), 1), 1u);
    PressKey(VK_APPS);
    EXPECT_EQ(CountRightClicks(CollectEvents(500), 1), 1u);
    // A point outside the client area is DefWindowProc's (on the caption
    // it opens the system menu); here it lies above the window.
    RECT frame;
    GetWindowRect(window_, &frame);
    SendMessageW(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_),
                 MAKELPARAM(frame.left + 2, frame.top - 20));
    EXPECT_TRUE(QueuedEvents().empty());
}

// Keys for the menu, given from inside its modal loop: a timer procedure
// runs there, and finds the menu window once it is shown.
std::vector<WPARAM> menuKeys;
VOID CALLBACK DriveMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND menu = FindWindowW(L"#32768", nullptr);
    if (menu == nullptr || !IsWindowVisible(menu)) return;
    KillTimer(nullptr, timer);
    for (WPARAM key : menuKeys) {
        PostMessageW(menu, WM_KEYDOWN, key, 0);
        PostMessageW(menu, WM_KEYUP, key, 0xC0000000);
    }
}

int served = 0;
bool CountTicks(int64_t code) {
    if (code == EVENT_CLOSE_WINDOW) return false;
    if (code == EVENT_TIMER && EventTimerId() == static_cast<int64_t>(TICK_TIMER)) ++served;
    return true;
}

TEST_F(PopupMenuWin32, AChosenItemComesAsMenuEventAndTicksAreServedMeanwhile) {
    served = 0;
    SetModalLoopEventHandler(CountTicks);
    ASSERT_NE(StartWindowTimer(WINDOW, TICK_TIMER, 10), 0u);
    std::vector<PopupMenuItem> items = {{10, "First", false, true},
                                        {0, "", false, true},
                                        {11, "Second & more", true, true},
                                        {12, "Absent", false, false}};
    // Down, Down skips the separator; Enter chooses the second item.
    menuKeys = {VK_DOWN, VK_DOWN, VK_RETURN};
    UINT_PTR driver = SetTimer(nullptr, 0, 200, DriveMenu);
    ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(ShowPopupMenu(WINDOW, items, false));
    ULONGLONG open = GetTickCount64() - start;
    KillTimer(nullptr, driver);
    KillTimer(window_, TICK_TIMER);
    // The menu was open for at least the driver's 200 ms: ticks of 10 ms
    // reached the application meanwhile.
    EXPECT_GE(open, 150u);
    EXPECT_GT(served, 2) << "menu open for " << open << " ms";
    ASSERT_TRUE(WaitForEvent(EVENT_MENU, WAIT_MS));
    EXPECT_EQ(EventControl(), 11);
    EXPECT_EQ(EventWindow(), WINDOW);
}

TEST_F(PopupMenuWin32, ADismissedMenuGivesNoEventAndBadItemsNoMenu) {
    menuKeys = {VK_ESCAPE};
    UINT_PTR driver = SetTimer(nullptr, 0, 50, DriveMenu);
    EXPECT_TRUE(ShowPopupMenu(WINDOW, {{10, "Only", false, true}}, true));
    KillTimer(nullptr, driver);
    for (const SeenEvent& event : CollectEvents(300)) EXPECT_NE(event.code, EVENT_MENU);

    EXPECT_FALSE(ShowPopupMenu(WINDOW, {}, true));
    EXPECT_FALSE(ShowPopupMenu(WINDOW, {{0x10000, "Too high", false, true}}, true));
    EXPECT_FALSE(ShowPopupMenu(987654, {{10, "No window", false, true}}, true));
}

VOID CALLBACK EndMove(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    PressKey(VK_RETURN);
}

TEST_F(PopupMenuWin32, AMoveLoopServesEventsAndLeavesTheCloseRequestQueued) {
    served = 0;
    SetModalLoopEventHandler(CountTicks);
    ASSERT_NE(StartWindowTimer(WINDOW, TICK_TIMER, 10), 0u);
    SetForegroundWindow(window_);
    // A move from the keyboard (the system menu's Move) runs until Enter.
    UINT_PTR ender = SetTimer(nullptr, 0, 200, EndMove);
    SendMessageW(window_, WM_SYSCOMMAND, SC_MOVE, 0);
    KillTimer(nullptr, ender);
    KillTimer(window_, TICK_TIMER);
    EXPECT_GT(served, 2);
    DrainEvents();
    ResetEventState();

    served = 0;
    SendMessageW(window_, WM_ENTERSIZEMOVE, 0, 0);
    SendMessageW(window_, WM_TIMER, TICK_TIMER, 0);
    EXPECT_EQ(served, 1);
    SendMessageW(window_, WM_CLOSE, 0, 0);
    SendMessageW(window_, WM_TIMER, TICK_TIMER, 0);
    // The close request waits for the application's loop, and nothing is
    // served behind it.
    EXPECT_EQ(served, 1);
    SendMessageW(window_, WM_EXITSIZEMOVE, 0, 0);
    SendMessageW(window_, WM_TIMER, TICK_TIMER, 0);
    EXPECT_EQ(served, 1);
    std::vector<SeenEvent> seen = QueuedEvents();
    ASSERT_GE(seen.size(), 1u);
    EXPECT_EQ(seen[0].code, EVENT_CLOSE_WINDOW);
    EXPECT_EQ(seen[0].window, WINDOW);
}

TEST_F(PopupMenuWin32, OnTopSetsAndClearsTopmost) {
    SetWindowOnTop(WINDOW, true);
    EXPECT_TRUE(GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST);
    SetWindowOnTop(WINDOW, false);
    EXPECT_FALSE(GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST);
    SetWindowOnTop(987654, true);  // unknown: nothing
}

}  // namespace
