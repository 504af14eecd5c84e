// SPDX-License-Identifier: MIT
// The state of one upgrade run. runUpgrade owns it and hands each step what it needs; every field
// starts out zero.
#pragma once

#include <cstddef>
#include <cstdint>

#include "http/device_page.h"
#include "http/digest.h"

inline constexpr std::size_t kResponseBufferSize = 131072; // one byte stays for the zero
inline constexpr std::size_t kFirmwareHeaderSize = 128;
inline constexpr int kLocalAddressSlots = 8;

// The carried image: set once at start-up, read-only afterwards.
struct FirmwareImage {
    const std::uint8_t* firmwareData;
    std::uint32_t firmwareSize;
    std::uint8_t firmwareHeader[kFirmwareHeaderSize];
};

struct UpgradeContext {
    void* instance;                                   // module instance (HINSTANCE on Windows)
    std::uint32_t localAddresses[kLocalAddressSlots]; // filled slots first, then zeros
    std::uint32_t localAddress;
    std::uint32_t deviceAddress;
    char deviceAddressText[32];
    char fileName[128];
    char productName[32];
    FirmwareImage firmware;
    DeviceInfo deviceInfo;
    DigestChallenge digest;
};
