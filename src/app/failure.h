// The one way a failure stops the upgrade: the error box, then the end of the process (status 0).
#pragma once

#include "platform/platform.h"
#include "ui/ui.h"

[[noreturn]] inline void failUpgrade(const char* text) {
    showErrorBox(text);
    endProcess();
}
