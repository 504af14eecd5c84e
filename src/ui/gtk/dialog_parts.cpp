// SPDX-License-Identifier: MIT
// Building blocks of the GTK windows.
#include "dialog_parts.h"

#include <string>

#include "program_icon_svg.h"
#include "ui/ansi_text.h"
#include "ui/window_placement.h"

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

namespace {

// A line that opens with a mark rather than a word is laid out, not prose. Bytes from 0x80 on
// open a non-ASCII character: a letter, as far as this is concerned.
bool standsAlone(std::string_view line) {
    const auto first = static_cast<unsigned char>(line.front());
    return first < 0x80 && !g_ascii_isalnum(static_cast<char>(first));
}

} // namespace

std::string flowingText(std::string_view utf8) {
    std::string out;
    std::string_view previous;
    bool firstLine = true;
    for (std::string_view rest = utf8;;) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        if (!firstLine) {
            const bool paragraph = previous.empty() || line.empty();
            out += paragraph || standsAlone(previous) || standsAlone(line) ? '\n' : ' ';
        }
        out += line;
        if (end == std::string_view::npos)
            return out;
        previous = line;
        firstLine = false;
        rest.remove_prefix(end + 1);
    }
}

GtkWidget* newTextPanel(const char* ansi) {
    GtkWidget* label = gtk_label_new(flowingText(displayText(ansi)).c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(label), kPanelWidthChars);
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

GtkWidget* newValueLabel(const char* name, const char* ansi) {
    GtkWidget* label = gtk_label_new(displayText(ansi).c_str());
    gtk_widget_set_name(label, name);
    gtk_label_set_selectable(GTK_LABEL(label), TRUE);
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    return label;
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

namespace {

bool sameIgnoringCase(std::string_view text, std::size_t from, std::string_view at) {
    if (text.size() - from < at.size())
        return false;
    for (std::size_t i = 0; i < at.size(); ++i)
        if (g_ascii_tolower(text[from + i]) != g_ascii_tolower(at[i]))
            return false;
    return true;
}

// Where the "_" goes (see withMnemonic); npos for none.
std::size_t mnemonicAt(std::string_view text, std::string_view at) {
    if (at.empty())
        return std::string_view::npos;
    if (const std::size_t exact = text.find(at); exact != std::string_view::npos)
        return exact;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (sameIgnoringCase(text, i, at))
            return i;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (g_ascii_isalnum(text[i]))
            return i;
    return std::string_view::npos;
}

} // namespace

std::string withMnemonic(std::string_view text, std::string_view at) {
    const std::size_t key = mnemonicAt(text, at);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == key)
            out += '_';
        if (text[i] == '_')
            out += '_';
        out += text[i];
    }
    return out;
}

GtkWidget* newCaption(const char* ansi, std::string_view at, GtkWidget* control, float xalign) {
    const std::string text = displayText(ansi);
    GtkWidget* label = gtk_label_new_with_mnemonic(withMnemonic(text, at).c_str());
    gtk_label_set_xalign(GTK_LABEL(label), xalign);
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), control);
    // A label is read by its own text; the caption reaches the reader as its label relation.
    if (!GTK_IS_LABEL(control))
        setAccessibleName(control, gtk_label_get_text(GTK_LABEL(label)));
    return label;
}

void setAccessibleName(GtkWidget* widget, const char* utf8) {
    atk_object_set_name(gtk_widget_get_accessible(widget), utf8);
}

void addDialogButtons(GtkWidget* dialog, std::initializer_list<DialogButton> buttons,
                      int defaultResponse) {
    for (const DialogButton& each : buttons)
        gtk_dialog_add_button(GTK_DIALOG(dialog),
                              withMnemonic(displayText(each.label), each.mnemonic).c_str(),
                              each.response);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), defaultResponse);
}

GtkWidget* dialogButton(GtkWidget* dialog, int response) {
    return gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), response);
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
    int width = 0;
    int height = 0;
    gtk_window_get_size(GTK_WINDOW(window), &width, &height);
    centreWindowAtSize(window, width, height);
}

GdkRectangle centreWindowAtSize(GtkWidget* window, int width, int height) {
    GdkRectangle place{0, 0, width, height};
    gtk_window_get_position(GTK_WINDOW(window), &place.x, &place.y);
    GdkDisplay* display = gtk_widget_get_display(window);
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr)
        monitor = gdk_display_get_monitor(display, 0);
    if (monitor == nullptr)
        return place; // nowhere to measure: the window stays where it is
    GdkRectangle screen;
    gdk_monitor_get_geometry(monitor, &screen);
    const WindowOrigin origin = centredOrigin(screen.width, screen.height, 0, 0, width, height);
    place.x = screen.x + origin.x;
    place.y = screen.y + origin.y;
    gtk_window_move(GTK_WINDOW(window), place.x, place.y);
    return place;
}
