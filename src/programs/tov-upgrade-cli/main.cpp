// SPDX-License-Identifier: MIT
// tov-upgrade-cli: the upgrade from a terminal or a script, with an exit status that says how it
// went.
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "app/image_check.h"
#include "app/image_source.h"
#include "app/upgrade_sequence.h"
#include "base/sha256.h"
#include "base/text.h"
#include "cli_options.h"
#include "cli_output.h"
#include "cli_session.h"
#include "history.h"
#include "image_lines.h"
#include "json_line.h"
#include "platform/platform.h"
#include "terminal.h"
#include "ui/ansi_text.h"
#include "ui/translation.h"

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
            sayError(filled(translated("%s %s; see --help"), options.passwordFile->c_str(),
                            translated(file.reason.c_str())));
            session.exitStatus = kExitUsage;
            return false;
        case PasswordFile::Status::unreadable:
            sayError(filled(translated("cannot read a password from %s"),
                            options.passwordFile->c_str()));
            session.exitStatus = kExitAuthentication;
            return false;
        case PasswordFile::Status::read:
            break;
        }
        session.password = std::move(file.password);
    } else if (options.passwordStdin) {
        session.password = readStandardInputLine();
        if (!session.password) {
            sayError(translated("no password on standard input"));
            session.exitStatus = kExitAuthentication;
            return false;
        }
    }
    return true;
}

// What --version says of the carried image, in UTF-8 as --help's words are.
std::string carriedImageLine() {
    const auto carried = firmwareBytes(nullptr);
    if (carried.empty())
        return displayText(translated("carries no firmware image: name one with --image FILE"));
    const ImageReport report = checkFirmwareImage(carried, {});
    if (report.verdict != ImageVerdict::accepted)
        return displayText(translated("carries a firmware image that does not pass its check"));
    return displayText(filled(translated("carries firmware image %s for the %s%s"),
                              report.version.data(), imageProductName(report.product),
                              report.standIn ? translated(" (test image)") : ""));
}

ImageChoice imageChoice(const CliOptions& options) {
    ImageChoice choice;
    choice.path = options.imagePath;
    choice.rules.force = options.force;
    if (options.sha256)
        choice.rules.expectedSha256 = parseSha256Hex(*options.sha256);
    return choice;
}

// --check without an ADDRESS: the image's details and its own check, no TOV contacted.
int checkImageOnly(CliSession& session) {
    LoadedImage image;
    const auto refused = loadImage(imageChoice(session.options), firmwareBytes(nullptr), image);
    if (refused) {
        showErrorBox(*refused); // words, JSON line and status as for any failure
        return session.exitStatus;
    }
    const ImageReport& report = image.report;
    const Sha256Hex sha256 = sha256Hex(report.sha256);
    sayImageDetails({report.version.data(), imageProductName(report.product), sha256.data(),
                     session.options.imagePath, report.standIn, report.size});
    say(translated(
        "Checks: the image passes; name the TOV's ADDRESS to check it against the TOV."));
    emit(JsonLine("image")
             .text("image_version", report.version.data())
             .text("product", imageProductName(report.product))
             .text("image_sha256", sha256.data())
             .number("size", report.size)
             .text("file", session.options.imagePath)
             .text("test_image", report.standIn ? "true" : "false"));
    return kExitSuccess;
}

} // namespace

int main(int argc, char** argv) {
    startTranslations();
    const ParsedCommandLine parsed = parseCommandLine(argc, argv, carriedImageLine());
    if (!parsed.options) {
        std::fputs(parsed.message.c_str(), parsed.toStandardError ? stderr : stdout);
        return parsed.status;
    }
    CliSession& session = cliSession();
    session.options = *parsed.options;
    // Scripts read --json's lines: those, and the words beside them, stay as they are.
    if (session.options.output == OutputMode::json)
        stopTranslations();
    if (session.options.showHistory)
        return printHistory(session.options.output == OutputMode::json);
    setJsonAddress(session.options.address);
    if (session.options.check && session.options.address.empty())
        return checkImageOnly(session);
    protectSecrets(); // before any password is read
    if (!loadPassword(session))
        return session.exitStatus;
    watchInterrupts(kExitCancelled);
    UpgradeOptions upgrade;
    upgrade.tftpPort = session.options.tftpPort;
    upgrade.checkImage = true;
    upgrade.image = imageChoice(session.options);
    upgrade.checksOnly = session.options.check;
    runUpgrade(nullptr, upgrade);
    const bool recorded = session.reachedDevice && session.options.history && !upgrade.checksOnly;
    if (recorded && !appendToHistory(session.record))
        sayError(translated("could not add this run to the upgrade history"));
    // Ended at once rather than by returning: a request worker given up on may still be blocked
    // on its socket.
    endProcess(session.exitStatus);
}
