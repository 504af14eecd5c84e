// SPDX-License-Identifier: MIT
// Threads for the runner and the TFTP server: started at once, polled for their end.
#include <windows.h>

#include <atomic>
#include <new>

#include "platform/platform.h"

struct PlatformThread {
    ThreadBody body = nullptr;
    void* argument = nullptr;
    // Kept here rather than as the exit code, so a body may return any int (even STILL_ACTIVE).
    std::atomic<int> result{0};
    // The thread and its owner each hold the record; the last to let go frees it.
    std::atomic<int> holders{2};
    HANDLE handle = nullptr;
};

namespace {
void letGo(PlatformThread* record) {
    if (record->holders.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete record;
}

DWORD WINAPI runThreadBody(LPVOID parameter) {
    auto* thread = static_cast<PlatformThread*>(parameter);
    thread->result.store(thread->body(thread->argument), std::memory_order_release);
    letGo(thread);
    return 0;
}
} // namespace

ThreadHandle startThread(ThreadBody body, void* argument) {
    auto* thread = new (std::nothrow) PlatformThread;
    if (thread == nullptr)
        return nullptr;
    thread->body = body;
    thread->argument = argument;
    thread->handle = ::CreateThread(nullptr, 0, runThreadBody, thread, 0, nullptr);
    if (thread->handle == nullptr) {
        delete thread;
        return nullptr;
    }
    return thread;
}

bool threadFinished(ThreadHandle thread) {
    // Signalled only once the thread has fully ended.
    return ::WaitForSingleObject(thread->handle, 0) == WAIT_OBJECT_0;
}

bool waitThreadFinished(ThreadHandle thread, std::uint32_t milliseconds) {
    return ::WaitForSingleObject(thread->handle, milliseconds) == WAIT_OBJECT_0;
}

int takeThreadResult(ThreadHandle thread) {
    ::WaitForSingleObject(thread->handle, INFINITE);
    ::CloseHandle(thread->handle);
    const int result = thread->result.load(std::memory_order_acquire);
    letGo(thread);
    return result;
}

void releaseThread(ThreadHandle thread) {
    ::CloseHandle(thread->handle);
    letGo(thread);
}
