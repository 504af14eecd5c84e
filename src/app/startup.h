// Start-up: socket library, local addresses, cleared authentication, seeded generator, the
// dialogs' controls, the embedded image and the product name.
#pragma once

// Completes or ends the process (after its error box).
void initEnvironment();
