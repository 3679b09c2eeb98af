// The process-wide thread layer: threads are known by numbers counted from 1
// (never reused), semaphores by the address of their record.
#pragma once

#include <cstdint>

#include "system/native_threads.h"

struct SemaphoreRecord {
    SemaphoreRecord* next = nullptr;
    SemaphoreRecord* previous = nullptr;
    void* handle = nullptr;
};

void ThreadLayerInit();
// Thread number, or 0 if the system refused the thread. Prunes the records of
// threads that have ended.
int64_t ThreadStart(ThreadProcedure procedure, void* argument);
// Releases every thread handle; waits for and terminates nothing.
void ThreadLayerClose();
// Asks the worker loops to end (ThreadLayerStopping turns true), wakes them
// with one post of each given semaphore and waits up to timeoutMs in all for
// every started thread to end. True when all have; a thread that does not
// end in time is left running.
bool StopThreads(SemaphoreRecord* const* wake, int count, int32_t timeoutMs);
// True once StopThreads was called: a worker loop returns when it sees it.
bool ThreadLayerStopping();
// Number of thread records currently kept (tests).
int64_t ThreadRecordCount();

SemaphoreRecord* SemaphoreCreate(int32_t initialCount);
void SemaphorePost(SemaphoreRecord* semaphore);
void SemaphoreWait(SemaphoreRecord* semaphore);
// Takes a count if one becomes available within timeoutMs: false otherwise,
// and at once for a missing semaphore.
bool SemaphoreWaitFor(SemaphoreRecord* semaphore, int32_t timeoutMs);
