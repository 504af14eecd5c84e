// Ending the process at once, from any thread, with status 0.
#include <unistd.h>

#include <cstdio>

#include "platform/platform.h"

void endProcess() {
    std::fflush(nullptr);
    ::_exit(0);
}
