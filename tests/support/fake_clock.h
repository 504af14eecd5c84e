// SPDX-License-Identifier: MIT
// A controllable millisecond clock for tests: sleeping advances it instead of waiting.
#pragma once

#include <cstdint>

void setFakeClock(std::uint32_t now);
std::uint32_t fakeClockNow();
// Total milliseconds "slept" since the last setFakeClock.
std::uint64_t fakeSleptMilliseconds();
// The real time a socket or thread wait may take at most (no limit by default): a test whose
// peer answers before every wait sits out long silences on the clock without waiting them out.
void limitFakeClockRealWaits(std::uint32_t milliseconds);
inline constexpr std::uint32_t kNoRealWaitLimit = 0xFFFFFFFF;
