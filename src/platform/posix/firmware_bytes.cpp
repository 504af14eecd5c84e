// SPDX-License-Identifier: MIT
// The firmware image linked into the program's read-only data (see firmware_image.S.in).
#include "platform/platform.h"

extern "C" const std::uint8_t tovFirmwareBegin[];
extern "C" const std::uint64_t tovFirmwareSize;

std::span<const std::uint8_t> firmwareBytes(void*) {
    return {tovFirmwareBegin, static_cast<std::size_t>(tovFirmwareSize)};
}

bool firmwareIsStandIn() {
    return TOV_FIRMWARE_IS_STAND_IN != 0;
}
