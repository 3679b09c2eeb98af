// Serving the application's events during the modal loops of Windows (see
// modal_loop_win32.h). Loops nest: a handler called from here may open a
// menu, whose loop then serves its own events. Each level serves only while
// no deeper level is serving it already, so a handler that fetches messages
// itself (and so comes back through a window procedure) is not entered again
// underneath itself.
#include "ui/win32/modal_loop_win32.h"

#include "system/windows_api_win32.h"
#include "ui/event_queue.h"
#include "ui/message_loop.h"
#include "ui/platform_ui.h"
#include "ui/win32/message_loop_win32.h"

namespace {

AppEventHandler handler = nullptr;

// All on the thread that owns the windows.
thread_local int modalDepth = 0;     // modal loops running
thread_local int menuDepth = 0;      // of which menu loops
thread_local int servingDepth = 0;   // handler calls from here under way
thread_local bool declined = false;  // the handler left an event for the application's loop

}  // namespace

void SetModalLoopEventHandler(AppEventHandler eventHandler) {
    handler = eventHandler;
}

void Win32EnterModalLoop(bool menu) {
    ++modalDepth;
    if (menu) ++menuDepth;
}

void Win32ExitModalLoop(bool menu) {
    // A loop whose window went away may never say that it ended: the counts
    // only guard against going below zero.
    if (modalDepth > 0) --modalDepth;
    if (menu && menuDepth > 0) --menuDepth;
    if (modalDepth == 0) declined = false;
}

void Win32ServeModalLoop() {
    if (handler == nullptr || declined || modalDepth <= servingDepth) return;
    // A resting timer wakes on any message, as in the application's loop.
    WakeRestingTimers();
    ++servingDepth;
    while (!declined) {
        int32_t code = PopQueuedEvent();
        if (code == 0) break;
        if (!handler(code)) {
            // The application's loop ends on this event: it waits there,
            // and an open menu closes so that it comes soon.
            ReturnCurrentEvent();
            declined = true;
            if (menuDepth > 0) EndMenu();
        }
    }
    --servingDepth;
    RunMessageLoopTask();
}
