// SPDX-License-Identifier: MIT
// Where a window goes to stand in the middle of the screen: the arithmetic of centring, kept apart
// from any windowing system so that it is tested everywhere.
#pragma once

struct WindowOrigin {
    int x;
    int y;
};

// New left (or top) edge for a window spanning windowStart..windowEnd on a screen screenSize
// pixels across: (screen - size) halved by an arithmetic shift, a floor division, so a window one
// pixel wider than the screen starts at -1, not 0. Computed in 64 bits and clamped to int, so
// no rectangle, however odd, can overflow.
int centredStart(int screenSize, int windowStart, int windowEnd);

// Both axes at once, from a window rectangle (left, top, right, bottom).
WindowOrigin centredOrigin(int screenWidth, int screenHeight, int left, int top, int right,
                           int bottom);
