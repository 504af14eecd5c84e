// The modeless windows: "Connecting with TOV@...", waiting for the device's request, uploading.
// Their owner thread updates them without waiting for the GUI thread (the updates are merged
// and drawn soon after); a Cancel is only marked here and acted on in the owner's next
// message-handling call, where the window goes, the abort is shown and the process ends.
#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <string>

#include "ansi_text.h"
#include "app/context.h"
#include "app/failure.h"
#include "app/text.h"
#include "dialog_parts.h"
#include "gui_thread.h"
#include "ui/messages.h"
#include "ui/ui.h"
#include "ui_log.h"

struct ProgressWindowState {
    ProgressKind kind;
    std::atomic<bool> cancelled{false};
    GtkWidget* window = nullptr; // GUI thread only
    GtkWidget* bar = nullptr;

    // Set by the owner thread, drawn by the GUI thread.
    std::mutex mutex;
    std::string title;
    bool titleChanged = false;
    int low = 0;
    int high = 100; // the Windows progress bar's range until the owner sets one
    int position = 0;
    guint updateSource = 0; // a queued drawing of the above, 0 when none
};

namespace {

void markCancelled(GtkButton*, gpointer state) {
    static_cast<ProgressWindowState*>(state)->cancelled = true;
}

// The close box cancels as the button does; the window stays until the owner acts on it.
gboolean closeCancels(GtkWidget*, GdkEvent*, gpointer state) {
    static_cast<ProgressWindowState*>(state)->cancelled = true;
    return TRUE;
}

gboolean drawUpdate(gpointer data) {
    auto* state = static_cast<ProgressWindowState*>(data);
    std::string title;
    bool titleChanged;
    double fraction;
    {
        std::lock_guard lock(state->mutex);
        state->updateSource = 0;
        title = state->title;
        titleChanged = state->titleChanged;
        state->titleChanged = false;
        // As the Windows bar: the position is held within the range.
        const int span = state->high - state->low;
        const int position = std::clamp(state->position, std::min(state->low, state->high),
                                        std::max(state->low, state->high));
        fraction = span > 0 ? static_cast<double>(position - state->low) / span : 0.0;
    }
    if (titleChanged) {
        gtk_window_set_title(GTK_WINDOW(state->window), displayText(title).c_str());
        logUiLine(std::string("title: ") + progressKindName(state->kind) + ": " + title);
    }
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(state->bar), fraction);
    return G_SOURCE_REMOVE;
}

// Queues one drawing unless one is already queued. Called with the state's mutex held.
void queueUpdate(ProgressWindowState* state) {
    if (state->updateSource == 0)
        state->updateSource = g_idle_add(drawUpdate, state);
}

void buildWindow(ProgressWindowState* state, const char* title) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), displayText(title).c_str());
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 10);
    gtk_container_set_border_width(GTK_CONTAINER(box), 12);
    gtk_container_add(GTK_CONTAINER(window), box);

    if (state->kind == ProgressKind::waiting)
        gtk_box_pack_start(GTK_BOX(box),
                           newLabel("Please make sure your TOV is not in use. Firmware upload "
                                    "will begin only when the TOV is idle.",
                                    0.0f, 45),
                           FALSE, FALSE, 0);
    else if (state->kind == ProgressKind::uploading)
        gtk_box_pack_start(GTK_BOX(box),
                           newLabel("Please do not unplug the power of your TOV until the Status "
                                    "Light stops blinking",
                                    0.5f, 40),
                           FALSE, FALSE, 0);
    state->bar = gtk_progress_bar_new();
    gtk_widget_set_size_request(state->bar, 300, -1);
    gtk_box_pack_start(GTK_BOX(box), state->bar, FALSE, FALSE, 0);

    GtkWidget* cancel = gtk_button_new_with_label("Cancel");
    gtk_widget_set_halign(cancel, GTK_ALIGN_CENTER);
    gtk_box_pack_start(GTK_BOX(box), cancel, FALSE, FALSE, 0);
    g_signal_connect(cancel, "clicked", G_CALLBACK(markCancelled), state);
    g_signal_connect(window, "delete-event", G_CALLBACK(closeCancels), state);

    state->window = window;
    gtk_widget_show_all(window);
    gtk_widget_grab_focus(cancel); // the only thing to press
    centreWindow(window);
    logWindowContents(window, progressKindName(state->kind));
}

// The owner's pending abort: the window goes, the abort is shown, the process ends.
void actOnCancel(ProgressWindow window) {
    if (window == nullptr || !window->cancelled)
        return;
    destroyProgressWindow(window);
    failUpgrade(kErrorUserAbort);
}

} // namespace

ProgressWindow openProgressWindow(ProgressKind kind) {
    auto* state = new ProgressWindowState{};
    state->kind = kind;
    std::array<char, 80> title;
    switch (kind) {
    case ProgressKind::connecting:
        formatText(title, "Connecting with TOV@%s", upgradeContext.deviceAddressText);
        break;
    case ProgressKind::waiting:
        copyText(title, "Waiting For Firmware Upload Request From TOV");
        break;
    case ProgressKind::uploading:
        copyText(title, "Uploading Firmware To TOV");
        break;
    }
    runOnGuiThread([state, &title] { buildWindow(state, title.data()); });
    return state;
}

void setProgressTitle(ProgressWindow window, const char* title) {
    if (window == nullptr)
        return;
    std::lock_guard lock(window->mutex);
    window->title = title;
    window->titleChanged = true;
    queueUpdate(window);
}

void setProgressRange(ProgressWindow window, int low, int high) {
    if (window == nullptr)
        return;
    std::lock_guard lock(window->mutex);
    window->low = low;
    window->high = high;
    queueUpdate(window);
}

void setProgressPosition(ProgressWindow window, int position) {
    if (window == nullptr)
        return;
    std::lock_guard lock(window->mutex);
    window->position = position;
    queueUpdate(window);
}

void handleOneProgressMessage(ProgressWindow window) {
    actOnCancel(window);
}

void handleAllProgressMessages(ProgressWindow window) {
    actOnCancel(window);
}

void destroyProgressWindow(ProgressWindow window) {
    if (window == nullptr)
        return;
    runOnGuiThread([window] {
        {
            std::lock_guard lock(window->mutex);
            if (window->updateSource != 0)
                g_source_remove(window->updateSource); // never drawn into a window that is gone
            window->updateSource = 0;
        }
        gtk_widget_destroy(window->window);
        logUiLine(std::string("destroy: ") + progressKindName(window->kind));
    });
    delete window;
}
