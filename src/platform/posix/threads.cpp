// SPDX-License-Identifier: MIT
// Threads for the runner and the TFTP server: started at once, polled for their end.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/platform.h"

struct PlatformThread {
    ThreadBody body = nullptr;
    void* argument = nullptr;
        std::atomic<bool> finished{false};
    std::mutex endMutex;
    std::condition_variable ended;
    int result = 0;
    // The thread and its owner each hold the record; the last to let go frees it.
    std::atomic<int> holders{2};
    std::thread thread;
};

namespace {
void letGo(PlatformThread* record) {
    if (record->holders.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete record;
}
} // namespace

ThreadHandle startThread(ThreadBody body, void* argument) {
    auto* handle = new PlatformThread;
    handle->body = body;
    handle->argument = argument;
    try {
        handle->thread = std::thread([handle] {
                        handle->result = handle->body(handle->argument);
            {
                std::lock_guard lock(handle->endMutex);
                handle->finished.store(true, std::memory_order_release);
                handle->ended.notify_all(); // under the lock: the record may go right after
            }
            letGo(handle);
        });
    } catch (...) {
        delete handle;
        return nullptr;
    }
    return handle;
}

bool threadFinished(ThreadHandle thread) {
    return thread->finished.load(std::memory_order_acquire);
}

bool waitThreadFinished(ThreadHandle thread, std::uint32_t milliseconds) {
    std::unique_lock lock(thread->endMutex);
    return thread->ended.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                  [thread] { return thread->finished.load(); });
}

int takeThreadResult(ThreadHandle thread) {
    thread->thread.join();
    const int result = thread->result;
    letGo(thread);
    return result;
}

void releaseThread(ThreadHandle thread) {
    thread->thread.detach();
    letGo(thread);
}
