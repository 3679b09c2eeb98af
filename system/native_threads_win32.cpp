// Threads over the Windows kernel; counting semaphores in the process
// itself, a count under a slim reader/writer lock with a condition variable.
// A kernel semaphore costs a system call for every post and wait, and under
// Wine a round trip to its server process; these cost neither while no
// thread has to sleep, and wake a sleeping one through the system's
// address-wait, which Wine serves without its server.
#include <new>

#include "system/native_threads.h"
#include "system/windows_api_win32.h"

namespace {

constexpr SIZE_T THREAD_STACK_COMMIT = 4096;  // the system rounds up as it needs
constexpr LONG SEMAPHORE_MAXIMUM = 0x7FFFFFFF;

struct ThreadStartRecord {
    ThreadProcedure procedure;
    void* argument;
};

DWORD WINAPI RunThread(LPVOID parameter) {
    ThreadStartRecord start = *static_cast<ThreadStartRecord*>(parameter);
    delete static_cast<ThreadStartRecord*>(parameter);
    start.procedure(start.argument);
    return 0;
}

}  // namespace

void* NativeThreadStart(ThreadProcedure procedure, void* argument) {
    if (procedure == nullptr) return nullptr;
    auto* start = new (std::nothrow) ThreadStartRecord{procedure, argument};
    if (start == nullptr) return nullptr;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, THREAD_STACK_COMMIT, RunThread, start, 0, &id);
    if (thread == nullptr) delete start;
    return thread;
}

bool NativeThreadEnded(void* thread) {
    return thread != nullptr && WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
}

bool NativeThreadWaitFor(void* thread, int32_t timeoutMs) {
    return thread != nullptr &&
           WaitForSingleObject(thread, static_cast<DWORD>(timeoutMs < 0 ? 0 : timeoutMs)) ==
               WAIT_OBJECT_0;
}

void NativeThreadClose(void* thread) {
    if (thread != nullptr) CloseHandle(thread);
}

namespace {

struct Semaphore {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE available = CONDITION_VARIABLE_INIT;
    LONG count = 0;
};

// Takes a count if one comes within timeout (INFINITE: waits for one).
bool Take(Semaphore& semaphore, DWORD timeout) {
    ULONGLONG deadline = GetTickCount64() + timeout;
    AcquireSRWLockExclusive(&semaphore.lock);
    while (semaphore.count == 0) {
        DWORD wait = INFINITE;
        if (timeout != INFINITE) {
            ULONGLONG now = GetTickCount64();
            if (now >= deadline) break;
            wait = static_cast<DWORD>(deadline - now);
        }
        // Returns on a wake, a spurious wake or the end of the wait; the
        // count decides.
        SleepConditionVariableSRW(&semaphore.available, &semaphore.lock, wait, 0);
    }
    bool taken = semaphore.count > 0;
    if (taken) --semaphore.count;
    ReleaseSRWLockExclusive(&semaphore.lock);
    return taken;
}

}  // namespace

void* NativeSemaphoreCreate(int32_t initialCount) {
    if (initialCount < 0) return nullptr;
    auto* semaphore = new (std::nothrow) Semaphore;
    if (semaphore != nullptr) semaphore->count = initialCount;
    return semaphore;
}

void NativeSemaphorePost(void* semaphore) {
    if (semaphore == nullptr) return;
    auto& record = *static_cast<Semaphore*>(semaphore);
    AcquireSRWLockExclusive(&record.lock);
    // As ReleaseSemaphore, a post past the maximum count is refused.
    bool posted = record.count < SEMAPHORE_MAXIMUM;
    if (posted) ++record.count;
    ReleaseSRWLockExclusive(&record.lock);
    if (posted) WakeConditionVariable(&record.available);
}

void NativeSemaphoreWait(void* semaphore) {
    if (semaphore != nullptr) Take(*static_cast<Semaphore*>(semaphore), INFINITE);
}

bool NativeSemaphoreWaitFor(void* semaphore, int32_t timeoutMs) {
    if (semaphore == nullptr) return false;
    DWORD timeout = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    return Take(*static_cast<Semaphore*>(semaphore), timeout);
}
