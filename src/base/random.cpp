// SPDX-License-Identifier: MIT
// The Windows C runtime's linear congruential generator, reproduced bit for bit.
#include "base/random.h"

#include <atomic>

namespace {
// Drawn from the main thread and from request workers, never at once; atomic keeps it defined.
std::atomic<std::uint32_t> randomState{1};
} // namespace

void seedRandom(std::uint32_t seed) {
    randomState.store(seed, std::memory_order_relaxed);
}

int drawRandom() {
    const std::uint32_t next = randomState.load(std::memory_order_relaxed) * 214013u + 2531011u;
    randomState.store(next, std::memory_order_relaxed);
    return static_cast<int>((next >> 16) & 0x7fffu);
}
