// SPDX-License-Identifier: MIT
// The program's generator: the Windows C runtime's sequence, drawn alike on every build.
#include <gtest/gtest.h>

#include "base/random.h"

namespace {

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

} // namespace
