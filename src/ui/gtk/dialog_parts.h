// The pieces the GTK windows are built from, each standing for one kind of control of the
// Windows dialogs. GUI thread only.
#pragma once

#include <gtk/gtk.h>

#include <initializer_list>

// A dialog window with the given (ANSI) title, not resizable; its content is a grid.
GtkWidget* newDialogWindow(const char* title);
GtkGrid* dialogGrid(GtkWidget* dialog);

// A text panel: the text as it stands, breaking only at its own line breaks.
GtkWidget* newTextPanel(const char* ansi);
// A label, aligned left (0), centred (0.5) or right (1); wrapped within `widthChars` when > 0.
GtkWidget* newLabel(const char* ansi, float xalign, int widthChars = 0);
// A value box: one read-only value with a frame.
GtkWidget* newValueBox(const char* name, const char* ansi);
// An entry field; masked for a password.
GtkWidget* newEntryField(const char* name, const char* ansi, bool masked);

struct DialogButton {
    const char* label;
    int response; // 1 the affirmative button, 2 Cancel
};
// A row of buttons that answer the dialog with their response; the one named `defaultResponse`
// is the default button (Enter). Returns the row; the buttons are found with dialogButton().
GtkWidget* newButtonRow(GtkWidget* dialog, std::initializer_list<DialogButton> buttons,
                        int defaultResponse);
GtkWidget* dialogButton(GtkWidget* dialog, int response);

// The widget that has the focus when the dialog opens (taken once it is shown, so that Tab moves
// on from there).
void setInitialFocus(GtkWidget* dialog, GtkWidget* widget);
void takeInitialFocus(GtkWidget* dialog);

// The program's icon at `size` pixels (nullptr when it cannot be drawn).
GdkPixbuf* programIcon(int size);

// Moves a shown window to the middle of the primary screen, keeping its size.
void centreWindow(GtkWidget* window);
