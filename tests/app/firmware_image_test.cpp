// SPDX-License-Identifier: MIT
// The embedded image: its layout, the product name and the version text.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "app/context.h"
#include "app/firmware_image.h"
#include "platform/platform.h"

namespace {

std::array<std::uint8_t, 128> headerWith(const char* magic) {
    std::array<std::uint8_t, 128> header{};
    std::memcpy(header.data(), magic, std::strlen(magic));
    return header;
}

TEST(EmbeddedImage, StandInHasTheDeviceLayout) {
    const auto image = firmwareBytes(nullptr);
    ASSERT_EQ(image.size(), 725912u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.data()), 16), "ToV2000 FiRmWaRe");
    const std::uint32_t lengthField = std::uint32_t{image[88]} << 24 |
                                      std::uint32_t{image[89]} << 16 |
                                      std::uint32_t{image[90]} << 8 | image[91];
    EXPECT_EQ(lengthField, image.size());
    EXPECT_STREQ(reinterpret_cast<const char*>(image.data() + 92), "2.0.10(e)");
    FirmwareImage firmware{};
    ASSERT_TRUE(loadFirmwareImage(image, firmware));
    EXPECT_STREQ(productNameFor(std::span<const std::uint8_t, 128>(firmware.firmwareHeader)),
                 "TOV-1000/2000");
    EXPECT_STREQ(imageVersion(firmware), "2.0.10(e)");
    EXPECT_EQ(firmware.firmwareData, image.data());
}

TEST(EmbeddedImage, ProductNameFromFirstSevenCharactersAnyCase) {
    EXPECT_STREQ(productNameFor(headerWith("TOV3000")), "TOV-3000");
    EXPECT_STREQ(productNameFor(headerWith("tOv3000-anything")), "TOV-3000");
    EXPECT_STREQ(productNameFor(headerWith("ToV2000 FiRmWaRe")), "TOV-1000/2000");
    EXPECT_STREQ(productNameFor(headerWith("tov2000x")), "TOV-1000/2000");
    EXPECT_STREQ(productNameFor(headerWith("TOV200")), "ODM-Product"); // NUL inside the seven
    EXPECT_STREQ(productNameFor(headerWith("XYZ2000")), "ODM-Product");
    EXPECT_STREQ(productNameFor(headerWith("")), "ODM-Product");
}

TEST(EmbeddedImage, TooShortImageIsRefusedAndVersionNeverRunsPastTheHeader) {
    std::array<std::uint8_t, 127> shortImage{};
    FirmwareImage firmware{};
    EXPECT_FALSE(loadFirmwareImage(shortImage, firmware));
    EXPECT_FALSE(loadFirmwareImage({}, firmware));

    std::array<std::uint8_t, 200> image{};
    std::memset(image.data() + 92, 'v', 108); // no NUL anywhere after byte 92
    ASSERT_TRUE(loadFirmwareImage(image, firmware));
    EXPECT_EQ(std::string(imageVersion(firmware)), std::string(35, 'v'));
    EXPECT_EQ(image[127], 'v'); // the image itself is untouched
}

} // namespace
