// The per-thread queue of high-level events. Platform window procedures queue
// events; FetchEvent hands out queued events first and otherwise one
// platform message.
#pragma once

#include <cstdint>

constexpr int32_t EVENT_CONTROL = 13100;
constexpr int32_t EVENT_MENU = 13101;
constexpr int32_t EVENT_TRAY = 13102;
constexpr int32_t EVENT_ACTIVATE = 13104;
constexpr int32_t EVENT_MINIMIZE = 13107;
constexpr int32_t EVENT_MAXIMIZE = 13108;
constexpr int32_t EVENT_RESTORE = 13109;
constexpr int32_t EVENT_TIMER = 13110;
constexpr int32_t EVENT_RIGHT_CLICK = 13111;
constexpr int32_t EVENT_LEFT_CLICK = 13112;
constexpr int32_t EVENT_LEFT_DOUBLE_CLICK = 13113;
constexpr int32_t EVENT_DEACTIVATE = 13114;
constexpr int32_t EVENT_REPAINT = 13115;
constexpr int32_t EVENT_CLOSE_WINDOW = 13116;
constexpr int32_t EVENT_MOVE_WINDOW = 13117;
constexpr int32_t EVENT_SIZE_WINDOW = 13118;
// A letter key pressed without Shift, Ctrl or Alt while the window has the
// keyboard, whichever of its controls has the focus; the data is the key's
// virtual-key code, 'A' to 'Z'.
constexpr int32_t EVENT_LETTER_KEY = 13119;

constexpr uint32_t EVENT_FLAG_WHILE_SUPPRESSED = 1;  // deliver even while events are suppressed
constexpr uint32_t EVENT_FLAG_NO_COALESCE = 2;       // never merge; callbacks only when taken

using EventRelease = void (*)(int64_t extra);

// Appends an event to the calling thread's queue, unless it equals the
// event still waiting at the tail (same code below 65536, object, window and
// data), in which case the two coalesce.
void QueueEvent(int32_t code, int64_t object, int64_t window, int64_t data, int64_t extra = 0,
                EventRelease release = nullptr, uint32_t flags = 0);

// Removes every queued event whose fields match all arguments that are not -1.
void DropQueuedEvents(int64_t code, int64_t object, int64_t window, int64_t data);

// The pop step: makes the queue's head the current event and returns its
// code, or returns 0 (keeping the current object and window) when empty.
int32_t PopQueuedEvent();

// Puts the current event back at the front of the queue, as if it had not
// been taken (with its extra value, which it keeps); afterwards there is no
// current event. Nothing when there is no current event.
void ReturnCurrentEvent();

// Number of events waiting in the calling thread's queue.
int64_t QueuedEventCount();

// A queued event code, or else the number of one platform message that was
// dispatched, or 0 when nothing came within the timeout (-1 = infinite).
int64_t FetchEvent(int32_t timeoutMs);
int64_t WaitEvent();  // FetchEvent(-1)
int64_t PollEvent();  // FetchEvent(0)

// The current event's object: the control number of EVENT_CONTROL ...
int64_t EventControl();
// ... and the timer id of EVENT_TIMER.
int64_t EventTimerId();
// The current event's window and data.
int64_t EventWindow();
int64_t EventData();

// wParam and lParam of the last platform message that FetchEvent dispatched
// (both 0 when the result came from the queue).
uint64_t EventWParam();
int64_t EventLParam();
void SetEventMessageParams(uint64_t wParam, int64_t lParam);

// The click event that a mouse-button message of a window becomes (left up,
// left double click, right up), or 0 for any other message.
int32_t ClickEventOf(uint32_t message);

// Clears the calling thread's queue and current event, for tests that
// start afresh.
void ResetEventState();
