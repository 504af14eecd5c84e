// SPDX-License-Identifier: MIT
// A modal dialog as the core sees it: the calling thread waits until the user has answered,
// while the dialog itself lives on the GUI thread.
#pragma once

#include <gtk/gtk.h>

#include <functional>

inline constexpr int kAffirmative = 1;
inline constexpr int kCancel = 2; // also Escape and the close box
inline constexpr int kKeepOpen = -1;

// `build` makes the dialog on the GUI thread (texts filled, focus and default button chosen, not
// yet shown). Then the dialog is shown, centred and logged as `kind`. `respond` is called on the
// GUI thread for each answer (kAffirmative, or kCancel for Cancel, Escape and the close box) and
// returns the dialog's result, or kKeepOpen to leave it standing. Returns that result.
int runModalDialog(const char* kind, const std::function<GtkWidget*()>& build,
                   const std::function<int(GtkWidget* dialog, int response)>& respond);
