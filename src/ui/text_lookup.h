// SPDX-License-Identifier: MIT
// How the shared formatting finds a fixed text (a template or a failure's words) in the user's
// language: the Linux front-ends pass their translated(), everything else the text as it is.
#pragma once

using TextLookup = const char* (*)(const char* text);

inline const char* untranslated(const char* text) {
    return text;
}
