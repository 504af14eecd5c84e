// SPDX-License-Identifier: MIT
// The one thread that touches GTK. The core calls the UI from its main thread, the request
// runner's thread and the TFTP thread; every such call is handed to the GUI thread here.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

// Starts the GUI thread and opens the display, once; later calls return at once. Without a
// display the program cannot ask anything: it says so on standard error and ends with status 1.
void startGuiThread();

// Runs `work` on the GUI thread and returns once it has run. Never called from the GUI thread.
void runOnGuiThread(const std::function<void()>& work);

// Queues `work` for the GUI thread and returns at once; queued work runs in the order given.
void postToGuiThread(std::function<void()> work);

// A one-shot answer: a core thread waits for it while the GUI thread collects it from the user.
class GuiAnswer {
  public:
    void give(int value) {
        // Notified under the lock: the waiter may destroy this answer as soon as it sees it.
        std::lock_guard lock(mutex_);
        value_ = value;
        given_ = true;
        ready_.notify_all();
    }
    int wait() {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return given_; });
        return value_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    bool given_ = false;
    int value_ = 0;
};
