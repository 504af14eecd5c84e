// SPDX-License-Identifier: MIT
// The packaged program's window log: none. It reads no environment variable and writes nothing;
// only the tests' build of the program (tests/gtk, tov-upgrade-logged) links ui_log.cpp instead.
#include "ui_log.h"

void logUiLine(std::string_view) {}

void logWindowContents(GtkWidget*, std::string_view, const GdkRectangle*) {}
