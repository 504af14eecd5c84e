// SPDX-License-Identifier: MIT
// The settling wait: the device gets a fixed 49,984 ms to install the image and restart, under
// the upload window's "Updating Firmware to TOV@<address>".
#pragma once

#include <atomic>
#include <cstdint>

#include "ui/ui.h"

// 1562 ticks of 32 ms, on a tick taken from the wrapping millisecond clock.
inline constexpr std::uint32_t kSettlingTickShift = 5;
inline constexpr std::uint32_t kSettlingTicks = 1562;
inline constexpr std::uint32_t kSettlingTickWrap = 1u << (32 - kSettlingTickShift);

// Ticks since `startTick` on the 32 ms tick clock, across one wrap of the millisecond clock.
std::uint32_t settlingTicksSince(std::uint32_t startTick, std::uint32_t nowTick);

// The whole wait, the window's Cancel live throughout; its bar counts the ticks, and the window
// hears the time waited. False when it was cut short: the user cancelled, or `stop` turned true.
bool waitForDeviceToSettle(ProgressWindow window, const std::atomic<bool>& stop);

// After the wait the device gets 30 s to show its page again, asked every 2 s: whether another
// request, started 2 s after `now`, still starts within 30 s of the first one (asked at
// `firstAsked`), on the wrapping millisecond clock.
inline constexpr std::uint32_t kRestartGraceMilliseconds = 30000;
inline constexpr std::uint32_t kRestartRetryMilliseconds = 2000;
bool askAgainAfterRestart(std::uint32_t firstAsked, std::uint32_t now);
