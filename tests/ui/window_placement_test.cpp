// SPDX-License-Identifier: MIT
// Centring arithmetic: floor halving, odd differences, and rectangles no int can span.
#include <gtest/gtest.h>

#include <limits>

#include "ui/window_placement.h"

namespace {

TEST(WindowPlacement, CentresWithFloorHalving) {
    EXPECT_EQ(centredStart(1024, 0, 301), 361);
    EXPECT_EQ(centredStart(1024, 500, 801), 361); // only the size counts, not where it stands
    EXPECT_EQ(centredStart(1024, 0, 1025), -1);   // one pixel wider: -1, not 0
    EXPECT_EQ(centredStart(1024, 0, 1027), -2);
    EXPECT_EQ(centredStart(1024, 0, 1023), 0);
    EXPECT_EQ(centredStart(768, 0, 768), 0);
    EXPECT_EQ(centredStart(768, 10, 10), 384); // an empty window

    const WindowOrigin origin = centredOrigin(1024, 768, -20, 30, 281, 231);
    EXPECT_EQ(origin.x, 361);
    EXPECT_EQ(origin.y, 283);
}

TEST(WindowPlacement, ExtremeRectanglesNeitherOverflowNorWrap) {
    constexpr int kMin = std::numeric_limits<int>::min();
    constexpr int kMax = std::numeric_limits<int>::max();
    // Width 2^32 - 1 does not fit an int; it is measured without overflow.
    EXPECT_EQ(centredStart(1024, kMin, kMax), -2147483136);
    EXPECT_EQ(centredStart(kMax, 0, 0), kMax / 2);
    // A rectangle with right < left (negative width) lands right of centre, as the formula says.
    EXPECT_EQ(centredStart(1024, 100, 0), 562);
    EXPECT_EQ(centredStart(kMax, kMax, kMin), kMax); // would be 3 * 2^30 - 1: clamped
}

} // namespace
