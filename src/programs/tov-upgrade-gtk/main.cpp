// The Linux program's entry: no main window, no command line, only the upgrade sequence.
#include "app/upgrade_sequence.h"
#include "platform/platform.h"

int main() {
    runUpgrade(nullptr);
    // Ended at once rather than by returning: the GUI thread is still running GTK (and a request
    // worker the user gave up on may still be blocked on its socket), and a normal return would
    // run the static destructors beneath them. The status is 0 either way.
    endProcess();
}
