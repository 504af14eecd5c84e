// SPDX-License-Identifier: MIT
// The debug log on Windows: one line to the debugger (DebugView, a debugger's output window) per
// trace(); the program has no console.
#include "platform/debug_log.h"

#if defined(TOV_DEBUG_LOG)
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

void trace(const char* format, ...) {
    char line[2048] = "tov: ";
    const std::size_t prefix = std::strlen(line);
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(line + prefix, sizeof line - prefix - 1, format, args);
    va_end(args);
    if (written < 0)
        return;
    const std::size_t length = std::strlen(line);
    if (line[length - 1] != '\n') {
        line[length] = '\n';
        line[length + 1] = '\0';
    }
    ::OutputDebugStringA(line);
}
#endif
