// The per-thread event queue. Only the thread that owns a queue touches it,
// so it takes no lock. Nodes are recycled through a free list, and an event
// equal to the one still waiting at the tail is merged into it, which keeps
// the queue short when timer ticks come faster than they are fetched.
#include "ui/event_queue.h"

#include "ui/platform_ui.h"

namespace {

struct QueuedEvent {
    QueuedEvent* next = nullptr;
    int32_t code = 0;
    uint32_t flags = 0;
    int64_t object = 0;
    int64_t window = 0;
    int64_t data = 0;
    int64_t extra = 0;
    EventRelease release = nullptr;
};

struct EventState {
    QueuedEvent* freeList = nullptr;
    QueuedEvent* head = nullptr;
    QueuedEvent* tail = nullptr;
    uint32_t suppressionCount = 0;
    // The current event.
    int32_t code = 0;
    int64_t window = 0;
    int64_t object = 0;
    int64_t data = 0;
    int64_t extra = 0;
    EventRelease release = nullptr;
    // The last dispatched platform message's parameters.
    uint64_t wParam = 0;
    int64_t lParam = 0;

    void Recycle(QueuedEvent* node) {
        while (node) {
            QueuedEvent* next = node->next;
            node->next = freeList;
            freeList = node;
            node = next;
        }
    }
};

// Held through a plain pointer: a thread_local object with a destructor is
// torn down unreliably at thread exit by some runtimes (MinGW's among them).
// A queue lives as long as its thread; the few nodes of a thread that ends
// are not reclaimed.
thread_local EventState* stateOfThread = nullptr;

EventState& State() {
    if (stateOfThread == nullptr) stateOfThread = new EventState;
    return *stateOfThread;
}

QueuedEvent* NewNode() {
    EventState& state = State();
    if (state.freeList) {
        QueuedEvent* node = state.freeList;
        state.freeList = node->next;
        *node = QueuedEvent{};
        return node;
    }
    return new QueuedEvent;
}

}  // namespace

void QueueEvent(int32_t code, int64_t object, int64_t window, int64_t data, int64_t extra,
                EventRelease release, uint32_t flags) {
    EventState& state = State();
    if (state.suppressionCount != 0 && !(flags & EVENT_FLAG_WHILE_SUPPRESSED)) return;
    QueuedEvent* tail = state.tail;
    if (tail && code < 65536 && !(flags & EVENT_FLAG_NO_COALESCE) && tail->code == code &&
        tail->object == object && tail->window == window && tail->data == data) {
        return;
    }
    QueuedEvent* node = NewNode();
    node->code = code;
    node->flags = flags;
    node->object = object;
    node->window = window;
    node->data = data;
    node->extra = extra;
    node->release = release;
    if (tail) {
        tail->next = node;
    } else {
        state.head = node;
    }
    state.tail = node;
}

void DropQueuedEvents(int64_t code, int64_t object, int64_t window, int64_t data) {
    EventState& state = State();
    QueuedEvent* previous = nullptr;
    for (QueuedEvent* node = state.head; node;) {
        QueuedEvent* next = node->next;
        bool matches =
            (code == -1 || node->code == code) && (object == -1 || node->object == object) &&
            (window == -1 || node->window == window) && (data == -1 || node->data == data);
        if (matches) {
            if (previous) {
                previous->next = next;
            } else {
                state.head = next;
            }
            if (state.tail == node) state.tail = previous;
            node->next = state.freeList;
            state.freeList = node;
        } else {
            previous = node;
        }
        node = next;
    }
}

int32_t PopQueuedEvent() {
    EventState& state = State();
    state.code = 0;
    if (state.extra && state.release) {
        state.release(state.extra);
        state.extra = 0;
        state.release = nullptr;
    }
    state.data = -1;
    QueuedEvent* node = state.head;
    if (!node) return 0;
    state.code = node->code;
    state.object = node->object;
    state.window = node->window;
    state.data = node->data;
    state.extra = node->extra;
    state.release = node->release;
    state.head = node->next;
    if (!state.head) state.tail = nullptr;
    node->next = state.freeList;
    state.freeList = node;
    return state.code;
}

void ReturnCurrentEvent() {
    EventState& state = State();
    if (state.code == 0) return;
    QueuedEvent* node = NewNode();
    node->code = state.code;
    node->object = state.object;
    node->window = state.window;
    node->data = state.data;
    node->extra = state.extra;
    node->release = state.release;
    node->next = state.head;
    state.head = node;
    if (!state.tail) state.tail = node;
    // The node owns the extra value now.
    state.code = 0;
    state.extra = 0;
    state.release = nullptr;
}

int64_t QueuedEventCount() {
    int64_t count = 0;
    for (QueuedEvent* node = State().head; node; node = node->next) ++count;
    return count;
}

int64_t FetchEvent(int32_t timeoutMs) {
    int32_t code = PopQueuedEvent();
    if (code != 0) {
        SetEventMessageParams(0, 0);
        return code;
    }
    return FetchPlatformMessage(timeoutMs);
}

int64_t WaitEvent() {
    return FetchEvent(-1);
}
int64_t PollEvent() {
    return FetchEvent(0);
}

int64_t EventControl() {
    return State().object;
}
int64_t EventTimerId() {
    return State().object;
}
int64_t EventWindow() {
    return State().window;
}
int64_t EventData() {
    return State().data;
}

uint64_t EventWParam() {
    return State().wParam;
}
int64_t EventLParam() {
    return State().lParam;
}
void SetEventMessageParams(uint64_t wParam, int64_t lParam) {
    EventState& state = State();
    state.wParam = wParam;
    state.lParam = lParam;
}

void ResetEventState() {
    EventState& state = State();
    state.Recycle(state.head);
    state.head = state.tail = nullptr;
    state.code = 0;
    state.window = state.object = state.data = 0;
    state.extra = 0;
    state.release = nullptr;
    state.wParam = 0;
    state.lParam = 0;
}

int32_t ClickEventOf(uint32_t message) {
    switch (message) {
        case MESSAGE_LBUTTONUP:
            return EVENT_LEFT_CLICK;
        case MESSAGE_LBUTTONDBLCLK:
            return EVENT_LEFT_DOUBLE_CLICK;
        case MESSAGE_RBUTTONUP:
            return EVENT_RIGHT_CLICK;
        default:
            return 0;
    }
}
