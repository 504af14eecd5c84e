// Start-up: socket library, local addresses, cleared authentication, seeded generator, the
// dialogs' controls, the embedded image and the product name.
#pragma once

// Null when everything is ready; otherwise the text of the failure to show.
const char* initEnvironment();
