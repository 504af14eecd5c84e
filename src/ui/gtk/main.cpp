// The Linux program's entry: no main window, no command line, only the upgrade sequence.
#include "app/upgrade_sequence.h"
#include "platform/platform.h"

int main() {
    runUpgrade(nullptr);
    // Ended at once, as every other path ends it: the GUI thread is still running GTK, and a
    // normal return would run the static destructors beneath it. The status is 0 either way.
    endProcess();
}
