// The Linux program's entry: no main window, no command line, only the upgrade sequence.
#include "app/upgrade_sequence.h"

int main() {
    return runUpgrade(nullptr);
}
