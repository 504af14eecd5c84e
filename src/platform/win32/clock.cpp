// SPDX-License-Identifier: MIT
// The millisecond clock and sleep, alone in this file so tests can link a controllable clock.
#include <windows.h>

#include <mmsystem.h>

#include "platform/platform.h"

std::uint32_t millisecondClock() {
    return ::timeGetTime();
}

bool waitReadableOnClock(SocketHandle socket, std::uint32_t milliseconds) {
    return waitReadable(socket, milliseconds);
}

bool waitThreadOnClock(ThreadHandle thread, std::uint32_t milliseconds) {
    return waitThreadFinished(thread, milliseconds);
}

void sleepMilliseconds(std::uint32_t milliseconds) {
    ::Sleep(milliseconds);
}
