// The headless window layer: no display, windows and controls are records
// only, and "platform messages" are whatever a test posts. It lets the event
// loop and the hand-off run without a window system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/platform_ui.h"
#include "ui/popup_menu.h"

struct NullTimer {
    int64_t window;
    uint64_t id;
    uint32_t intervalMs;
    int rests = 0;  // RestWindowTimer calls; the ticks here are the tests' own
};

// Queues a platform message for the window with this number; the next
// FetchPlatformMessage dispatches it: the thread's message hook first, then
// MESSAGE_TIMER -> EVENT_TIMER (object wParam), MESSAGE_CLOSE ->
// EVENT_CLOSE_WINDOW, MESSAGE_COMMAND -> EVENT_CONTROL (object lParam, data
// = high word of wParam). Other messages queue nothing.
void NullPostMessage(int64_t window, uint32_t message, uint64_t wParam, int64_t lParam);

// May be called from any thread (the capture device posts from its own).
void NullPostMessageFromAnyThread(int64_t window, uint32_t message, uint64_t wParam,
                                  int64_t lParam);

// Waits until every posted message was taken and a fetch without a time
// limit (an event loop's WaitEvent) is sleeping for the next one; false if
// that did not happen within the timeout.
bool NullWaitUntilIdle(int32_t timeoutMs);

std::vector<NullTimer> NullTimers();
std::vector<std::string> NullOpenedAddresses();
// From now on OpenAddress fails (true), handing nothing over, or works again.
void NullFailAddresses(bool fail);
// The handler refuses one address after it was handed over: one more for
// RefusedAddressCount, which never goes back.
void NullRefuseAddress();
// Every text SetWindowStatusText was given since the last reset, oldest first.
std::vector<std::string> NullStatusTexts();
std::vector<std::string> NullMessageBoxes();  // "title|text"
void ResetNullUi();

// A popup menu as ShowPopupMenu was asked to show it.
struct NullShownMenu {
    int64_t window;
    std::vector<PopupMenuItem> items;
    bool atPointer;
};
// Every menu shown since the last reset, oldest first; the last one stays
// open until a choice or NullDismissMenu.
std::vector<NullShownMenu> NullShownMenus();
// Chooses the item with this command in the open menu, as a click would:
// EVENT_MENU is queued on the calling thread and the menu closes. False,
// and nothing queued, when no menu is open or the item is absent, a
// separator or disabled.
bool NullChooseMenuItem(int64_t command);
void NullDismissMenu();

// The windows kept on top (SetWindowOnTop), and the application's handler
// for modal loops (SetModalLoopEventHandler), which this layer never calls.
std::vector<int64_t> NullWindowsOnTop();
AppEventHandler NullModalLoopEventHandler();

// The window number behind a handle that CreateTopWindow returned.
int64_t NullWindowNumber(void* handle);
