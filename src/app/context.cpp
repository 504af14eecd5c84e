// Storage of the process-wide upgrade state.
#include "app/context.h"

UpgradeContext upgradeContext{};
