// SPDX-License-Identifier: MIT
// Cutting the device's identification out of its information page.
#include "http/device_page.h"

#include <cstring>
#include <string_view>

bool extractPageValue(const char* page, const char* label, char* dest, int limit) {
    const std::string_view text(page);
    std::size_t p = text.find(label);
    if (p == std::string_view::npos)
        return false;

    // Step over the label's own closing tag and any run of adjacent tags.
    do {
        const std::size_t close = text.find('>', p);
        if (close == std::string_view::npos)
            return false;
        p = close + 1;
    } while (p < text.size() && text[p] == '<');

    const std::string_view rest = text.substr(p);
    std::string_view value = rest.substr(0, rest.find('<'));
    if (limit < 0)
        limit = 0;
    if (value.size() > static_cast<std::size_t>(limit))
        value = value.substr(0, static_cast<std::size_t>(limit));
    std::memcpy(dest, value.data(), value.size());
    dest[value.size()] = '\0';
    return true;
}

void extractDeviceInfo(const char* page, DeviceInfo& info) {
    static_assert(sizeof info.deviceProductName > kPageValueLimit);
    extractPageValue(page, kProductNameLabel, info.deviceProductName, kPageValueLimit);
    extractPageValue(page, kMacAddressLabel, info.macAddress, kPageValueLimit);
    extractPageValue(page, kSoftwareVersionLabel, info.softwareVersion, kPageValueLimit);
    extractPageValue(page, kHardwareVersionLabel, info.hardwareVersion, kPageValueLimit);
    extractPageValue(page, kSerialNumberLabel, info.serialNumber, kPageValueLimit);
}
