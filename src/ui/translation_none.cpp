// SPDX-License-Identifier: MIT
// A build without translations (the Windows console program): every text as it stands.
#include "ui/translation.h"

void startTranslations() {}

void stopTranslations() {}

const char* translated(const char* text) {
    return text;
}
