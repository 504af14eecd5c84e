// SPDX-License-Identifier: MIT
// Start-up: socket library, local addresses, cleared authentication, seeded generator, the
// dialogs' controls, the embedded image and the product name.
#pragma once

#include <optional>

#include "app/context.h"
#include "ui/failure.h"

#include <cstdint>
#include <span>

// Fills `ctx` for the run; nothing when everything is ready, otherwise the failure to show.
std::optional<Failure> initEnvironment(UpgradeContext& ctx);

// The same in two steps, for a run whose image is chosen and checked in between: everything but
// the image, then the image (whose bytes stay the caller's for the run) and the product name.
std::optional<Failure> initLocalEnvironment(UpgradeContext& ctx);
std::optional<Failure> takeImage(UpgradeContext& ctx, std::span<const std::uint8_t> image);
