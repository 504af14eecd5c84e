// SPDX-License-Identifier: MIT
// Window updates at a human rate: a progress window's bar and caption change at most ten times a
// second. Under Wine each bar move costs about 1.2 ms and each caption 0.4 ms, and with GTK a
// redraw is most of what the program spends while it waits; ten changes a second look smooth,
// and the device no longer waits for the screen.
#pragma once

#include <cstdint>

inline constexpr std::uint32_t kWindowUpdateMilliseconds = 100;
// A thread that waits handles its window's messages (a Cancel among them) at least this often.
inline constexpr std::uint32_t kWindowMessagesMilliseconds = 30;

struct WindowPace {
    bool shownOnce = false;
    std::uint32_t shownAt = 0;
};

// Whether the window may change now (and, if so, that it does): the first time, and then once
// 100 ms have passed on the millisecond clock since the last change.
bool windowMayChange(WindowPace& pace, std::uint32_t now);
