// SPDX-License-Identifier: MIT
// The image's own check and the checks against the device: each verdict, the stand-in known by
// its bytes, the versions in order and the models.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/device_checks.h"
#include "app/image_check.h"
#include "http/device_page.h"
#include "platform/platform.h"

namespace {

std::vector<std::uint8_t> carried() {
    const auto image = firmwareBytes(nullptr);
    return {image.begin(), image.end()};
}

void setLength(std::vector<std::uint8_t>& image, std::uint32_t length) {
    for (int i = 0; i < 4; ++i)
        image[88 + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
}

ImageVerdict verdictOf(const std::vector<std::uint8_t>& image, const ImageRules& rules = {}) {
    return checkFirmwareImage(image, rules).verdict;
}

ImageRules forced() {
    ImageRules rules;
    rules.force = true;
    return rules;
}

TEST(ImageCheck, TheStandInPasses) {
    const auto image = carried();
    const ImageReport report = checkFirmwareImage(image, {});
    EXPECT_EQ(report.verdict, ImageVerdict::accepted);
    EXPECT_EQ(report.product, ImageProduct::tov2000);
    EXPECT_STREQ(report.version.data(), "2.0.10(e)");
    EXPECT_EQ(report.size, 725912u);
    EXPECT_TRUE(report.standIn);
    EXPECT_EQ(std::string(sha256Hex(report.sha256).data()),
              "1b297ec6412e0621b056ffb37cfdfd23e9e619822ae2827abfede0f500163c91");
}

TEST(ImageCheck, EachRefusal) {
    auto image = carried();
    image.pop_back();
    EXPECT_EQ(verdictOf(image), ImageVerdict::truncated) << "shorter than declared";
    EXPECT_EQ(verdictOf(image, forced()), ImageVerdict::truncated) << "whatever --force";
    EXPECT_EQ(verdictOf(std::vector<std::uint8_t>(127, 0)), ImageVerdict::truncated);

    image = carried();
    std::memcpy(image.data(), "FAX9000", 7);
    EXPECT_EQ(verdictOf(image), ImageVerdict::unknownMagic);
    EXPECT_EQ(verdictOf(image, forced()), ImageVerdict::accepted);
    std::memcpy(image.data(), "tov3000", 7);
    EXPECT_EQ(checkFirmwareImage(image, {}).product, ImageProduct::tov3000) << "any case";

    image = carried();
    std::fill(image.begin() + 92, image.begin() + 128, std::uint8_t{'1'});
    EXPECT_EQ(verdictOf(image), ImageVerdict::badVersion) << "no NUL by byte 127";
    image = carried();
    image[93] = 0x07;
    EXPECT_EQ(verdictOf(image), ImageVerdict::badVersion) << "unprintable";
    image = carried();
    image[92] = 0;
    EXPECT_EQ(verdictOf(image), ImageVerdict::badVersion) << "empty";

    image = carried();
    ImageRules rules;
    rules.expectedSha256 = Sha256Digest{};
    EXPECT_EQ(verdictOf(image, rules), ImageVerdict::digestMismatch);
    rules.expectedSha256 = sha256(image);
    EXPECT_EQ(verdictOf(image, rules), ImageVerdict::accepted);
}

TEST(ImageCheck, AtMost65535Blocks) {
    auto image = carried();
    image.resize(kLargestImage);
    setLength(image, kLargestImage);
    EXPECT_EQ(verdictOf(image), ImageVerdict::accepted);
    image.push_back(0);
    setLength(image, kLargestImage + 1);
    EXPECT_EQ(verdictOf(image), ImageVerdict::tooLarge);
}

TEST(ImageCheck, TheStandInIsKnownByItsBytes) {
    auto image = carried();
    std::memcpy(image.data(), "TOV3000", 7); // another magic or version leaves it the stand-in
    EXPECT_TRUE(isStandInImage(image));
    image[40] ^= 1;
    EXPECT_FALSE(isStandInImage(image));
    EXPECT_FALSE(checkFirmwareImage(image, {}).standIn);
}

TEST(DeviceChecks, VersionsInOrder) {
    EXPECT_GT(*compareFirmwareVersions("2.0.10(e)", "2.0.9(z)"), 0) << "numbers as numbers";
    EXPECT_LT(*compareFirmwareVersions("2.0.10(e)", "3.1.0(a)"), 0);
    EXPECT_EQ(*compareFirmwareVersions("2.0.10(e)", "2.0.10(E)"), 0);
    EXPECT_GT(*compareFirmwareVersions("2.0.10(e)", "2.0.10(a)"), 0) << "then the letter";
    EXPECT_GT(*compareFirmwareVersions("2.0.10(a)", "2.0.10"), 0) << "no letter first";
    EXPECT_EQ(*compareFirmwareVersions("2.0", "2.0.0"), 0);
    EXPECT_FALSE(compareFirmwareVersions("2.0.10(e)", ""));
    EXPECT_FALSE(compareFirmwareVersions("2.0.10(e)", "beta 7"));
    EXPECT_FALSE(compareFirmwareVersions("2.0.10(e)", "2.0.x"));
    EXPECT_FALSE(compareFirmwareVersions("2..0", "2.0"));
}

TEST(DeviceChecks, FindingsFromThePage) {
    DeviceInfo device{};
    std::strcpy(device.deviceProductName, "TOV-2000");
    std::strcpy(device.softwareVersion, "2.0.9(a)");
    ImageFindings f = checkImageAgainstDevice(device, ImageProduct::tov2000, "2.0.10(e)");
    EXPECT_TRUE(f.clear());
    std::strcpy(device.softwareVersion, "2.0.10(e)");
    EXPECT_EQ(checkImageAgainstDevice(device, ImageProduct::tov2000, "2.0.10(e)").version,
              VersionOrder::same);
    std::strcpy(device.softwareVersion, "3.1.0(a)");
    EXPECT_EQ(checkImageAgainstDevice(device, ImageProduct::tov2000, "2.0.10(e)").version,
              VersionOrder::older);
    std::strcpy(device.softwareVersion, "?");
    EXPECT_EQ(checkImageAgainstDevice(device, ImageProduct::tov2000, "2.0.10(e)").version,
              VersionOrder::unknown);

    EXPECT_TRUE(productFits(ImageProduct::tov2000, "TOV-1000"));
    EXPECT_TRUE(productFits(ImageProduct::tov3000, "TOV-3000 Pro"));
    EXPECT_FALSE(productFits(ImageProduct::tov3000, "TOV-2000"));
    EXPECT_FALSE(productFits(ImageProduct::other, "TOV-2000"));
    std::strcpy(device.deviceProductName, "FAX-9000");
    EXPECT_EQ(checkImageAgainstDevice(device, ImageProduct::tov2000, "2.0.10(e)").model,
              ModelMatch::mismatch);
    device.deviceProductName[0] = 0;
    EXPECT_EQ(checkImageAgainstDevice(device, ImageProduct::tov2000, "2.0.10(e)").model,
              ModelMatch::unnamed);
}

} // namespace
