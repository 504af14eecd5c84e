// SPDX-License-Identifier: MIT
// Parsing the command line (CLI11).
#include "cli_options.h"

#include <CLI/CLI.hpp>

#include <sstream>

#include "exit_status.h"
#include "ui/ansi_text.h"
#include "ui/dotted_address.h"
#include "ui/translation.h"

namespace {

constexpr char kDescription[] =
    N_("Upgrades the firmware of the TOV telephone adapter at ADDRESS with the image this\n"
       "program carries (or the image file --image names), as the desktop program does: it\n"
       "reads what the TOV reports, asks before it upgrades, serves the image by TFTP, waits\n"
       "for the TOV to restart and shows the version it then reports. An upgrade takes about\n"
       "a minute, most of it the TOV's restart.\n"
       "\n"
       "The image is checked before the TOV is contacted (size, magic, declared length,\n"
       "version; its SHA-256 is shown), and against what the TOV reports before the question:\n"
       "an image of the version the TOV runs, an older one, one for another model or a\n"
       "version that cannot be compared (with --yes) is refused with status 7 unless allowed.");

// What --help and a usage error say, in the user's language and in UTF-8 (the values put in stay
// as they were given).
std::string said(const char* text) {
    return displayText(translated(text));
}

bool isDottedAddress(const std::string& text) {
    std::uint32_t address = 0;
    return parseDottedAddress(text.c_str(), &address) == kAddressValid && address != 0;
}

ParsedCommandLine usageError(const std::string& what) {
    ParsedCommandLine parsed;
    parsed.status = kExitUsage;
    parsed.message = "tov-upgrade-cli: " + what + said("; see --help") + "\n";
    parsed.toStandardError = true;
    return parsed;
}

} // namespace

ParsedCommandLine parseCommandLine(int argc, char** argv, const std::string& imageLine) {
    CLI::App app(said(kDescription), "tov-upgrade-cli");
    app.footer(said(kExitStatusHelp));
    // CLI11's own words in the help.
    for (const char* label : {N_("Usage"), N_("OPTIONS"), N_("Positionals"), N_("REQUIRED"),
                              N_("Excludes"), N_("Needs")})
        app.get_formatter()->label(label, said(label));
    app.option_defaults()->group(said(N_("Options")));
    app.set_help_flag("-h,--help", said(N_("Print this help message and exit")));
    CliOptions options;
    bool quiet = false;
    bool json = false;
    bool noHistory = false;
    std::string passwordFile;
    std::string localAddress;
    std::string sha256;
    auto* address =
        app.add_option("ADDRESS", options.address, said("The TOV's IPv4 address, e.g. 10.1.0.123"))
            ->type_name("A.B.C.D");
    app.add_flag("-y,--yes", options.yes, said("Upgrade without asking for confirmation"));
    auto* file =
        app.add_option("--password-file", passwordFile,
                       said("Read the administrator's password from the first line of FILE "
                            "(a regular file only its owner may read)"))
            ->type_name("FILE");
    auto* stdinPassword =
        app.add_flag("--password-stdin", options.passwordStdin,
                     said("Read the password from the first line of standard input"));
    file->excludes(stdinPassword);
    app.add_option("--user", options.user, said("The administrator's user name (default: admin)"))
        ->type_name("NAME");
    app.add_option("--local-address", localAddress,
                   said("Which of this computer's addresses the TOV fetches the image from "
                        "(default: the first, as the desktop program chooses)"))
        ->type_name("A.B.C.D");
    app.add_option(
           "--tftp-port", options.tftpPort,
           said("Serve the image from this UDP port only (default: 69, or the next free one)"))
        ->type_name("PORT")
        ->check(CLI::Range(1, 65535));
    app.add_option("--timeout", options.timeoutSeconds,
                   said("Give up a wait for the TOV after SECONDS without progress (default: 60; "
                        "0: wait as long as it takes)"))
        ->type_name("SECONDS");
    auto* quietFlag = app.add_flag("-q,--quiet", quiet, said("Print nothing but failures"));
    auto* jsonFlag = app.add_flag("--json", json,
                                  said("Print one JSON object a line for each step, for scripts"));
    quietFlag->excludes(jsonFlag);
    app.add_flag("--no-history", noHistory, said("Do not record this run in the upgrade history"));
    auto* history =
        app.add_flag("--history", options.showHistory,
                     said("Print the upgrade history (with --json: its lines) and end"));
    history->excludes(address);
    app.add_option("--image", options.imagePath,
                   said("Upgrade with the firmware image in FILE instead of the one this program "
                        "carries"))
        ->type_name("FILE");
    app.add_flag(
        "--check", options.check,
        said("Print the image's details and SHA-256 and what the checks say, and end; with "
             "ADDRESS the TOV is asked for its page only"));
    app.add_option("--sha256", sha256, said("Refuse an image whose SHA-256 is not HEX"))
        ->type_name("HEX");
    app.add_flag("--allow-older", options.allowOlder,
                 said("Install an image older than the version the TOV runs"));
    app.add_flag("--allow-reinstall", options.allowReinstall,
                 said("Install an image of the version the TOV runs already"));
    app.add_flag(
        "--force", options.force,
        said("Install an image without a TOV magic, for another model, or whose version "
             "cannot be compared with the TOV's (a truncated image is refused all the same)"));
    app.set_version_flag("--version",
                         std::string("tov-upgrade-cli " TOV_VERSION_TEXT) +
                             (imageLine.empty() ? "" : "\n" + imageLine),
                         said(N_("Display program version information and exit")));

    ParsedCommandLine parsed;
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) { // --help, --version
        std::ostringstream out;
        std::ostringstream err;
        app.exit(e, out, err);
        parsed.status = kExitSuccess;
        parsed.message = out.str();
        return parsed;
    } catch (const CLI::ParseError& e) {
        return usageError(e.what());
    }
    options.history = !noHistory;
    options.output = json ? OutputMode::json : quiet ? OutputMode::quiet : OutputMode::human;
    if (options.showHistory) {
        parsed.options = options;
        return parsed;
    }
    if (!sha256.empty()) {
        if (sha256.size() != 64 ||
            sha256.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return usageError(said(N_("--sha256 needs 64 hex digits")));
        options.sha256 = sha256;
    }
    if (options.address.empty() && options.check) {
        parsed.options = options;
        return parsed;
    }
    if (options.address.empty())
        return usageError(said(N_("ADDRESS is required")));
    if (!isDottedAddress(options.address))
        return usageError(said(N_("not an IPv4 address: ")) + options.address);
    if (!localAddress.empty() && !isDottedAddress(localAddress))
        return usageError(said(N_("not an IPv4 address: ")) + localAddress);
    if (options.user.empty())
        return usageError(said(N_("--user needs a name")));
    if (!passwordFile.empty())
        options.passwordFile = passwordFile;
    if (!localAddress.empty())
        options.localAddress = localAddress;
    parsed.options = options;
    return parsed;
}
