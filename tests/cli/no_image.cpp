// SPDX-License-Identifier: MIT
// The firmware bytes of a build that carries no image (-DTOV_FIRMWARE_IMAGE=none), for the
// terminal program's tests in a build that carries the stand-in.
#include "platform/platform.h"

std::span<const std::uint8_t> firmwareBytes(void*) {
    return {};
}

bool firmwareIsStandIn() {
    return false;
}
