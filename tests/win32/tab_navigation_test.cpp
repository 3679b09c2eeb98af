// Tab and Shift+Tab move the focus through the enabled, visible tab stops of
// the active window, wrapping around at both ends; the Tab key reaches the
// window's accelerators through the message fetch.
#include <gtest/gtest.h>

#include "tests/win32/win32_support.h"
#include "ui/win32/windows_win32.h"

namespace {

constexpr int64_t WINDOW = 4601;

class TabNavigation : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLayerState();
        window_ = static_cast<HWND>(
            CreateTopWindow(WINDOW, 30, 30, 400, 60, "tabs", CAPTION_AND_SYSTEM_MENU, nullptr));
        ASSERT_NE(window_, nullptr);
        for (int i = 0; i < 4; ++i) {
            buttons_[i] = static_cast<HWND>(
                CreatePushButton(11 + i, 10 + 95 * i, 10, 90, 30, "stop", BS_PUSHBUTTON));
            ASSERT_NE(buttons_[i], nullptr);
        }
        EnableWindow(buttons_[2], FALSE);  // not a stop while disabled
        SetForegroundWindow(window_);
        SetActiveWindow(window_);
        DrainEvents();
    }
    void TearDown() override {
        if (window_) DestroyWindow(window_);
        DrainEvents();
    }
    // The Tab key as the keyboard sends it to the focused control.
    void PressTab() {
        HWND focus = GetFocus();
        PostMessageW(focus, WM_KEYDOWN, VK_TAB, 0x000F0001);
        PostMessageW(focus, WM_KEYUP, VK_TAB, 0xC00F0001);
        DrainEvents();
    }
    void Previous() { SendMessageW(window_, WM_COMMAND, MAKEWPARAM(TAB_PREVIOUS_COMMAND, 1), 0); }
    HWND window_ = nullptr;
    HWND buttons_[4] = {};
};

TEST_F(TabNavigation, TabGoesToTheNextStopSkippingDisabledOnesAndWraps) {
    ASSERT_EQ(GetActiveWindow(), window_);
    SetFocus(buttons_[0]);
    PressTab();
    EXPECT_EQ(GetFocus(), buttons_[1]);
    PressTab();
    EXPECT_EQ(GetFocus(), buttons_[3]);
    PressTab();
    EXPECT_EQ(GetFocus(), buttons_[0]);
}

TEST_F(TabNavigation, ShiftTabGoesBackAndWraps) {
    ASSERT_EQ(GetActiveWindow(), window_);
    SetFocus(buttons_[1]);
    Previous();
    EXPECT_EQ(GetFocus(), buttons_[0]);
    Previous();
    EXPECT_EQ(GetFocus(), buttons_[3]);
    Previous();
    EXPECT_EQ(GetFocus(), buttons_[1]);
}

TEST_F(TabNavigation, WithoutFocusInTheWindowTabStartsAtTheFirstStop) {
    ASSERT_EQ(GetActiveWindow(), window_);
    SetFocus(window_);
    SendMessageW(window_, WM_COMMAND, MAKEWPARAM(TAB_NEXT_COMMAND, 1), 0);
    EXPECT_EQ(GetFocus(), buttons_[0]);
    SetFocus(window_);
    Previous();
    EXPECT_EQ(GetFocus(), buttons_[3]);
}

}  // namespace
