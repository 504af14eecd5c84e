// SPDX-License-Identifier: MIT
// The debug log. Configured with -DTOV_DEBUG_LOG=ON, every trace() line goes to standard error
// (Linux) or to the debugger (Windows, OutputDebugStringA); in a normal build the calls compile
// to nothing, since the program writes no files and shows nothing beyond its windows.
#pragma once

#if defined(TOV_DEBUG_LOG)
// One line, formatted as printf does; a trailing newline is added when the format has none.
void trace(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
#else
inline void trace(const char*, ...) {}
#endif
