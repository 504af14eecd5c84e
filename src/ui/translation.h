// SPDX-License-Identifier: MIT
// The Linux front-ends' translations (gettext, domain "tov-upgrade"). A translated text comes in
// code page 1252, as every other text of the program does, so it takes the same way to the
// screen; German and the other western languages fit in it. Fixed texts only: a value the device
// reported, an address or a version is shown as it is.
#pragma once

#include "ui/translatable.h"

// The user's language from the environment (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), the catalogues
// from the locale folder installed beside the program, or from TOV_LOCALEDIR (a program run from
// its build folder: build/<preset>/locale). Before any text is shown.
void startTranslations();

// The folder the catalogues are taken from instead of the installed one, or nullptr. A link-time
// choice: the packaged programs link catalogue_folder_installed.cpp (none, and no environment
// read), the test builds catalogue_folder_given.cpp (TOV_LOCALEDIR).
const char* givenCatalogueFolder();

// From here on every text as it stands (the terminal program's --json, which scripts read).
void stopTranslations();

// `text` in the user's language, or `text` itself where no translation has it.
const char* translated(const char* text)
#if defined(__GNUC__)
    __attribute__((format_arg(1)))
#endif
    ;
