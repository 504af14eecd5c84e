// SPDX-License-Identifier: MIT
// The titles and captions that carry a value, formatted once for every front-end.
#pragma once

#include <array>
#include <cstdint>

#include "base/text.h" // addressText
#include "ui/ui.h"

using DialogTitle = std::array<char, 80>;
using WindowCaption = std::array<char, 128>;

DialogTitle programTitle(const char* productName);          // "<product> Firmware Upgrade"
DialogTitle confirmTitle(const char* imageVersion);         // "Confirm Upgrade to Ver. <version>"
DialogTitle successTitle(const char* deviceAddressText);    // "TOV@<address> Upgrade Successful!"
DialogTitle connectingTitle(const char* deviceAddressText); // "Connecting with TOV@<address>"
DialogTitle versionLabel(const char* imageVersion);         // "Version <version>"

// "Uploading Firmware to TOV@<address> <acknowledged>/<size> Bytes"
WindowCaption uploadCaption(const char* deviceAddressText, std::uint32_t bytesAcknowledged,
                            std::uint32_t imageSize);
// "Updating Firmware to TOV@<address>", during the device's settling wait.
WindowCaption settlingCaption(const char* deviceAddressText);

// A progress window's title as it opens: "Connecting with TOV@<address>", "Waiting For Firmware
// Upload Request From TOV" or "Uploading Firmware To TOV".
DialogTitle progressTitle(const ProgressSubject& subject);
