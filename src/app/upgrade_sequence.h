// SPDX-License-Identifier: MIT
// The program's whole control flow, from the notice to the outcome.
#pragma once

#include <array>
#include <cstdint>

#include "app/firmware_delivery.h"
#include "app/image_source.h"

// What a program may choose beyond the dialogs.
struct UpgradeOptions {
    std::uint16_t tftpPort = 0; // serve the image from this UDP port only (0: 69 and up)
    // The terminal and GTK programs check the image (carried or from a file) before any request
    // and against the device before the confirmation; the Windows program sends what it carries.
    bool checkImage = false;
    ImageChoice image;
    bool checksOnly = false; // end after the checks against the device, before the confirmation
};

// Returns 0 on every path, once everything it started has ended (an abandoned request worker
// excepted: see the entry points, which end the process at once).
int runUpgrade(void* instance, const UpgradeOptions& options = {});

// The TFTP thread's part, deliverFirmware (declared in app/firmware_delivery.h), is defined
// beside runUpgrade: the device asks for the offered file (waiting window), receives it (upload
// window) and gets its settling wait; how it went is returned for the main thread.

// "/admin/upgrade?tftp://%u.%u.%u.%u:%u%s" with the computer's address, the TFTP port and the
// file name (which begins with a slash). Always terminated; at most 55 characters in practice.
inline constexpr std::size_t kUpgradePathSize = 128;
using UpgradePath = std::array<char, kUpgradePathSize>;
UpgradePath formatUpgradePath(std::uint32_t localAddress, std::uint16_t tftpPort,
                              const char* fileName);
