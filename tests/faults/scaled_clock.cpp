// SPDX-License-Identifier: MIT
// The fault matrix's clock: the program's time runs 32 times faster than real time, so the
// 49,984 ms settling wait takes about 1.6 s while every wait still really waits (1 ms at least),
// and the device on the other side keeps its own real timing. Replaces the platform's clock.
#include <time.h>

#include "platform/platform.h"

namespace {
constexpr std::uint64_t kSpeedUp = 32;

std::uint64_t realMilliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}
} // namespace

std::uint32_t millisecondClock() {
    return static_cast<std::uint32_t>(realMilliseconds() * kSpeedUp); // wraps like timeGetTime
}

bool waitReadableOnClock(SocketHandle socket, std::uint32_t milliseconds) {
    return waitReadable(socket,
                        static_cast<std::uint32_t>((milliseconds + kSpeedUp - 1) / kSpeedUp));
}

bool waitThreadOnClock(ThreadHandle thread, std::uint32_t milliseconds) {
    return waitThreadFinished(thread,
                              static_cast<std::uint32_t>((milliseconds + kSpeedUp - 1) / kSpeedUp));
}

void sleepMilliseconds(std::uint32_t milliseconds) {
    const std::uint64_t real = (milliseconds + kSpeedUp - 1) / kSpeedUp;
    timespec wait{static_cast<time_t>(real / 1000), static_cast<long>(real % 1000) * 1000000L};
    while (::nanosleep(&wait, &wait) != 0) {
    }
}
