// What the command-line front-end keeps for the run: its options, the password it was given,
// and what its exit status will say.
#pragma once

#include <optional>
#include <string>

#include "cli_options.h"
#include "exit_status.h"

struct CliSession {
    CliOptions options;
    std::optional<std::string> password; // from --password-file or --password-stdin
    int exitStatus = kExitCancelled;     // until the upgrade ends otherwise
};

CliSession& cliSession();
