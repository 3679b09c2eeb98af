// The posted-message queue: a locked FIFO plus an eventfd. A poster appends
// and then signals the eventfd; the waiting thread clears the eventfd before
// it looks at the queue, so a message posted at any moment is either seen now
// or wakes the next poll.
#include "ui/posted_messages_linux.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <deque>
#include <mutex>

#include "ui/timers_linux.h"

namespace {

// The longest a message posted by the next tick may wait for it.
constexpr int TICK_WAIT_LIMIT_MS = 12;

struct PostedQueue {
    std::mutex lock;
    std::deque<PostedMessage> messages;
    int wake = -1;
};

PostedQueue& Queue() {
    // Never destroyed: the capture service may post while the process ends.
    static PostedQueue* queue = [] {
        auto* created = new PostedQueue();
        created->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        return created;
    }();
    return *queue;
}

void Enqueue(void* window, uint32_t message, uint64_t wParam, int64_t lParam) {
    PostedQueue& queue = Queue();
    std::lock_guard<std::mutex> hold(queue.lock);
    queue.messages.push_back(PostedMessage{window, message, wParam, lParam});
}

}  // namespace

bool PostLinuxMessage(void* window, uint32_t message, uint64_t wParam, int64_t lParam) {
    Enqueue(window, message, wParam, lParam);
    WakeMessageLoop();
    return true;
}

bool PostLinuxMessageByNextTick(void* window, uint32_t message, uint64_t wParam, int64_t lParam) {
    Enqueue(window, message, wParam, lParam);
    // The loop takes posted messages before a due timer, and its wait ends
    // when the next timer is due.
    int untilTick = MillisecondsUntilNextTimer();
    if (untilTick < 0 || untilTick > TICK_WAIT_LIMIT_MS) WakeMessageLoop();
    return true;
}

bool TakePostedMessage(PostedMessage* message) {
    PostedQueue& queue = Queue();
    std::lock_guard<std::mutex> hold(queue.lock);
    if (queue.messages.empty()) return false;
    *message = queue.messages.front();
    queue.messages.pop_front();
    return true;
}

int MessageWakeDescriptor() {
    return Queue().wake;
}

void ClearMessageWake() {
    int wake = Queue().wake;
    if (wake < 0) return;
    uint64_t count = 0;
    while (read(wake, &count, sizeof count) > 0) {
    }
}

void WakeMessageLoop() {
    int wake = Queue().wake;
    if (wake < 0) return;
    uint64_t one = 1;
    // A full counter (never in practice) already means "look again".
    ssize_t written = write(wake, &one, sizeof one);
    (void)written;
}
