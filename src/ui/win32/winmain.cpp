// The Windows program's entry: no main window, no command line, only the upgrade sequence.
#include <windows.h>

#include "app/upgrade_sequence.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return runUpgrade(instance);
}
