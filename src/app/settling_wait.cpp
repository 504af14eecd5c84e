// SPDX-License-Identifier: MIT
// The settling wait, measured on a 32 ms tick taken from the wrapping millisecond clock.
#include "app/settling_wait.h"

#include <algorithm>

#include "app/window_pace.h"
#include "platform/platform.h"

std::uint32_t settlingTicksSince(std::uint32_t startTick, std::uint32_t nowTick) {
    // The millisecond clock wraps every 2^32 ms, the tick clock every 2^27 ticks.
    if (nowTick < startTick)
        nowTick += kSettlingTickWrap;
    return nowTick - startTick;
}

namespace {

constexpr std::uint32_t kTickMilliseconds = 1u << kSettlingTickShift;

void showTicks(ProgressWindow window, std::uint32_t ticks) {
    setProgressPosition(window, static_cast<int>(ticks));
    showSettlingProgress(window, {std::min(ticks, kSettlingTicks) * kTickMilliseconds,
                                  kSettlingTicks * kTickMilliseconds});
}

} // namespace

bool waitForDeviceToSettle(ProgressWindow window, const std::atomic<bool>& stop) {
    const std::uint32_t startTick = millisecondClock() >> kSettlingTickShift;
    setProgressRange(window, 0, static_cast<int>(kSettlingTicks));
    showTicks(window, 0);

    WindowPace pace; // the bar creeps: drawn at an activity's pace, its end always
    for (;;) {
        const std::uint32_t now = millisecondClock();
        const std::uint32_t elapsed = settlingTicksSince(startTick, now >> kSettlingTickShift);
        if (elapsed >= kSettlingTicks || windowMayChange(pace, now))
            showTicks(window, elapsed);
        handleAllProgressMessages(window);
        if (progressCancelled(window) || stop.load())
            return false;
        if (elapsed >= kSettlingTicks)
            return true;
        sleepMilliseconds(kTickMilliseconds);
    }
}

bool askAgainAfterRestart(std::uint32_t firstAsked, std::uint32_t now) {
    return now - firstAsked <= kRestartGraceMilliseconds - kRestartRetryMilliseconds;
}
