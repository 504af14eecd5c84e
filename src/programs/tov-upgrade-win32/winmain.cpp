// SPDX-License-Identifier: MIT
// The Windows program's entry: no main window, no command line, only the upgrade sequence.
#include <windows.h>

#include "app/upgrade_sequence.h"
#include "platform/platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    runUpgrade(instance);
    // Ended at once rather than by returning: a request worker the user gave up on may still be
    // blocked in Winsock, and the runtime's exit would run every DLL's detach code beneath it.
    // The status is 0 either way.
    endProcess();
}
