// SPDX-License-Identifier: MIT
// The modeless windows: "Connecting with TOV@...", waiting for the device's request, uploading.
// Their owner thread updates them without waiting for the GUI thread (the updates are merged
// and drawn soon after); a Cancel is only marked here, for the owner to see.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>

#include "dialog_parts.h"
#include "gui_thread.h"
#include "ui/ansi_text.h"
#include "ui/dialog_texts.h"
#include "ui/messages.h"
#include "ui/translation.h"
#include "ui/ui.h"
#include "ui_log.h"

struct ProgressWindowState {
    ProgressKind kind;
    std::string deviceAddressText; // for the upload window's captions
    bool settlingShown = false;    // owner thread only
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

void buildWindow(ProgressWindowState* state, const std::string& title) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), displayText(title).c_str());
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 10);
    gtk_container_set_border_width(GTK_CONTAINER(box), 12);
    gtk_container_add(GTK_CONTAINER(window), box);

    if (state->kind == ProgressKind::waiting)
        gtk_box_pack_start(GTK_BOX(box), newLabel(translated(kWaitingNoteText), 0.0f, 45), FALSE,
                           FALSE, 0);
    else if (state->kind == ProgressKind::uploading)
        gtk_box_pack_start(GTK_BOX(box), newLabel(translated(kUploadNoteText), 0.5f, 40), FALSE,
                           FALSE, 0);
    state->bar = gtk_progress_bar_new();
    gtk_widget_set_size_request(state->bar, 300, -1);
    gtk_box_pack_start(GTK_BOX(box), state->bar, FALSE, FALSE, 0);

    GtkWidget* cancel = gtk_button_new_with_mnemonic(
        withMnemonic(displayText(translated(kCancelButton)), "C").c_str());
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

} // namespace

ProgressWindow openProgressWindow(const ProgressSubject& subject) {
    auto* state = new ProgressWindowState{};
    state->kind = subject.kind;
    if (subject.deviceAddressText != nullptr)
        state->deviceAddressText = subject.deviceAddressText;
    const std::string shown = progressTitle(subject, translated).data();
    runOnGuiThread([state, &shown] { buildWindow(state, shown); });
    return state;
}

namespace {

void retitle(ProgressWindow window, const char* title) {
    std::lock_guard lock(window->mutex);
    window->title = title;
    window->titleChanged = true;
    queueUpdate(window);
}

} // namespace

void showUploadProgress(ProgressWindow window, const UploadProgress& progress) {
    if (window == nullptr)
        return;
    retitle(window, uploadCaption(window->deviceAddressText.c_str(), progress.bytesAcknowledged,
                                  progress.imageSize, translated)
                        .data());
}

void showSettlingProgress(ProgressWindow window, const SettlingProgress&) {
    // The caption names the wait; only the bar moves while it lasts.
    if (window == nullptr || window->settlingShown)
        return;
    retitle(window, settlingCaption(window->deviceAddressText.c_str(), translated).data());
    window->settlingShown = true;
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

// The GUI thread handles the windows' messages itself: there is nothing to pump here.
void handleAllProgressMessages(ProgressWindow) {}

bool progressCancelled(ProgressWindow window) {
    return window != nullptr && window->cancelled.load();
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
