// SPDX-License-Identifier: MIT
// The program's one pseudo-random generator: the Windows C runtime's sequence (0 to 32767) on
// every build, so file names and client nonces are drawn alike everywhere.
#pragma once

#include <cstdint>

void seedRandom(std::uint32_t seed);
int drawRandom();
