// The embedded image, the product name, the version text, the generator and the dialog logic.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "app/context.h"
#include "app/firmware_image.h"
#include "base/random.h"
#include "platform/platform.h"
#include "ui/dialog_logic.h"
#include "ui/dotted_address.h"

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
    ASSERT_TRUE(loadFirmwareImage(image));
    EXPECT_STREQ(
        productNameFor(std::span<const std::uint8_t, 128>(upgradeContext.firmware.firmwareHeader)),
        "TOV-1000/2000");
    EXPECT_STREQ(imageVersion(), "2.0.10(e)");
    EXPECT_EQ(upgradeContext.firmware.firmwareData, image.data());
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
    EXPECT_FALSE(loadFirmwareImage(shortImage));
    EXPECT_FALSE(loadFirmwareImage({}));

    std::array<std::uint8_t, 200> image{};
    std::memset(image.data() + 92, 'v', 108); // no NUL anywhere after byte 92
    ASSERT_TRUE(loadFirmwareImage(image));
    EXPECT_EQ(std::string(imageVersion()), std::string(35, 'v'));
    EXPECT_EQ(image[127], 'v'); // the image itself is untouched
}

TEST(RandomGenerator, FollowsTheWindowsRuntimeSequence) {
    seedRandom(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int value : expected)
        EXPECT_EQ(drawRandom(), value);
    seedRandom(0xffffffffu);
    for (int i = 0; i < 1000; ++i) {
        const int v = drawRandom();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
}

struct AddressCase {
    const char* text;
    int code;
    std::uint32_t address;
};

TEST(DottedAddress, ChecksInOrderWithBothSeparators) {
    const AddressCase cases[] = {
        {"10.1.0.123", kAddressValid, 0x0a01007b},
        {"10*1*0*123", kAddressValid, 0x0a01007b},
        {"10.1*0.123", kAddressValid, 0x0a01007b},
        {"255.255.255.255", kAddressValid, 0xffffffff},
        {"1.2.3.4", kAddressValid, 0x01020304},
        {"010.001.0.9", kAddressValid, 0x0a010009},
        {"1..2.3.4", kAddressValid, 0x01020304},
        {".1.2.3.4", kAddressValid, 0x01020304},
        {"1.2.3.4.", kAddressValid, 0x01020304},
        {"0.0.0.0", kAddressValid, 0},
        {"1.2.34", kAddressBadLength, 0},
        {"", kAddressBadLength, 0},
        {"1111.2222.33334", kAddressPartTooLarge, 0},
        {"123456789012345", kAddressPartTooLarge, 0}, // one huge part, no wrap-around
        {"4294967552.1.1", kAddressPartTooLarge, 0},  // 2^32 + 256 must not wrap into range
        {"1.2.3.4.5", kAddressTooManyParts, 0},
        {"1.2.3", kAddressBadLength, 0},
        {"1.2.3..", kAddressTooFewParts, 0},
        {"1.2.3***", kAddressTooFewParts, 0},
        {"256.1.1.1", kAddressPartTooLarge, 0},
        {"1.2.3.4 ", kAddressBadCharacter, 0},
        {"1.2.3.-4", kAddressBadCharacter, 0},
        {"1.2.3.\xe4", kAddressBadCharacter, 0},
        {"1.2.3.256.7", kAddressPartTooLarge, 0}, // the large part is met before the fifth
        {"1.2.3.4.256", kAddressTooManyParts, 0},
    };
    for (const AddressCase& c : cases) {
        std::uint32_t address = 0xdeadbeef;
        EXPECT_EQ(parseDottedAddress(c.text, &address), c.code) << c.text;
        EXPECT_EQ(address, c.address) << c.text;
    }
}

TEST(AddressDialogLogic, ValidEntryDrawsFileNameAndTakesTheChosenLocalAddress) {
    const std::uint32_t locals[] = {0x0a000001, 0x0a000002, 0x0a000003};
    AddressChoice choice{};
    choice.localAddress = 0x0a000001;
    std::strcpy(choice.fileName, "/untouched");

    seedRandom(1);
    EXPECT_FALSE(acceptAddressEntry("0.0.0.0", 2, locals, choice));
    EXPECT_EQ(choice.deviceAddress, 0u);
    EXPECT_STREQ(choice.deviceAddressText, "0.0.0.0");
    EXPECT_STREQ(choice.fileName, "/untouched");
    EXPECT_EQ(choice.localAddress, 0x0a000001u);

    EXPECT_FALSE(acceptAddressEntry("", 2, locals, choice));
    EXPECT_STREQ(choice.deviceAddressText, "");

    EXPECT_TRUE(acceptAddressEntry("10*1*0*123", 2, locals, choice));
    EXPECT_EQ(choice.deviceAddress, 0x0a01007bu);
    EXPECT_STREQ(choice.deviceAddressText, "10*1*0*123");
    EXPECT_STREQ(choice.fileName, "/tov29.bin"); // first draw after seed 1 is 41
    EXPECT_EQ(choice.localAddress, 0x0a000003u);

    // No selection (an empty list) keeps the default address.
    EXPECT_TRUE(acceptAddressEntry("10.1.0.9", -1, {}, choice));
    EXPECT_EQ(choice.localAddress, 0x0a000003u);
}

TEST(AddressDialogLogic, OverlongTypedTextIsCutToTheField) {
    AddressChoice choice{};
    EXPECT_FALSE(acceptAddressEntry(std::string(100, '1'), 0, {}, choice));
    EXPECT_EQ(std::strlen(choice.deviceAddressText), 31u);
}

TEST(PasswordDialogLogic, CredentialsAreCutAt126Characters) {
    Credentials credentials{};
    storeCredentials(std::string(200, 'u'), std::string(127, 'p'), credentials);
    EXPECT_EQ(std::string(credentials.userName), std::string(126, 'u'));
    EXPECT_EQ(std::string(credentials.password), std::string(126, 'p'));
    storeCredentials("admin", "", credentials);
    EXPECT_STREQ(credentials.userName, "admin");
    EXPECT_STREQ(credentials.password, "");
}

} // namespace
