// SPDX-License-Identifier: MIT
// The modeless windows: "Connecting with TOV@...", waiting for the device's request, uploading.
// They all appear in ONE top-level window, made once and kept for the whole run: each progress
// window the core opens retitles it and puts its own contents in; when it is destroyed the window
// goes back to the one opened before it that is still open (the TFTP thread's waiting window
// under the upgrade request's connecting window), or, when none is, stays up idle until the next
// progress window or a modal dialog, which hides it. The core's owner threads update their windows
// without waiting for the GUI thread (the updates are merged and drawn soon after); a Cancel is
// only marked, for the owner of the contents shown, to see.
#include "progress_windows.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

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
    std::atomic<bool> cancelSeen{false}; // the owner has been told of the Cancel
    bool everShown = false;              // GUI thread only
    bool cancelCarried = false;          // GUI thread: cancelled by a press while idle

    // Set by the owner thread, drawn by the GUI thread while its contents are the ones shown.
    std::mutex mutex;
    std::string title;
    bool titleChanged = false;
    int low = 0;
    int high = 100; // the Windows progress bar's range until the owner sets one
    int position = 0;
    guint updateSource = 0; // a queued drawing of the above, 0 when none
};

namespace {

// The one window and whose contents it shows. GUI thread only.
struct ProgressHost {
    GtkWidget* window = nullptr;
    GtkWidget* contents = nullptr;
    GtkWidget* bar = nullptr;
    GtkWidget* cancel = nullptr;
    std::vector<ProgressWindowState*> open; // in the order opened: the last one is shown
    int dialogsUp = 0;
    // A Cancel pressed while the window stood idle, between two requests of one stage (say the
    // restart's, 2 s apart): the user meant the stage, so it cancels the next progress window as
    // soon as it opens, and, should that one end before its owner looked (a request answered
    // within moments), the one after. A modal dialog drops it: the dialog asks the user anew.
    bool cancelWhileIdle = false;
};
ProgressHost host;

ProgressWindowState* shownState() {
    return host.open.empty() ? nullptr : host.open.back();
}

// The Cancel button and the close box.
void cancelShown() {
    if (ProgressWindowState* state = shownState()) {
        state->cancelled = true;
        return;
    }
    host.cancelWhileIdle = true;
    gtk_widget_set_sensitive(host.cancel, FALSE); // taken: nothing more to press
    logUiLine("cancel: idle");
}

void cancelClicked(GtkButton*, gpointer) {
    cancelShown();
}

// The close box cancels as the button does; the window stays until the owner acts on it.
gboolean closeCancels(GtkWidget*, GdkEvent*, gpointer) {
    cancelShown();
    return TRUE;
}

// The state's title and bar into the window. Called with the state's mutex held.
void drawState(ProgressWindowState* state) {
    gtk_window_set_title(GTK_WINDOW(host.window), displayText(state->title).c_str());
    if (state->titleChanged)
        logUiLine(std::string("title: ") + progressKindName(state->kind) + ": " + state->title);
    state->titleChanged = false;
    // As the Windows bar: the position is held within the range.
    const int span = state->high - state->low;
    const int position = std::clamp(state->position, std::min(state->low, state->high),
                                    std::max(state->low, state->high));
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(host.bar),
                                  span > 0 ? static_cast<double>(position - state->low) / span
                                           : 0.0);
}

gboolean drawUpdate(gpointer data) {
    auto* state = static_cast<ProgressWindowState*>(data);
    std::lock_guard lock(state->mutex);
    state->updateSource = 0;
    if (state == shownState())
        drawState(state); // the others are drawn when they are shown again
    return G_SOURCE_REMOVE;
}

// Queues one drawing unless one is already queued. Called with the state's mutex held.
void queueUpdate(ProgressWindowState* state) {
    if (state->updateSource == 0)
        state->updateSource = g_idle_add(drawUpdate, state);
}

void makeWindow() {
    host.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_resizable(GTK_WINDOW(host.window), FALSE);
    g_signal_connect(host.window, "delete-event", G_CALLBACK(closeCancels), nullptr);
    logUiLine("create: progress window");
}

// The state's contents in place of the earlier ones: its note, the bar, Cancel (focused: the only
// thing to press).
void fillWindow(ProgressWindowState* state) {
    if (host.contents != nullptr)
        gtk_widget_destroy(host.contents);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 10);
    gtk_container_set_border_width(GTK_CONTAINER(box), 12);
    if (state->kind == ProgressKind::waiting)
        gtk_box_pack_start(GTK_BOX(box), newLabel(translated(kWaitingNoteText), 0.0f, 45), FALSE,
                           FALSE, 0);
    else if (state->kind == ProgressKind::uploading)
        gtk_box_pack_start(GTK_BOX(box), newLabel(translated(kUploadNoteText), 0.5f, 40), FALSE,
                           FALSE, 0);
    host.bar = gtk_progress_bar_new();
    gtk_widget_set_size_request(host.bar, 300, -1);
    gtk_box_pack_start(GTK_BOX(box), host.bar, FALSE, FALSE, 0);
    host.cancel = gtk_button_new_with_mnemonic(
        withMnemonic(displayText(translated(kCancelButton)), "C").c_str());
    gtk_widget_set_halign(host.cancel, GTK_ALIGN_CENTER);
    gtk_box_pack_start(GTK_BOX(box), host.cancel, FALSE, FALSE, 0);
    g_signal_connect(host.cancel, "clicked", G_CALLBACK(cancelClicked), nullptr);
    gtk_container_add(GTK_CONTAINER(host.window), box);
    host.contents = box;
    {
        std::lock_guard lock(state->mutex);
        drawState(state);
    }
    gtk_widget_show_all(box);
    gtk_widget_grab_focus(host.cancel);
}

// The shown state's contents, centred, logged as a window of its kind the first time and as a
// return to it afterwards.
void presentShown() {
    ProgressWindowState* state = shownState();
    fillWindow(state);
    const std::string kind = progressKindName(state->kind);
    GdkRectangle place;
    const bool mapped = gtk_widget_get_visible(host.window);
    if (mapped) {
        // A window on the screen learns its new size only later: centred at that size now.
        GtkRequisition natural;
        gtk_widget_get_preferred_size(host.window, nullptr, &natural);
        place = centreWindowAtSize(host.window, natural.width, natural.height);
    } else {
        gtk_widget_show(host.window);
        centreWindow(host.window);
    }
    if (!state->everShown)
        logWindowContents(host.window, kind, mapped ? &place : nullptr);
    else
        logUiLine("back: " + kind + ": " + gtk_window_get_title(GTK_WINDOW(host.window)));
    state->everShown = true;
}

void openOnGuiThread(ProgressWindowState* state) {
    if (host.window == nullptr)
        makeWindow();
    if (host.cancelWhileIdle) {
        state->cancelled = true;
        state->cancelCarried = true;
        host.cancelWhileIdle = false;
    }
    host.open.push_back(state);
    if (host.dialogsUp == 0)
        presentShown(); // else shown once the dialogs have gone
}

void destroyOnGuiThread(ProgressWindowState* state) {
    {
        std::lock_guard lock(state->mutex);
        if (state->updateSource != 0)
            g_source_remove(state->updateSource); // never drawn once it is gone
        state->updateSource = 0;
    }
    const bool wasShown = state == shownState();
    std::erase(host.open, state);
    logUiLine(std::string("done: ") + progressKindName(state->kind));
    if (state->cancelCarried && !state->cancelSeen && host.dialogsUp == 0) {
        // Its owner never looked: the press goes on to the window shown, or the next one.
        if (ProgressWindowState* next = shownState()) {
            next->cancelled = true;
            next->cancelCarried = true;
        } else {
            host.cancelWhileIdle = true;
        }
    }
    if (!wasShown || host.dialogsUp > 0)
        return;
    if (!host.open.empty())
        presentShown();
    else
        logUiLine("idle: progress window"); // its last contents stay, the bar where it stopped
}

} // namespace

void progressWindowMakeWayForDialog() {
    ++host.dialogsUp;
    host.cancelWhileIdle = false;
    if (host.window != nullptr && gtk_widget_get_visible(host.window)) {
        gtk_widget_hide(host.window);
        logUiLine("hide: progress window");
    }
}

void progressWindowAfterDialog() {
    if (--host.dialogsUp > 0 || host.open.empty())
        return;
    presentShown();
}

ProgressWindow openProgressWindow(const ProgressSubject& subject) {
    auto* state = new ProgressWindowState{};
    state->kind = subject.kind;
    if (subject.deviceAddressText != nullptr)
        state->deviceAddressText = subject.deviceAddressText;
    state->title = progressTitle(subject, translated).data();
    runOnGuiThread([state] { openOnGuiThread(state); });
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
    if (window == nullptr || !window->cancelled.load())
        return false;
    window->cancelSeen = true;
    return true;
}

void destroyProgressWindow(ProgressWindow window) {
    if (window == nullptr)
        return;
    runOnGuiThread([window] { destroyOnGuiThread(window); });
    delete window;
}
