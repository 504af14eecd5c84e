// Window updates at a human rate: a progress window's bar and caption change at most every 30 ms.
// Under Wine each bar move costs about 1.2 ms and each caption 0.4 ms; nobody sees more than
// about thirty changes a second, and the device must not wait for the screen.
#pragma once

#include <cstdint>

inline constexpr std::uint32_t kWindowUpdateMilliseconds = 30;
// Bars that only show activity (waiting, connecting) or creep (the settling wait's) change less
// often still: while the program waits, a redraw is most of what it spends (GTK's drawing, or
// Wine's), and nobody reads such a bar closely.
inline constexpr std::uint32_t kActivityUpdateMilliseconds = 100;

struct WindowPace {
    bool shownOnce = false;
    std::uint32_t shownAt = 0;
};

// Whether the window may change now (and, if so, that it does): the first time, and then once
// `interval` milliseconds have passed on the millisecond clock since the last change.
bool windowMayChange(WindowPace& pace, std::uint32_t now,
                     std::uint32_t interval = kWindowUpdateMilliseconds);
