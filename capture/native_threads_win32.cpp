// Threads and counting semaphores over the Windows kernel.
#include <new>

#include "capture/native_threads.h"
#include "ui/windows_api_win32.h"

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

void NativeThreadClose(void* thread) {
    if (thread != nullptr) CloseHandle(thread);
}

void* NativeSemaphoreCreate(int32_t initialCount) {
    return CreateSemaphoreW(nullptr, initialCount, SEMAPHORE_MAXIMUM, nullptr);
}

void NativeSemaphorePost(void* semaphore) {
    if (semaphore != nullptr) ReleaseSemaphore(semaphore, 1, nullptr);
}

void NativeSemaphoreWait(void* semaphore) {
    if (semaphore != nullptr) WaitForSingleObject(semaphore, INFINITE);
}

bool NativeSemaphoreWaitFor(void* semaphore, int32_t timeoutMs) {
    if (semaphore == nullptr) return false;
    DWORD timeout = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    return WaitForSingleObject(semaphore, timeout) == WAIT_OBJECT_0;
}
