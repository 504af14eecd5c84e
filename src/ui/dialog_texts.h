// SPDX-License-Identifier: MIT
// The titles and captions that carry a value, formatted once for every front-end.
#pragma once

#include <array>
#include <cstdint>

#include "base/text.h" // addressText
#include "ui/text_lookup.h"
#include "ui/ui.h"

using DialogTitle = std::array<char, 80>;
using WindowCaption = std::array<char, 128>;

// Each takes its template through `lookup` (the Linux front-ends: in the user's language); the
// values go in as they are.
// "<product> Firmware Upgrade"
DialogTitle programTitle(const char* productName, TextLookup lookup = untranslated);
// "Confirm Upgrade to Ver. <version>"
DialogTitle confirmTitle(const char* imageVersion, TextLookup lookup = untranslated);
// "TOV@<address> Upgrade Successful!"
DialogTitle successTitle(const char* deviceAddressText, TextLookup lookup = untranslated);
// "Connecting with TOV@<address>"
DialogTitle connectingTitle(const char* deviceAddressText, TextLookup lookup = untranslated);
// "Version <version>"
DialogTitle versionLabel(const char* imageVersion, TextLookup lookup = untranslated);

// "Uploading Firmware to TOV@<address> <acknowledged>/<size> Bytes"
WindowCaption uploadCaption(const char* deviceAddressText, std::uint32_t bytesAcknowledged,
                            std::uint32_t imageSize, TextLookup lookup = untranslated);
// "Updating Firmware to TOV@<address>", during the device's settling wait.
WindowCaption settlingCaption(const char* deviceAddressText, TextLookup lookup = untranslated);

// A progress window's title as it opens: "Connecting with TOV@<address>", "Waiting For Firmware
// Upload Request From TOV" or "Uploading Firmware To TOV".
DialogTitle progressTitle(const ProgressSubject& subject, TextLookup lookup = untranslated);
