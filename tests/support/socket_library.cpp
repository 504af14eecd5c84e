// SPDX-License-Identifier: MIT
// Starts the socket library as every test program begins, as the program's own start-up does:
// Winsock refuses every socket call before it (elsewhere this does nothing).
#include "platform/platform.h"

namespace {
[[maybe_unused]] const bool socketLibraryStarted = initSocketLibrary();
} // namespace
