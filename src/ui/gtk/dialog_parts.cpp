// Building blocks of the GTK windows.
#include "dialog_parts.h"

#include <string>

#include "program_icon_svg.h"
#include "ui/ansi_text.h"
#include "ui/window_placement.h"

namespace {

constexpr char kButtonResponseKey[] = "tov-response";

void answerDialog(GtkButton* button, gpointer dialog) {
    const int response = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), kButtonResponseKey));
    gtk_dialog_response(GTK_DIALOG(dialog), response);
}

} // namespace

GtkWidget* newDialogWindow(const char* title) {
    GtkWidget* dialog = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(dialog), displayText(title).c_str());
    gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 8);
    gtk_container_set_border_width(GTK_CONTAINER(grid), 10);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), grid, TRUE, TRUE,
                       0);
    return dialog;
}

GtkGrid* dialogGrid(GtkWidget* dialog) {
    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    GList* children = gtk_container_get_children(GTK_CONTAINER(content));
    GtkGrid* grid = nullptr;
    for (GList* child = children; child != nullptr && grid == nullptr; child = child->next)
        if (GTK_IS_GRID(child->data))
            grid = GTK_GRID(child->data);
    g_list_free(children);
    return grid;
}

GtkWidget* newTextPanel(const char* ansi) {
    GtkWidget* label = gtk_label_new(displayText(ansi).c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_label_set_line_wrap(GTK_LABEL(label), FALSE);
    gtk_widget_set_name(label, "text-panel");
    return label;
}

GtkWidget* newLabel(const char* ansi, float xalign, int widthChars) {
    GtkWidget* label = gtk_label_new(displayText(ansi).c_str());
    gtk_label_set_xalign(GTK_LABEL(label), xalign);
    if (widthChars > 0) {
        gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
        gtk_label_set_max_width_chars(GTK_LABEL(label), widthChars);
        gtk_label_set_justify(GTK_LABEL(label),
                              xalign == 0.5f ? GTK_JUSTIFY_CENTER : GTK_JUSTIFY_LEFT);
    }
    return label;
}

GtkWidget* newValueBox(const char* name, const char* ansi) {
    GtkWidget* entry = gtk_entry_new();
    gtk_widget_set_name(entry, name);
    gtk_entry_set_text(GTK_ENTRY(entry), displayText(ansi).c_str());
    gtk_editable_set_editable(GTK_EDITABLE(entry), FALSE);
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 18);
    return entry;
}

GtkWidget* newEntryField(const char* name, const char* ansi, bool masked) {
    GtkWidget* entry = gtk_entry_new();
    gtk_widget_set_name(entry, name);
    gtk_entry_set_text(GTK_ENTRY(entry), displayText(ansi).c_str());
    gtk_entry_set_visibility(GTK_ENTRY(entry), masked ? FALSE : TRUE);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 18);
    return entry;
}

GtkWidget* newButtonRow(GtkWidget* dialog, std::initializer_list<DialogButton> buttons,
                        int defaultResponse) {
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    gtk_box_set_homogeneous(GTK_BOX(row), TRUE);
    gtk_widget_set_halign(row, GTK_ALIGN_CENTER);
    for (const DialogButton& each : buttons) {
        GtkWidget* button = gtk_button_new_with_label(each.label);
        gtk_widget_set_name(button, ("button-" + std::to_string(each.response)).c_str());
        g_object_set_data(G_OBJECT(button), kButtonResponseKey, GINT_TO_POINTER(each.response));
        g_signal_connect(button, "clicked", G_CALLBACK(answerDialog), dialog);
        gtk_box_pack_start(GTK_BOX(row), button, TRUE, TRUE, 0);
        if (each.response == defaultResponse) {
            gtk_widget_set_can_default(button, TRUE);
            gtk_window_set_default(GTK_WINDOW(dialog), button);
        }
    }
    return row;
}

GtkWidget* dialogButton(GtkWidget* dialog, int response) {
    GtkWidget* found = nullptr;
    // Depth-first through the dialog for the button carrying this response.
    GList* pending = g_list_prepend(nullptr, dialog);
    while (pending != nullptr && found == nullptr) {
        GtkWidget* widget = GTK_WIDGET(pending->data);
        pending = g_list_delete_link(pending, pending);
        if (GTK_IS_BUTTON(widget) &&
            g_object_get_data(G_OBJECT(widget), kButtonResponseKey) == GINT_TO_POINTER(response)) {
            found = widget;
        } else if (GTK_IS_CONTAINER(widget)) {
            GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
            pending = g_list_concat(children, pending);
        }
    }
    g_list_free(pending);
    return found;
}

void setInitialFocus(GtkWidget* dialog, GtkWidget* widget) {
    g_object_set_data(G_OBJECT(dialog), "tov-initial-focus", widget);
}

void takeInitialFocus(GtkWidget* dialog) {
    if (auto* widget =
            static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(dialog), "tov-initial-focus")))
        gtk_widget_grab_focus(widget);
}

GdkPixbuf* programIcon(int size) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("svg", nullptr);
    if (loader == nullptr)
        return nullptr; // no SVG loader installed: the windows go without the icon
    gdk_pixbuf_loader_set_size(loader, size, size);
    GdkPixbuf* icon = nullptr;
    const bool written =
        gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(kProgramIconSvg),
                                sizeof kProgramIconSvg - 1, nullptr);
    // Closed whatever the write did, as the loader requires.
    if (gdk_pixbuf_loader_close(loader, nullptr) && written) {
        icon = gdk_pixbuf_loader_get_pixbuf(loader);
        if (icon != nullptr)
            g_object_ref(icon);
    }
    g_object_unref(loader);
    return icon;
}

void centreWindow(GtkWidget* window) {
    GdkDisplay* display = gtk_widget_get_display(window);
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr)
        monitor = gdk_display_get_monitor(display, 0);
    if (monitor == nullptr)
        return; // nowhere to measure: the window stays where it is
    GdkRectangle screen;
    gdk_monitor_get_geometry(monitor, &screen);
    int width = 0;
    int height = 0;
    gtk_window_get_size(GTK_WINDOW(window), &width, &height);
    const WindowOrigin origin = centredOrigin(screen.width, screen.height, 0, 0, width, height);
    gtk_window_move(GTK_WINDOW(window), screen.x + origin.x, screen.y + origin.y);
}
