// SPDX-License-Identifier: MIT
// What the command-line front-end keeps for the run: its options, the password it was given,
// what it has learnt of the TOV for the history, and what its exit status will say.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "exit_status.h"
#include "history.h"

struct CliSession {
    CliOptions options;
    std::optional<std::string> password;    // from --password-file or --password-stdin
    int exitStatus = kExitCancelled;        // until the upgrade ends otherwise
    UpgradeRecord record;                   // what the history will say of this run
    std::atomic<bool> reachedDevice{false}; // a request went to the TOV

    // A wait that ran past --timeout, and what the user is told of it (first one only).
    std::mutex timeoutMutex;
    std::string timeoutMessage;
    std::string imageSha256;           // the image's, once the image has passed its check
    std::vector<std::string> refusals; // what the checks against the TOV refused
    std::string tftpEndpoint; // "127.0.0.1, UDP port 69", once the upgrade request names it
    std::uint16_t tftpPort = 0;
};

CliSession& cliSession();
