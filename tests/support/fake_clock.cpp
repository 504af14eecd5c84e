// SPDX-License-Identifier: MIT
// Replaces the platform's clock.cpp in the timed tests: the clock only moves when slept.
#include "fake_clock.h"

#include <algorithm>
#include <atomic>

#include "platform/platform.h"

namespace {
std::atomic<std::uint32_t> now{0};
std::atomic<std::uint64_t> slept{0};
std::atomic<std::uint32_t> realWaitLimit{kNoRealWaitLimit};
} // namespace

void setFakeClock(std::uint32_t value) {
    now = value;
    slept = 0;
}
std::uint32_t fakeClockNow() {
    return now;
}
std::uint64_t fakeSleptMilliseconds() {
    return slept;
}
void limitFakeClockRealWaits(std::uint32_t milliseconds) {
    realWaitLimit = milliseconds;
}

std::uint32_t millisecondClock() {
    return now;
}
// A real wait, as a peer on the other side keeps real time; a wait that saw nothing moves the
// clock on by its whole length.
bool waitReadableOnClock(SocketHandle socket, std::uint32_t milliseconds) {
    if (waitReadable(socket, std::min<std::uint32_t>(milliseconds, realWaitLimit)))
        return true;
    sleepMilliseconds(milliseconds);
    return false;
}

bool waitThreadOnClock(ThreadHandle thread, std::uint32_t milliseconds) {
    if (waitThreadFinished(thread, std::min<std::uint32_t>(milliseconds, realWaitLimit)))
        return true;
    sleepMilliseconds(milliseconds);
    return false;
}

void sleepMilliseconds(std::uint32_t milliseconds) {
    now += milliseconds; // wraps at 2^32 like the real clock
    slept += milliseconds;
}
