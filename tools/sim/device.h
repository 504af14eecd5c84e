// SPDX-License-Identifier: MIT
// The simulated device's life: web server, upgrade transfer, install and restart.
#pragma once

#include "options.h"

// Serves until a signal arrives on `signalFd` (a signalfd for SIGTERM and SIGINT); returns the
// exit status: 0 after a signal, 1 when the web server cannot start.
int runDevice(const SimOptions& options, int signalFd);
