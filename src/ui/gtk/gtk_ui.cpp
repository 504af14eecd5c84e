// SPDX-License-Identifier: MIT
// Start of the GTK front-end: the GUI thread and the program's icon on every window.
#include "dialog_parts.h"
#include "gui_thread.h"
#include "ui/ui.h"

void initUiControls() {
    runOnGuiThread([] {
        if (GdkPixbuf* icon = programIcon(64)) {
            gtk_window_set_default_icon(icon);
            g_object_unref(icon);
        }
    });
}
