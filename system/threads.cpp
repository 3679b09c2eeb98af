// The thread layer: numbered threads and semaphore records over the native
// primitives. One lock guards both lists and the counter; posts and waits
// take no lock of ours, so a post from the main thread never contends with a
// worker for it.
#include "system/threads.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <new>
#include <thread>

namespace {

struct ThreadRecord {
    ThreadRecord* next = nullptr;
    ThreadRecord* previous = nullptr;
    void* handle = nullptr;
    int64_t number = 0;
};

std::mutex& LayerLock() {
    static std::mutex lock;
    return lock;
}

std::atomic<bool> stopping{false};

ThreadRecord* threadList = nullptr;
SemaphoreRecord* semaphoreList = nullptr;
int64_t nextThreadNumber = 1;

template <typename Record>
void Unlink(Record*& head, Record* record) {
    if (record->previous) record->previous->next = record->next;
    if (record->next) record->next->previous = record->previous;
    if (head == record) head = record->next;
}

template <typename Record>
void InsertAtHead(Record*& head, Record* record) {
    record->next = head;
    record->previous = nullptr;
    if (head) head->previous = record;
    head = record;
}

}  // namespace

void ThreadLayerInit() {
    // The lock is a function-local static, ready on first use; nothing else
    // needs setting up.
    LayerLock();
}

int64_t ThreadStart(ThreadProcedure procedure, void* argument) {
    void* handle = NativeThreadStart(procedure, argument);
    if (!handle) return 0;
    std::lock_guard<std::mutex> hold(LayerLock());
    for (ThreadRecord* record = threadList; record;) {
        ThreadRecord* next = record->next;
        if (NativeThreadEnded(record->handle)) {
            NativeThreadClose(record->handle);
            Unlink(threadList, record);
            delete record;
        }
        record = next;
    }
    auto* record = new (std::nothrow) ThreadRecord;
    int64_t number = nextThreadNumber++;
    if (record) {
        record->handle = handle;
        record->number = number;
        InsertAtHead(threadList, record);
    } else {
        NativeThreadClose(handle);  // the thread runs on; we just cannot track it
    }
    return number;
}

void ThreadLayerClose() {
    std::lock_guard<std::mutex> hold(LayerLock());
    while (threadList) {
        ThreadRecord* head = threadList;
        NativeThreadClose(head->handle);
        Unlink(threadList, head);
        delete head;
    }
}

bool StopThreads(SemaphoreRecord* const* wake, int count, int32_t timeoutMs) {
    stopping.store(true);
    for (int i = 0; i < count; ++i) SemaphorePost(wake[i]);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::lock_guard<std::mutex> hold(LayerLock());
    bool allEnded = true;
    for (ThreadRecord* record = threadList; record; record = record->next) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        allEnded &= NativeThreadWaitFor(record->handle, static_cast<int32_t>(left > 0 ? left : 0));
    }
    return allEnded;
}

bool ThreadLayerStopping() {
    return stopping.load();
}

int64_t ThreadRecordCount() {
    std::lock_guard<std::mutex> hold(LayerLock());
    int64_t count = 0;
    for (ThreadRecord* record = threadList; record; record = record->next) ++count;
    return count;
}

SemaphoreRecord* SemaphoreCreate(int32_t initialCount) {
    std::lock_guard<std::mutex> hold(LayerLock());
    auto* record = new (std::nothrow) SemaphoreRecord;
    if (!record) return nullptr;
    InsertAtHead(semaphoreList, record);
    record->handle = NativeSemaphoreCreate(initialCount);
    if (!record->handle) {
        Unlink(semaphoreList, record);
        delete record;
        return nullptr;
    }
    return record;
}

// A missing semaphore (its creation failed) makes posts do nothing and waits
// block for good instead of crashing, which leaves that worker idle.
void SemaphorePost(SemaphoreRecord* semaphore) {
    if (semaphore) NativeSemaphorePost(semaphore->handle);
}

void SemaphoreWait(SemaphoreRecord* semaphore) {
    if (semaphore) {
        NativeSemaphoreWait(semaphore->handle);
        return;
    }
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

bool SemaphoreWaitFor(SemaphoreRecord* semaphore, int32_t timeoutMs) {
    return semaphore && NativeSemaphoreWaitFor(semaphore->handle, timeoutMs);
}
