// SPDX-License-Identifier: MIT
// The debug log on Linux: one line to standard error per trace().
#include "platform/debug_log.h"

#if defined(TOV_DEBUG_LOG)
#include <cstdarg>
#include <cstdio>
#include <cstring>

void trace(const char* format, ...) {
    char line[2048];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (written < 0)
        return;
    const std::size_t length = std::strlen(line);
    const bool ended = length > 0 && line[length - 1] == '\n';
    std::fprintf(stderr, "tov: %s%s", line, ended ? "" : "\n");
}
#endif
