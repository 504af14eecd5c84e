// SPDX-License-Identifier: MIT
// Ending the process at once, from any thread.
#include <windows.h>

#include <cstdio>

#include "platform/platform.h"

void endProcess(int status) {
    std::fflush(nullptr);
    // TerminateProcess rather than ExitProcess: ExitProcess stops the other threads wherever
    // they are and then runs every DLL's detach code, which can deadlock on a lock one of them
    // held (a worker blocked in recv, the TFTP thread inside Winsock). TerminateProcess runs no
    // foreign code and does not return for the calling process.
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(status));
    for (;;) // not reached: termination of the calling process does not return
        ::Sleep(INFINITE);
}
