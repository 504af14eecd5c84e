// Start-up: socket library, local addresses, cleared authentication, seeded generator, the
// dialogs' controls, the embedded image and the product name.
#pragma once

#include <optional>

#include "app/context.h"
#include "ui/failure.h"

// Fills `ctx` for the run; nothing when everything is ready, otherwise the failure to show.
std::optional<Failure> initEnvironment(UpgradeContext& ctx);
