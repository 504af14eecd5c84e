// The Linux program's entry: no main window, only the upgrade sequence; its one argument is an
// image file (the desktop entry's %f). A build that carries no image asks for one first.
#include "app/upgrade_sequence.h"
#include "file_chooser.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
    UpgradeOptions options;
    options.checkImage = true;
    if (argc > 1) {
        options.image.path = argv[1];
    } else if (firmwareBytes(nullptr).empty()) {
        const auto chosen = chooseFirmwareFile();
        if (!chosen)
            endProcess(); // Cancel in the chooser: nothing to upgrade with
        options.image.path = *chosen;
    }
    runUpgrade(nullptr, options);
    // Ended at once rather than by returning: the GUI thread is still running GTK (and a request
    // worker the user gave up on may still be blocked on its socket), and a normal return would
    // run the static destructors beneath them. The status is 0 either way.
    endProcess();
}
