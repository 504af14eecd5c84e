// SPDX-License-Identifier: MIT
// The packaged programs: their catalogues only from the folder installed beside them.
#include "ui/translation.h"

const char* givenCatalogueFolder() {
    return nullptr;
}
