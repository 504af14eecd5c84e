// SPDX-License-Identifier: MIT
// The checks of the image against what the device reports, before it is asked to upgrade.
#include "app/device_checks.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/text.h"
#include "http/device_page.h"

namespace {

struct ParsedVersion {
    std::vector<std::uint32_t> numbers;
    char letter = 0; // lower case; 0 for none
};

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::optional<ParsedVersion> parseVersion(std::string_view text) {
    text = trimmed(text);
    ParsedVersion version;
    std::size_t at = 0;
    for (;;) {
        if (at >= text.size() || !isDigit(text[at]))
            return std::nullopt;
        std::uint32_t number = 0;
        for (; at < text.size() && isDigit(text[at]); ++at) {
            if (number > 99999999)
                return std::nullopt; // no version part is that long
            number = number * 10 + static_cast<std::uint32_t>(text[at] - '0');
        }
        version.numbers.push_back(number);
        if (at < text.size() && text[at] == '.') {
            ++at;
            continue;
        }
        break;
    }
    if (at == text.size())
        return version;
    // Only a letter in brackets may follow the numbers.
    if (text.size() - at != 3 || text[at] != '(' || text[at + 2] != ')')
        return std::nullopt;
    char letter = text[at + 1];
    if (letter >= 'A' && letter <= 'Z')
        letter = static_cast<char>(letter - 'A' + 'a');
    if (letter < 'a' || letter > 'z')
        return std::nullopt;
    version.letter = letter;
    return version;
}

} // namespace

std::optional<int> compareFirmwareVersions(std::string_view a, std::string_view b) {
    const auto left = parseVersion(a);
    const auto right = parseVersion(b);
    if (!left || !right)
        return std::nullopt;
    const std::size_t parts = std::max(left->numbers.size(), right->numbers.size());
    for (std::size_t i = 0; i < parts; ++i) {
        const std::uint32_t x = i < left->numbers.size() ? left->numbers[i] : 0;
        const std::uint32_t y = i < right->numbers.size() ? right->numbers[i] : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (left->letter != right->letter)
        return left->letter < right->letter ? -1 : 1;
    return 0;
}

bool productFits(ImageProduct product, std::string_view productName) {
    switch (product) {
    case ImageProduct::tov3000:
        return productName.find("3000") != std::string_view::npos;
    case ImageProduct::tov2000:
        return productName.find("1000") != std::string_view::npos ||
               productName.find("2000") != std::string_view::npos;
    case ImageProduct::other:
        break;
    }
    return false;
}

ImageFindings checkImageAgainstDevice(const DeviceInfo& device, ImageProduct product,
                                      const char* imageVersion) {
    ImageFindings findings{};
    findings.deviceVersion = device.softwareVersion;
    findings.imageVersion = imageVersion;
    findings.deviceProduct = device.deviceProductName;
    findings.imageProduct = imageProductName(product);

    const auto order = compareFirmwareVersions(imageVersion, textIn(device.softwareVersion));
    findings.version = !order        ? VersionOrder::unknown
                       : *order > 0  ? VersionOrder::newer
                       : *order == 0 ? VersionOrder::same
                                     : VersionOrder::older;
    const std::string_view name = trimmed(textIn(device.deviceProductName));
    findings.model = name.empty()                 ? ModelMatch::unnamed
                     : productFits(product, name) ? ModelMatch::matches
                                                  : ModelMatch::mismatch;
    return findings;
}
