// The message box, the fatal-error path that uses it, the launch command
// line and the OS version code.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "app/startup.h"
#include "system/threads.h"
#include "tests/win32/win32_support.h"
#include "ui/launch.h"
#include "ui/win32/launch_win32.h"

namespace {

// The texts of a message box's static controls, joined.
std::wstring StaticTexts(HWND box) {
    std::wstring texts;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[32];
        GetClassNameW(child, className, 32);
        if (_wcsicmp(className, L"Static") != 0) continue;
        wchar_t text[256];
        if (GetWindowTextW(child, text, 256) > 0) texts += text;
    }
    return texts;
}

void PressOk(HWND box) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BUTTON_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

TEST(ModalBox, KeepsTheProgramsOtherWindowsDisabledAndBelowWhileItIsUp) {
    ResetLayerState();
    HWND other = static_cast<HWND>(
        CreateTopWindow(4501, 10, 10, 200, 80, "other", CAPTION_AND_SYSTEM_MENU, nullptr));
    HWND front = static_cast<HWND>(
        CreateTopWindow(4502, 300, 10, 200, 80, "front", CAPTION_AND_SYSTEM_MENU, nullptr));
    ASSERT_NE(other, nullptr);
    ASSERT_NE(front, nullptr);
    SetWindowPos(other, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetForegroundWindow(front);
    DrainEvents();

    std::atomic<bool> found{false}, otherEnabled{true}, otherTopmost{true};
    std::wstring text;
    std::thread presser([&] {
        for (int i = 0; i < 400; ++i) {
            HWND box = FindWindowW(L"#32770", L"Vellumtone box");
            if (box && IsWindowVisible(box)) {
                found = true;
                text = StaticTexts(box);
                otherEnabled = IsWindowEnabled(other) != FALSE;
                otherTopmost = (GetWindowLongPtrW(other, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
                PressOk(box);
                return;
            }
            Sleep(25);
        }
    });
    int result = ShowMessageBox("Vellumtone box", "Something to say", 0);
    presser.join();

    EXPECT_TRUE(found.load());
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(text, L"Something to say");
    EXPECT_FALSE(otherEnabled.load());
    EXPECT_FALSE(otherTopmost.load());
    EXPECT_TRUE(IsWindowEnabled(other));
    EXPECT_TRUE(IsWindowEnabled(front));
    EXPECT_TRUE(GetWindowLongPtrW(other, GWL_EXSTYLE) & WS_EX_TOPMOST);
    DestroyWindow(other);
    DestroyWindow(front);
    DrainEvents();
}

// Run as a child process: the fatal path ends the process itself.
TEST(FatalPath, ChildShowsTheBoxThenEnds) {
    if (EnvironmentValue("VELLUMTONE_FATAL_CHILD").empty()) GTEST_SKIP() << "child only";
    EnsureUiLayer();
    ThreadLayerInit();
    FatalIfZero(int64_t{0}, "op");
    ADD_FAILURE() << "FatalIfZero returned";
}

TEST(FatalPath, BoxSaysWhatFailedAndTheProgramEndsWithCodeZero) {
    if (!EnvironmentValue("VELLUMTONE_FATAL_CHILD").empty()) GTEST_SKIP() << "in the child";
    std::wstring text;
    bool found = false;
    int64_t exitCode = RunChildTest("FatalPath.ChildShowsTheBoxThenEnds", "VELLUMTONE_FATAL_CHILD",
                                    "1", 60000, [&] {
                                        HWND box = FindWindowW(L"#32770", L"Fatal Error!");
                                        if (box == nullptr || !IsWindowVisible(box)) return true;
                                        found = true;
                                        text = StaticTexts(box);
                                        PressOk(box);
                                        return false;
                                    });
    EXPECT_TRUE(found);
    EXPECT_EQ(text, L"Unable to execute --> op");
    EXPECT_EQ(exitCode, 0);
}

TEST(Launch, TargetIsQuotedOnceAndParametersFollowABlank) {
    EXPECT_EQ(LaunchCommandLine(L"https://example.org/x", L""), L"\"https://example.org/x\"");
    EXPECT_EQ(LaunchCommandLine(L"\"C:\\a b\\p.exe\" -x", L""), L"\"C:\\a b\\p.exe\" -x");
    EXPECT_EQ(LaunchCommandLine(L"C:\\a b\\p.exe", L"-v 2"), L"\"C:\\a b\\p.exe\" -v 2");
}

TEST(Launch, ShellGetsTheTargetsFolderAsWorkingDirectory) {
    EXPECT_EQ(LaunchFolder(L"C:\\data\\file.txt"), L"C:\\data\\");
    EXPECT_EQ(LaunchFolder(L"https://example.org/donate"), L"");
    EXPECT_EQ(LaunchFolder(L"\\file.txt"), L"");
}

// The shell knows no handler for the scheme: the failure comes back at once
// (no dialog: SEE_MASK_FLAG_NO_UI), for the window to say.
TEST(Launch, AnAddressNothingOpensIsAFailure) {
    EXPECT_EQ(OpenAddress("vellumtone-no-such-scheme:page"), 0);
    EXPECT_EQ(RefusedAddressCount(), 0);
}

TEST(OsVersion, KnownNtVersionFromXpOnGivesACodeOfSixtyOrMore) {
    // Wine's prefix presents itself as Windows 7 (80) or later; the program
    // only asks whether the code is 60 or more.
    int code = GetOsVersionCode();
    EXPECT_GE(code, 60);
    EXPECT_NE(code, 200);
}

}  // namespace
