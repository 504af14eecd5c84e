// SPDX-License-Identifier: MIT
// What the dialogs do with the user's answers: the address parser, the address entry and the
// credentials, with their cuts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/random.h"
#include "ui/dialog_logic.h"
#include "ui/dotted_address.h"

namespace {

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
