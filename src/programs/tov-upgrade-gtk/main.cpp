// SPDX-License-Identifier: MIT
// The Linux program's entry: no main window, only the upgrade sequence; its one argument is an
// image file (the desktop entry's %f). A build that carries no image asks for one first.
// --help and --version are answered before the display is opened, so they work without one.
#include <cstdio>
#include <string>
#include <string_view>

#include "app/upgrade_sequence.h"
#include "file_chooser.h"
#include "platform/platform.h"
#include "ui/ansi_text.h"
#include "ui/translation.h"

namespace {

constexpr char kUsage[] =
    N_("Usage: tov-upgrade [FILE]\n"
       "Upgrades the firmware of a TOV telephone adapter across the local network, in windows:\n"
       "the TOV's address, what it reports, its password if it asks, then the upload and its\n"
       "restart (about a minute). FILE is a firmware image to send instead of the one carried.\n"
       "Needs a display; tov-upgrade-cli(1) does the same from a terminal.\n"
       "\n"
       "  -h, --help     print this help and exit\n"
       "      --version  print the program's version and exit\n");

} // namespace

int main(int argc, char** argv) {
    startTranslations();
    UpgradeOptions options;
    options.checkImage = true;
    if (argc > 1) {
        const std::string_view argument = argv[1];
        if (argument == "-h" || argument == "--help") {
            std::fputs(displayText(translated(kUsage)).c_str(), stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("tov-upgrade %s\n", TOV_VERSION_TEXT);
            return 0;
        }
        if (argc > 2 || (argument.size() > 1 && argument[0] == '-')) {
            const std::string form =
                displayText(translated(N_("tov-upgrade: unexpected %s; see --help\n")));
            std::fprintf(stderr, form.c_str(), argv[argc > 2 ? 2 : 1]);
            return 2;
        }
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
