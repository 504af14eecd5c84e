// SPDX-License-Identifier: MIT
// Writes the window log the tests read back (TOV_GTK_LOG).
#include "ui_log.h"

#include <gdk/gdkx.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace {

std::mutex logMutex;

std::FILE* logFile() {
    static std::FILE* file = [] {
        const char* path = g_getenv("TOV_GTK_LOG");
        return path != nullptr && path[0] != '\0' ? std::fopen(path, "a") : nullptr;
    }();
    return file;
}

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

// A button's text as shown: without the underscore that marks its mnemonic.
std::string buttonText(GtkButton* button) {
    const char* label = gtk_button_get_label(button);
    std::string text = label != nullptr ? label : "";
    if (!gtk_button_get_use_underline(button))
        return text;
    std::string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_' && i + 1 < text.size())
            ++i; // "__" shows one underscore, "_x" shows "x"
        shown += text[i];
    }
    return shown;
}

std::string nameOf(GtkWidget* widget) {
    const char* name = gtk_widget_get_name(widget);
    return name != nullptr ? name : "";
}

// The texts of one widget and its children, in the order they stand in their containers.
void logWidget(GtkWidget* widget) {
    const std::string name = nameOf(widget);
    if (GTK_IS_BUTTON(widget)) {
        logUiLine("button: " + buttonText(GTK_BUTTON(widget)));
        return;
    }
    if (GTK_IS_LABEL(widget)) {
        // A read-only value is a selectable label of a name of its own (not its type's, as
        // GTK's message boxes leave theirs), logged by that name as an entry is.
        const char* text = gtk_label_get_text(GTK_LABEL(widget));
        if (gtk_label_get_selectable(GTK_LABEL(widget)) && name != G_OBJECT_TYPE_NAME(widget))
            logUiLine("value " + name + ": " + text);
        else
            logUiLine(std::string("label: ") + text);
        return;
    }
    if (GTK_IS_ENTRY(widget)) {
        GtkEntry* entry = GTK_ENTRY(widget);
        const char* kind = gtk_entry_get_visibility(entry) ? "entry" : "masked entry";
        const char* editable = gtk_editable_get_editable(GTK_EDITABLE(widget)) ? "" : " read-only";
        logUiLine(std::string(kind) + editable + " " + name + ": " + gtk_entry_get_text(entry));
        return;
    }
    if (GTK_IS_COMBO_BOX(widget)) {
        GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(widget));
        GtkTreeIter iter;
        int index = 0;
        for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
             more = gtk_tree_model_iter_next(model, &iter), ++index) {
            gchar* text = nullptr;
            gtk_tree_model_get(model, &iter, 0, &text, -1);
            logUiLine("choice " + name + " " + std::to_string(index) + ": " +
                      (text != nullptr ? text : ""));
            g_free(text);
        }
        logUiLine("selected " + name + ": " +
                  std::to_string(gtk_combo_box_get_active(GTK_COMBO_BOX(widget))));
        return;
    }
    if (GTK_IS_PROGRESS_BAR(widget)) {
        logUiLine("progress bar");
        return;
    }
    if (GTK_IS_IMAGE(widget)) {
        logUiLine("icon");
        return;
    }
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* child = children; child != nullptr; child = child->next)
            logWidget(GTK_WIDGET(child->data));
        g_list_free(children);
    }
}

std::string describe(GtkWidget* widget) {
    if (widget == nullptr)
        return "(none)";
    if (GTK_IS_BUTTON(widget)) {
        return "button " + buttonText(GTK_BUTTON(widget));
    }
    return nameOf(widget);
}

// Where the keyboard focus goes while the window is up.
void logFocusMove(GtkWindow*, GtkWidget* widget, gpointer) {
    logUiLine("focus moved: " + describe(widget));
}

} // namespace

void logUiLine(std::string_view line) {
    std::FILE* file = logFile();
    if (file == nullptr)
        return;
    std::lock_guard lock(logMutex);
    const std::string text = escaped(line);
    std::fprintf(file, "%s\n", text.c_str());
    std::fflush(file);
}

void logWindowContents(GtkWidget* window, std::string_view kind, const GdkRectangle* place) {
    if (logFile() == nullptr)
        return;
    g_signal_connect(window, "set-focus", G_CALLBACK(logFocusMove), nullptr);
    GtkWindow* top = GTK_WINDOW(window);
    logUiLine("show: " + std::string(kind));
    logUiLine(std::string("title: ") + gtk_window_get_title(top));
    logWidget(window);
    logUiLine("focus: " + describe(gtk_window_get_focus(top)));
    logUiLine("default: " + describe(gtk_window_get_default_widget(top)));
    GdkRectangle shown{0, 0, 0, 0};
    if (place != nullptr) {
        shown = *place;
    } else {
        gtk_window_get_position(top, &shown.x, &shown.y);
        gtk_window_get_size(top, &shown.width, &shown.height);
    }
    logUiLine("place: " + std::to_string(shown.x) + " " + std::to_string(shown.y) + " " +
              std::to_string(shown.width) + " " + std::to_string(shown.height));
    if (GdkWindow* drawn = gtk_widget_get_window(window); drawn && GDK_IS_X11_WINDOW(drawn))
        logUiLine("window: " + std::to_string(GDK_WINDOW_XID(drawn)));
    logUiLine("end: " + std::string(kind));
}
