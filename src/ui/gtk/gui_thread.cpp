// SPDX-License-Identifier: MIT
// The GUI thread: opens the display, then runs GTK's main loop for the life of the process.
#include "gui_thread.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "ui/ansi_text.h"
#include "ui/translation.h"

namespace {

std::once_flag started;

// Work handed over by another thread; freed once it has run.
gboolean runPosted(gpointer data) {
    auto* work = static_cast<std::function<void()>*>(data);
    (*work)();
    delete work;
    return G_SOURCE_REMOVE;
}

void guiThreadBody(GuiAnswer* opened) {
    // gtk_init_check reads no arguments of ours: the program takes none.
    if (!gtk_init_check(nullptr, nullptr)) {
        opened->give(0);
        return;
    }
    opened->give(1);
    gtk_main();
}

} // namespace

void startGuiThread() {
    std::call_once(started, [] {
        GuiAnswer opened;
        std::thread gui(guiThreadBody, &opened);
        if (opened.wait() == 0) {
            // Nothing can be asked without one: a failure, not a quiet end.
            const std::string words =
                displayText(translated(N_("cannot open a display (DISPLAY or WAYLAND_DISPLAY "
                                          "names none that answers); tov-upgrade-cli upgrades "
                                          "without one")));
            std::fprintf(stderr, "tov-upgrade: %s\n", words.c_str());
            endProcess(1);
        }
        gui.detach(); // it runs until the process ends
    });
}

void postToGuiThread(std::function<void()> work) {
    startGuiThread();
    // An idle source always runs in the main loop, never on the calling thread; sources of one
    // priority run in the order they were added.
    g_idle_add_full(G_PRIORITY_DEFAULT, runPosted, new std::function<void()>(std::move(work)),
                    nullptr);
}

void runOnGuiThread(const std::function<void()>& work) {
    GuiAnswer done;
    postToGuiThread([&work, &done] {
        work();
        done.give(1);
    });
    done.wait();
}
