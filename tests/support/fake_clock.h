// A controllable millisecond clock for tests: sleeping advances it instead of waiting.
#pragma once

#include <cstdint>

void setFakeClock(std::uint32_t now);
std::uint32_t fakeClockNow();
// Total milliseconds "slept" since the last setFakeClock.
std::uint64_t fakeSleptMilliseconds();
