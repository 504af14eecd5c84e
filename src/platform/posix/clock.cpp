// SPDX-License-Identifier: MIT
// The millisecond clock and sleep, alone in this file so tests can link a controllable clock.
#include <time.h>

#include "platform/platform.h"

std::uint32_t millisecondClock() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms); // wraps like timeGetTime
}

bool waitReadableOnClock(SocketHandle socket, std::uint32_t milliseconds) {
    return waitReadable(socket, milliseconds);
}

bool waitThreadOnClock(ThreadHandle thread, std::uint32_t milliseconds) {
    return waitThreadFinished(thread, milliseconds);
}

void sleepMilliseconds(std::uint32_t milliseconds) {
    timespec wait{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&wait, &wait) != 0) {
    }
}
