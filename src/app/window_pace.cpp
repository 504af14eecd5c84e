// SPDX-License-Identifier: MIT
// The pace of window updates.
#include "app/window_pace.h"

bool windowMayChange(WindowPace& pace, std::uint32_t now) {
    if (pace.shownOnce && now - pace.shownAt < kWindowUpdateMilliseconds)
        return false;
    pace.shownOnce = true;
    pace.shownAt = now;
    return true;
}
