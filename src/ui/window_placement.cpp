// SPDX-License-Identifier: MIT
// Centring arithmetic for the dialogs (see window_placement.h).
#include "ui/window_placement.h"

#include <algorithm>
#include <cstdint>
#include <limits>

int centredStart(int screenSize, int windowStart, int windowEnd) {
    const std::int64_t size = std::int64_t{windowEnd} - windowStart;
    // Right shift of a negative value is arithmetic since C++20: floor division by two.
    const std::int64_t start = (std::int64_t{screenSize} - size) >> 1;
    return static_cast<int>(std::clamp<std::int64_t>(start, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

WindowOrigin centredOrigin(int screenWidth, int screenHeight, int left, int top, int right,
                           int bottom) {
    return {centredStart(screenWidth, left, right), centredStart(screenHeight, top, bottom)};
}
