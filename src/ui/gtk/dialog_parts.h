// SPDX-License-Identifier: MIT
// The pieces the GTK windows are built from, each standing for one kind of control of the
// Windows dialogs. GUI thread only.
#pragma once

#include <gtk/gtk.h>

#include <initializer_list>
#include <string>
#include <string_view>

// A dialog window with the given (ANSI) title, not resizable; its content is a grid.
GtkWidget* newDialogWindow(const char* title);
GtkGrid* dialogGrid(GtkWidget* dialog);

// A text made for fixed-width dialogs, for a label that wraps by itself: each single line break
// becomes one space, a blank line stays a paragraph break, and a line that opens with neither a
// letter nor a digit (a banner such as "* * * Warning * * *", a list item) keeps a line of its
// own. Every other character stays as it is (the double spaces after full stops too).
std::string flowingText(std::string_view utf8);

// How wide a text panel grows before it wraps, in characters.
inline constexpr int kPanelWidthChars = 56;
// A text panel: the text flowing (flowingText), wrapped within kPanelWidthChars.
GtkWidget* newTextPanel(const char* ansi);
// A label, aligned left (0), centred (0.5) or right (1); wrapped within `widthChars` when > 0.
GtkWidget* newLabel(const char* ansi, float xalign, int widthChars = 0);
// A read-only value: a label the user can select and copy, named `name` (the window log and the
// accessibility test find it by that name). It takes the focus, so a caption can lead to it.
GtkWidget* newValueLabel(const char* name, const char* ansi);
// An entry field; masked for a password.
GtkWidget* newEntryField(const char* name, const char* ansi, bool masked);

// `text` as a mnemonic label: "_" before the first occurrence of `at` (the key Alt opens it
// with), other underscores doubled so that they show. Unchanged (escaped) when `at` is empty. A
// translation may lack `at`: the "_" then goes before `at` in the other letter case, or else
// before the text's first letter or digit.
std::string withMnemonic(std::string_view text, std::string_view at);

// A caption for `control`: its mnemonic (`at`, see withMnemonic) moves the focus there, and a
// screen reader names the control by it (a value label keeps its value as its name, the caption
// standing beside it as its label). Aligned as newLabel.
GtkWidget* newCaption(const char* ansi, std::string_view at, GtkWidget* control, float xalign);
// Names a control for a screen reader, where no caption stands beside it.
void setAccessibleName(GtkWidget* widget, const char* utf8);

struct DialogButton {
    const char* label;
    std::string_view mnemonic; // where the "_" goes, see withMnemonic
    int response;              // 1 the affirmative button, 2 Cancel
};
// The dialog's buttons in its action area, in the order given (GNOME's: Cancel first, the
// affirmative one last, on the right); the one named `defaultResponse` is the default (Enter).
// The buttons are found with dialogButton().
void addDialogButtons(GtkWidget* dialog, std::initializer_list<DialogButton> buttons,
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
// Moves a window to the middle of the primary screen for the size given (one it is about to
// take); returns where it now stands.
GdkRectangle centreWindowAtSize(GtkWidget* window, int width, int height);
