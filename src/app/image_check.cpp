// SPDX-License-Identifier: MIT
// One parser for every image the program may send, carried or from a file.
#include "app/image_check.h"

#include "app/firmware_image.h"
#include "base/text.h"

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kLengthOffset = 88;

ImageProduct productOf(std::span<const std::uint8_t> image) {
    const std::string_view magic(reinterpret_cast<const char*>(image.data()), 7);
    if (equalsIgnoringCase(magic, "tov3000"))
        return ImageProduct::tov3000;
    if (equalsIgnoringCase(magic, "tov2000"))
        return ImageProduct::tov2000;
    return ImageProduct::other;
}

// The version text from byte 92 to its NUL, which must come by byte 127; printable ASCII only.
bool readVersion(std::span<const std::uint8_t> image, std::array<char, 36>& version) {
    std::size_t length = 0;
    while (kImageVersionOffset + length < kHeaderSize && image[kImageVersionOffset + length] != 0)
        ++length;
    if (length == 0 || kImageVersionOffset + length == kHeaderSize)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t c = image[kImageVersionOffset + i];
        if (c < 0x20 || c > 0x7e)
            return false;
    }
    copyText(version,
             std::string_view(reinterpret_cast<const char*>(image.data() + kImageVersionOffset),
                              length));
    return true;
}

} // namespace

ImageReport checkFirmwareImage(std::span<const std::uint8_t> image, const ImageRules& rules) {
    ImageReport report;
    if (image.size() > kLargestImage) {
        report.size = kLargestImage + 1;
        report.verdict = ImageVerdict::tooLarge;
        return report;
    }
    report.size = static_cast<std::uint32_t>(image.size());
    report.sha256 = sha256(image);
    if (image.size() < kHeaderSize) {
        report.verdict = ImageVerdict::truncated;
        return report;
    }
    report.declaredSize =
        std::uint32_t{image[kLengthOffset]} << 24 | std::uint32_t{image[kLengthOffset + 1]} << 16 |
        std::uint32_t{image[kLengthOffset + 2]} << 8 | std::uint32_t{image[kLengthOffset + 3]};
    report.product = productOf(image);
    report.standIn = isStandInImage(image);
    const bool versionSound = readVersion(image, report.version);
    // Damage first: no override makes a cut image whole.
    if (report.declaredSize != report.size)
        report.verdict = ImageVerdict::truncated;
    else if (report.product == ImageProduct::other && !rules.force)
        report.verdict = ImageVerdict::unknownMagic;
    else if (!versionSound)
        report.verdict = ImageVerdict::badVersion;
    else if (rules.expectedSha256 && *rules.expectedSha256 != report.sha256)
        report.verdict = ImageVerdict::digestMismatch;
    return report;
}

bool isStandInImage(std::span<const std::uint8_t> image) {
    if (image.size() < kLengthOffset)
        return false;
    for (std::size_t i = 16; i < kLengthOffset; ++i)
        if (image[i] != static_cast<std::uint8_t>((i * 37 + 11) & 0xff))
            return false;
    return true;
}

const char* imageProductName(ImageProduct product) {
    switch (product) {
    case ImageProduct::tov3000:
        return "TOV-3000";
    case ImageProduct::tov2000:
        return "TOV-1000/2000";
    case ImageProduct::other:
        break;
    }
    return "ODM-Product";
}
