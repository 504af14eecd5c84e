// SPDX-License-Identifier: MIT
// Access to the embedded firmware image.
#include "app/firmware_image.h"

#include <cstring>

namespace {

// ASCII case-insensitive comparison of at most n characters, stopping early at a NUL.
bool equalsIgnoringCase(const std::uint8_t* text, const char* expected, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        auto a = static_cast<unsigned char>(text[i]);
        auto b = static_cast<unsigned char>(expected[i]);
        if (a >= 'A' && a <= 'Z')
            a = static_cast<unsigned char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<unsigned char>(b - 'A' + 'a');
        if (a != b)
            return false;
        if (a == '\0')
            return true;
    }
    return true;
}

} // namespace

bool loadFirmwareImage(std::span<const std::uint8_t> image, FirmwareImage& firmware) {
    if (image.size() < kFirmwareHeaderSize || image.size() > UINT32_MAX)
        return false;
    firmware.firmwareData = image.data();
    firmware.firmwareSize = static_cast<std::uint32_t>(image.size());
    std::memcpy(firmware.firmwareHeader, image.data(), kFirmwareHeaderSize);
    // A version text without its NUL is cut at byte 127 of the copy (35 characters at most);
    // the byte is only ever read as the version's end.
    firmware.firmwareHeader[kFirmwareHeaderSize - 1] = 0;
    return true;
}

const char* productNameFor(std::span<const std::uint8_t, 128> header) {
    if (equalsIgnoringCase(header.data(), "tov3000", 7))
        return "TOV-3000";
    if (equalsIgnoringCase(header.data(), "tov2000", 7))
        return "TOV-1000/2000";
    return "ODM-Product";
}

const char* imageVersion(const FirmwareImage& firmware) {
    return reinterpret_cast<const char*>(firmware.firmwareHeader + kImageVersionOffset);
}

std::span<const std::uint8_t> imageBytes(const FirmwareImage& firmware) {
    return {firmware.firmwareData, firmware.firmwareSize};
}
