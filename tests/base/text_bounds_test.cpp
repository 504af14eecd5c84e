// SPDX-License-Identifier: MIT
// The bounded text helpers at their edges: an empty view without a pointer (what an absent
// challenge parameter is), a destination of one byte, and a buffer with no terminator.
#include <gtest/gtest.h>

#include <string_view>

#include "base/text.h"

TEST(TextBounds, EmptyViewWithoutPointerCopiesNothing) {
    char dest[8] = "stale";
    EXPECT_EQ(copyText(dest, std::string_view{}), 0u);
    EXPECT_STREQ(dest, "");
}

TEST(TextBounds, CopyAndFormatStayInsideTheDestination) {
    char one[1] = {'x'};
    EXPECT_EQ(copyText(one, "abc"), 0u);
    EXPECT_EQ(one[0], '\0');

    char four[4];
    EXPECT_EQ(copyText(four, "abcdef"), 3u);
    EXPECT_STREQ(four, "abc");
    EXPECT_EQ(formatText(four, "%s", "123456"), 3);
    EXPECT_STREQ(four, "123");
}

TEST(TextBounds, UnterminatedBufferEndsAtItsSize) {
    const char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(textIn(full), "abcd");
}

TEST(TextBounds, VersionsCompareByLettersAndDigitsOnly) {
    EXPECT_TRUE(sameLettersAndDigits("2.0.10(e)", "2.0.10e"));
    EXPECT_TRUE(sameLettersAndDigits("2.0.10(e)", " 2-0-10-E."));
    EXPECT_FALSE(sameLettersAndDigits("2.0.10(e)", "V 2.0.10(e)"));
    EXPECT_TRUE(sameLettersAndDigits("", "()"));
    EXPECT_FALSE(sameLettersAndDigits("2.0.10(e)", "2.0.1(0e)x"));
    EXPECT_FALSE(sameLettersAndDigits("2.0.10(e)", "2.0.10"));
    EXPECT_FALSE(sameLettersAndDigits("2.0.10(e)", "2.0.9(a)"));
    EXPECT_FALSE(sameLettersAndDigits("2.0.10", "2.0.10(e)"));
}
