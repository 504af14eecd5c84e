// tov-upgrade-cli: the upgrade from a terminal or a script, with an exit status that says how it
// went.
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "app/upgrade_sequence.h"
#include "base/text.h"
#include "cli_options.h"
#include "cli_output.h"
#include "cli_session.h"
#include "history.h"
#include "json_line.h"
#include "platform/platform.h"
#include "terminal.h"

namespace {

// One line (without its line end) from standard input; none at its end.
std::optional<std::string> readStandardInputLine() {
    std::string line;
    line.reserve(1024); // a password that fits is never copied while it is read
    if (!std::getline(std::cin, line)) {
        wipeText(line);
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

// The password the options name, read before anything is asked of the device.
bool loadPassword(CliSession& session) {
    const CliOptions& options = session.options;
    if (options.passwordFile) {
        PasswordFile file = readPasswordFile(*options.passwordFile);
        switch (file.status) {
        case PasswordFile::Status::refused:
            sayError(*options.passwordFile + " " + file.reason + "; see --help");
            session.exitStatus = kExitUsage;
            return false;
        case PasswordFile::Status::unreadable:
            sayError("cannot read a password from " + *options.passwordFile);
            session.exitStatus = kExitAuthentication;
            return false;
        case PasswordFile::Status::read:
            break;
        }
        session.password = std::move(file.password);
    } else if (options.passwordStdin) {
        session.password = readStandardInputLine();
        if (!session.password) {
            sayError("no password on standard input");
            session.exitStatus = kExitAuthentication;
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const ParsedCommandLine parsed = parseCommandLine(argc, argv);
    if (!parsed.options) {
        std::fputs(parsed.message.c_str(), parsed.toStandardError ? stderr : stdout);
        return parsed.status;
    }
    CliSession& session = cliSession();
    session.options = *parsed.options;
    if (session.options.showHistory)
        return printHistory(session.options.output == OutputMode::json);
    setJsonAddress(session.options.address);
    protectSecrets(); // before any password is read
    if (!loadPassword(session))
        return session.exitStatus;
    watchInterrupts(kExitCancelled);
    UpgradeOptions upgrade;
    upgrade.tftpPort = session.options.tftpPort;
    runUpgrade(nullptr, upgrade);
    if (session.reachedDevice && session.options.history && !appendToHistory(session.record))
        sayError("could not add this run to the upgrade history");
    // Ended at once rather than by returning: a request worker given up on may still be blocked
    // on its socket.
    endProcess(session.exitStatus);
}
