// POSIX threads and semaphores under the thread layer. A thread is a small
// record holding the pthread, so that "has it ended" can be asked without
// joining (pthread_tryjoin_np) and the handle released with pthread_detach.
#include <errno.h>
#include <pthread.h>
#include <semaphore.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>

#include "system/native_threads.h"

namespace {

enum ThreadState : int { RUNNING, ENDED, RELEASED };

struct NativeThread {
    pthread_t thread;
    ThreadProcedure procedure;
    void* argument;
    std::atomic<int> state{RUNNING};
};

// Where a wait for a thread's end sleeps. Never destroyed: a thread may end
// while the process exits.
std::mutex& EndLock() {
    static auto* lock = new std::mutex();
    return *lock;
}
std::condition_variable& EndChanged() {
    static auto* changed = new std::condition_variable();
    return *changed;
}

void* RunThread(void* raw) {
    auto* record = static_cast<NativeThread*>(raw);
    record->procedure(record->argument);
    int previous;
    {
        std::lock_guard<std::mutex> hold(EndLock());
        previous = record->state.exchange(ENDED, std::memory_order_acq_rel);
    }
    EndChanged().notify_all();
    // A thread whose handle was already released frees its own record.
    if (previous == RELEASED) delete record;
    return nullptr;
}

// The drawing on the analysis thread needs more than the few kilobytes a
// Windows thread asks for; POSIX stacks are not grown on demand.
constexpr size_t THREAD_STACK_BYTES = 512 * 1024;

}  // namespace

void* NativeThreadStart(ThreadProcedure procedure, void* argument) {
    auto* record = new (std::nothrow) NativeThread;
    if (!record) return nullptr;
    record->procedure = procedure;
    record->argument = argument;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, THREAD_STACK_BYTES);
    int failed = pthread_create(&record->thread, &attributes, RunThread, record);
    pthread_attr_destroy(&attributes);
    if (failed) {
        delete record;
        return nullptr;
    }
    return record;
}

bool NativeThreadEnded(void* thread) {
    return static_cast<NativeThread*>(thread)->state.load(std::memory_order_acquire) == ENDED;
}

bool NativeThreadWaitFor(void* thread, int32_t timeoutMs) {
    auto* record = static_cast<NativeThread*>(thread);
    std::unique_lock<std::mutex> hold(EndLock());
    return EndChanged().wait_for(
        hold, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
        [record] { return record->state.load(std::memory_order_acquire) == ENDED; });
}

void NativeThreadClose(void* thread) {
    auto* record = static_cast<NativeThread*>(thread);
    if (record->state.load(std::memory_order_acquire) == ENDED) {
        pthread_join(record->thread, nullptr);
        delete record;
        return;
    }
    // Still running: the system reclaims the thread when it ends, and
    // whichever of the two comes last frees the record.
    pthread_detach(record->thread);
    if (record->state.exchange(RELEASED, std::memory_order_acq_rel) == ENDED) delete record;
}

void* NativeSemaphoreCreate(int32_t initialCount) {
    if (initialCount < 0) return nullptr;
    auto* semaphore = new (std::nothrow) sem_t;
    if (!semaphore) return nullptr;
    if (sem_init(semaphore, 0, static_cast<unsigned>(initialCount)) != 0) {
        delete semaphore;
        return nullptr;
    }
    return semaphore;
}

void NativeSemaphorePost(void* semaphore) {
    // At SEM_VALUE_MAX the post is refused (EOVERFLOW), as Windows refuses a
    // release beyond the maximum count.
    sem_post(static_cast<sem_t*>(semaphore));
}

void NativeSemaphoreWait(void* semaphore) {
    while (sem_wait(static_cast<sem_t*>(semaphore)) != 0 && errno == EINTR) {
    }
}

bool NativeSemaphoreWaitFor(void* semaphore, int32_t timeoutMs) {
    timespec deadline;
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += timeoutMs / 1000;
    deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    while (sem_timedwait(static_cast<sem_t*>(semaphore), &deadline) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}
