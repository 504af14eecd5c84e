// SPDX-License-Identifier: MIT
// The Linux windows show and read the program's 8-bit texts (code page 1252) as UTF-8.
#include <gtest/gtest.h>

#include <string>

#include "ui/ansi_text.h"

namespace {

TEST(DisplayText, LineBreaksOfTheMessageTextsBecomeSingleBreaks) {
    EXPECT_EQ(displayText("This program will upgrade your TOV\r\nfirmware to:"),
              "This program will upgrade your TOV\nfirmware to:");
    EXPECT_EQ(displayText("a\r\n\r\nb"), "a\n\nb");
    // Only the pair is a break; a lone carriage return stays (the device's values may hold one).
    EXPECT_EQ(displayText("a\rb\r"), "a\rb\r");
}

TEST(DisplayText, HighBytesAreCodePage1252) {
    EXPECT_EQ(displayText("caf\xe9"), "caf\xc3\xa9"); // e acute
    EXPECT_EQ(displayText("\x80"), "\xe2\x82\xac");   // euro sign
    EXPECT_EQ(displayText("\x99"), "\xe2\x84\xa2");   // trade mark
    EXPECT_EQ(displayText("\x81"), "\xef\xbf\xbd");   // no character in the code page
    EXPECT_EQ(displayText("\xff"), "\xc3\xbf");       // y diaeresis
}

TEST(AnsiText, TypedTextGoesBackToCodePage1252) {
    EXPECT_EQ(ansiText("secret"), "secret");
    EXPECT_EQ(ansiText("caf\xc3\xa9"), "caf\xe9");
    EXPECT_EQ(ansiText("\xe2\x82\xac"
                       "5"),
              "\x80"
              "5");
    // Characters the code page lacks become "?", as Windows reads an entry field as ANSI.
    EXPECT_EQ(ansiText("\xe4\xb8\xad"), "?");     // a CJK character
    EXPECT_EQ(ansiText("\xf0\x9f\x94\x91"), "?"); // outside the basic plane
    // Broken sequences do not swallow what follows them.
    EXPECT_EQ(ansiText("\xc3"
                       "a"),
              "?a");
    EXPECT_EQ(ansiText("\xff"
                       "b"),
              "?b");
}

TEST(AnsiText, EveryCharacterOfTheCodePageSurvivesTheRoundTrip) {
    for (int byte = 1; byte < 256; ++byte) {
        if (byte == '\r' || byte == 0x81 || byte == 0x8d || byte == 0x8f || byte == 0x90 ||
            byte == 0x9d)
            continue; // no character to show for these
        const std::string one(1, static_cast<char>(byte));
        EXPECT_EQ(ansiText(displayText(one)), one) << "byte " << byte;
    }
}

} // namespace
