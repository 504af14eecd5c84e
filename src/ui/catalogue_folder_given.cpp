// SPDX-License-Identifier: MIT
// The test builds, run from the build folder: the catalogues from TOV_LOCALEDIR when it is set
// (never in a program run with raised rights, whose templates would come from anyone's folder).
#include "ui/translation.h"

#include <cstdlib>

const char* givenCatalogueFolder() {
    const char* folder = secure_getenv("TOV_LOCALEDIR");
    return folder != nullptr && folder[0] != '\0' ? folder : nullptr;
}
