// The program's whole control flow: start-up, notice, address, the device's page, confirmation,
// the TFTP listener and the upgrade request; after that the TFTP thread carries the upgrade.
#pragma once

#include <cstdint>
#include <span>

inline constexpr std::size_t kUpgradePathSize = 128;

// Returns 0 on every path on which it returns; never returns once the upgrade request was sent.
int runUpgrade(void* instance);

// "/admin/upgrade?tftp://%u.%u.%u.%u:%u%s" with the computer's address, the TFTP port and the
// file name (which begins with a slash). Always terminated; at most 55 characters in practice.
void formatUpgradePath(std::span<char, kUpgradePathSize> path, std::uint32_t localAddress,
                       std::uint16_t tftpPort, const char* fileName);
