// SPDX-License-Identifier: MIT
// The command line of tov-upgrade-cli.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

enum class OutputMode { human, quiet, json };

struct CliOptions {
    std::string address;                     // the TOV, as typed
    bool yes = false;                        // no confirmation question
    std::optional<std::string> passwordFile; // its first line is the password
    bool passwordStdin = false;              // the first line of standard input is
    std::string user = "admin";              // the administrator's user name
    std::optional<std::string> localAddress; // which of this computer's addresses to use
    std::uint32_t timeoutSeconds = 60;       // the longest wait for the TOV (0: no limit)
    std::uint16_t tftpPort = 0;              // serve the image from this port only (0: 69 up)
    bool history = true;                     // record the run in the history
    bool showHistory = false;                // --history: print the record and end
    OutputMode output = OutputMode::human;
    // The image and its checks.
    std::string imagePath;             // --image: a file instead of the carried image
    bool check = false;                // --check: the image's details and the checks only
    std::optional<std::string> sha256; // --sha256: the image must have this digest (hex)
    bool allowOlder = false;           // an image older than what the TOV runs
    bool allowReinstall = false;       // the version the TOV runs already
    bool force = false;                // another magic, another model, an unknown version
};

struct ParsedCommandLine {
    std::optional<CliOptions> options; // none: the program ends with `status` after `message`
    int status = 0;
    std::string message; // what to print (help, version, or the usage error)
    bool toStandardError = false;
};

// `imageLine` follows the program's version in what --version prints: the image it carries.
ParsedCommandLine parseCommandLine(int argc, char** argv, const std::string& imageLine);
