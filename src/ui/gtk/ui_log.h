// SPDX-License-Identifier: MIT
// The window log for the tests: with TOV_GTK_LOG naming a file, every window the program shows is
// written there (title, texts, values, buttons, focus, default button, place), with every answer
// and title change. Without the variable nothing is written. Chosen at link time: ui_log.cpp in
// the tests' build of the program (tov-upgrade-logged), ui_log_off.cpp (nothing) in the packaged
// tov-upgrade, which so reads no environment variable of its own.
#pragma once

#include <gtk/gtk.h>

#include <string_view>

// One line; "\n" inside it is written as the two characters \n.
void logUiLine(std::string_view line);

// "show: <kind>" and everything the window holds, one line each; its place as given, else as the
// window reports it. GUI thread only.
void logWindowContents(GtkWidget* window, std::string_view kind,
                       const GdkRectangle* place = nullptr);
