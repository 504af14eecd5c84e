// The process-wide upgrade state. Every field starts out zero and lives for the whole run; the
// threads share it without locks and hand it over only at thread ends (see the runner).
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kResponseBufferSize = 131072;
// Every exchange is granted one byte less so that a terminating zero always fits.
inline constexpr int kResponseCapacity = static_cast<int>(kResponseBufferSize) - 1;
inline constexpr std::size_t kFirmwareHeaderSize = 128;
inline constexpr int kLocalAddressSlots = 8;

// The five identification texts cut from the device's page.
struct DeviceInfo {
    char deviceProductName[128];
    char macAddress[128];
    char softwareVersion[128];
    char hardwareVersion[128];
    char serialNumber[128];
};

// The Digest authentication state, field order and sizes as the device exchange expects.
struct DigestChallenge {
    std::uint32_t nonceCount;
    char lastNonce[128];
    char nonce[128];
    char cnonce[128];
    char userName[128];
    char password[128];
    char realm[128];
    char qop[16];
    char algorithm[16];
    char uri[128]; // always empty: the device is sent an empty digest URI
    char opaque[128];
};
static_assert(sizeof(DigestChallenge) == 1060);

// The embedded image: set once at start-up, read-only afterwards.
struct FirmwareImage {
    const std::uint8_t* firmwareData;
    std::uint32_t firmwareSize;
    std::uint8_t firmwareHeader[kFirmwareHeaderSize];
};

struct UpgradeContext {
    void* instance; // module instance (HINSTANCE on Windows)
    char hostName[128];
    std::uint32_t localAddresses[kLocalAddressSlots];
    std::uint32_t localAddress;
    std::uint32_t deviceAddress;
    char deviceAddressText[32];
    char fileName[128];
    char productName[32];
    FirmwareImage firmware;
    char responseBuffer[kResponseBufferSize];
    DeviceInfo deviceInfo;
    DigestChallenge digest;
};

extern UpgradeContext upgradeContext;
