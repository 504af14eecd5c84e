// SPDX-License-Identifier: MIT
// What the command-line program's exit status says, and which failure gives which.
#pragma once

#include "ui/failure.h"
#include "ui/translatable.h"

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitDeviceFailed = 1;   // upload incomplete, not back, still the old version
inline constexpr int kExitUsage = 2;          // the command line is wrong
inline constexpr int kExitUnreachable = 3;    // no answer, cannot connect, timed out
inline constexpr int kExitAuthentication = 4; // password refused, or none to be had
inline constexpr int kExitCancelled = 5;      // the user declined or cancelled
inline constexpr int kExitLocalFailure = 6;   // this computer: sockets, ports, the image
inline constexpr int kExitNothingDone = 7;    // the checks against the TOV refused: not asked

// The status for a failure the upgrade reported.
int exitStatusFor(Failure reason);

// The lines --help, the README and the man page give.
inline constexpr char kExitStatusHelp[] =
    N_("Exit status:\n"
       "  0  the TOV runs the new firmware\n"
       "  1  the TOV's side failed: upgrade request refused, upload incomplete, not\n"
       "     responding after the upload, or still the old version\n"
       "  2  usage error, or the firmware image refused: unreadable, truncated or damaged,\n"
       "     not a TOV image, no version, or not the SHA-256 given (the TOV is not contacted)\n"
       "  3  cannot reach the TOV: no answer, cannot connect, or no progress within --timeout\n"
       "  4  authentication refused or not one this program can give, or no password\n"
       "     available\n"
       "  5  declined or cancelled (Ctrl-C)\n"
       "  6  this computer's side failed: sockets, ports, a test image for a real TOV\n"
       "  7  nothing done: the TOV already runs the image's version, a newer one, or is\n"
       "     another model (see --allow-reinstall, --allow-older, --force)\n");
