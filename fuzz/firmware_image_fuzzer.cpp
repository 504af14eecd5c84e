// SPDX-License-Identifier: MIT
// Any image the program might carry or be given: the header copy, the product name, the version
// text and the block numbering of the transfer, and the check every image passes before it is
// sent. The version never runs past the header copy, the product name agrees with the C library's
// case-insensitive comparison, the blocks cover the image exactly once, in order, without reading
// outside it; an accepted image has the size it declares and a printable version, a cut one is
// refused whatever `force` says, and the versions compared are ordered both ways alike.
#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/context.h"
#include "app/device_checks.h"
#include "app/firmware_image.h"
#include "app/image_check.h"
#include "fuzz_check.h"
#include "tftp/tftp_session.h"

namespace {

// The image's own check, with and without `force`.
void checkTheCheck(const std::vector<std::uint8_t>& image) {
    const std::size_t size = image.size();
    for (const bool force : {false, true}) {
        ImageRules rules;
        rules.force = force;
        const ImageReport report = checkFirmwareImage(image, rules);
        if (size > kLargestImage) {
            FUZZ_CHECK(report.verdict == ImageVerdict::tooLarge);
            continue;
        }
        FUZZ_CHECK(report.sha256 == sha256(image));
        const bool cut = size < 128 || (std::uint32_t{image[88]} << 24 | image[89] << 16 |
                                        image[90] << 8 | image[91]) != size;
        FUZZ_CHECK((report.verdict == ImageVerdict::truncated) == cut);
        if (report.verdict != ImageVerdict::accepted)
            continue;
        FUZZ_CHECK(force ||
                   strncasecmp(reinterpret_cast<const char*>(image.data()), "tov", 3) == 0);
        const std::string_view version(report.version.data());
        FUZZ_CHECK(!version.empty() && version.size() <= 35);
        FUZZ_CHECK(
            std::memcmp(version.data(), image.data() + kImageVersionOffset, version.size()) == 0);
        FUZZ_CHECK(image[kImageVersionOffset + version.size()] == 0);
        for (const char c : version)
            FUZZ_CHECK(c >= 0x20 && c <= 0x7e);
        FUZZ_CHECK(std::strcmp(
                       imageProductName(report.product),
                       productNameFor(std::span<const std::uint8_t, 128>(image.data(), 128))) == 0);
    }
}

// Two texts from the input, ordered both ways.
void checkTheOrder(const std::vector<std::uint8_t>& image) {
    const std::size_t half = image.size() / 2;
    const std::string_view a(reinterpret_cast<const char*>(image.data()),
                             std::min<std::size_t>(half, 40));
    const std::string_view b(reinterpret_cast<const char*>(image.data() + half),
                             std::min<std::size_t>(image.size() - half, 40));
    const auto ab = compareFirmwareVersions(a, b);
    const auto ba = compareFirmwareVersions(b, a);
    FUZZ_CHECK(ab.has_value() == ba.has_value());
    if (ab)
        FUZZ_CHECK((*ab < 0) == (*ba > 0) && (*ab == 0) == (*ba == 0));
    if (const auto aa = compareFirmwareVersions(a, a))
        FUZZ_CHECK(*aa == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 8 * 1024 * 1024)
        return 0;
    // Exactly the image's bytes, so a read past its end is caught.
    const std::vector<std::uint8_t> image(data, data + size);
    checkTheCheck(image);
    checkTheOrder(image);
    FirmwareImage firmware{};
    const bool loaded = loadFirmwareImage(image, firmware);
    FUZZ_CHECK(loaded == (size >= kFirmwareHeaderSize));
    if (!loaded) {
        FUZZ_CHECK(firmware.firmwareData == nullptr);
        return 0;
    }
    FUZZ_CHECK(firmware.firmwareSize == size);

    const char* name = productNameFor(firmware.firmwareHeader);
    const char* header = reinterpret_cast<const char*>(image.data());
    const char* expected = strncasecmp(header, "tov3000", 7) == 0   ? "TOV-3000"
                           : strncasecmp(header, "tov2000", 7) == 0 ? "TOV-1000/2000"
                                                                    : "ODM-Product";
    FUZZ_CHECK(std::strcmp(name, expected) == 0);

    // The version: the bytes from 92 up to the first NUL, ending at byte 127 at the latest.
    const std::string_view version(imageVersion(firmware));
    FUZZ_CHECK(version.size() <= 35);
    FUZZ_CHECK(std::memcmp(version.data(), image.data() + kImageVersionOffset, version.size()) ==
               0);

    // The transfer's blocks.
    if (!tftpImageFits(static_cast<std::uint32_t>(size)))
        return 0;
    TftpSession session{};
    setTftpImageGeometry(session, imageBytes(firmware));
    FUZZ_CHECK(session.blockCount == size / 512 + 1);
    std::size_t offset = 0;
    for (std::uint32_t block = 1; block <= session.blockCount; ++block) {
        const auto bytes = tftpBlockData(session, block);
        FUZZ_CHECK(bytes.size() == (block < session.blockCount ? 512 : size % 512));
        FUZZ_CHECK(bytes.empty() || bytes.data() == firmware.firmwareData + offset);
        offset += bytes.size();
    }
    FUZZ_CHECK(offset == size);
    FUZZ_CHECK(tftpBlockData(session, 0).empty());
    FUZZ_CHECK(tftpBlockData(session, session.blockCount + 1).empty());
    return 0;
}
