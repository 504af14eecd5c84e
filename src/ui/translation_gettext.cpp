// SPDX-License-Identifier: MIT
// The translations through the C library's gettext.
#include "ui/translation.h"

#include <libintl.h>

#include <clocale>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

constexpr char kDomain[] = "tov-upgrade";

// The installed catalogues, beside the program wherever its package or `cmake --install` put it:
// /usr/bin/tov-upgrade reads /usr/share/locale (TOV_LOCALEDIR_FROM_BINDIR, "../share/locale").
std::string installedFolder() {
    std::error_code failed;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", failed);
    if (failed)
        return {};
    return (program.parent_path() / TOV_LOCALEDIR_FROM_BINDIR).lexically_normal().string();
}

} // namespace

void startTranslations() {
    // The messages' locale only: numbers, times and the character classes stay as they were in
    // every language (scripts read the terminal program's lines), and the catalogues' code page
    // is named below. GTK sets the rest of the locale for its windows itself.
    std::setlocale(LC_MESSAGES, "");
    const char* given = givenCatalogueFolder();
    const std::string folder = given != nullptr ? std::string(given) : installedFolder();
    if (!folder.empty())
        bindtextdomain(kDomain, folder.c_str());
    bind_textdomain_codeset(kDomain, "CP1252");
    textdomain(kDomain);
}

void stopTranslations() {
    std::setlocale(LC_MESSAGES, "C");
}

const char* translated(const char* text) {
    return text[0] == '\0' ? text : dgettext(kDomain, text);
}
