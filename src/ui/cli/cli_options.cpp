// Parsing the command line (CLI11).
#include "cli_options.h"

#include <CLI/CLI.hpp>

#include <sstream>

#include "exit_status.h"
#include "ui/dotted_address.h"

namespace {

constexpr char kDescription[] =
    "Upgrades the firmware of the TOV telephone adapter at ADDRESS with the image this program "
    "carries, as the desktop program does: it reads what the adapter reports, asks before it "
    "upgrades, serves the image by TFTP, waits for the adapter to restart and shows the version "
    "it then reports.";

bool isDottedAddress(const std::string& text) {
    std::uint32_t address = 0;
    return parseDottedAddress(text.c_str(), &address) == kAddressValid && address != 0;
}

} // namespace

ParsedCommandLine parseCommandLine(int argc, char** argv) {
    CLI::App app(kDescription, "tov-upgrade-cli");
    app.footer(kExitStatusHelp);
    CliOptions options;
    bool quiet = false;
    bool json = false;
    std::string passwordFile;
    std::string localAddress;
    app.add_option("ADDRESS", options.address, "The adapter's IPv4 address, e.g. 10.1.0.123")
        ->required()
        ->type_name("A.B.C.D");
    app.add_flag("-y,--yes", options.yes, "Upgrade without asking for confirmation");
    auto* file = app.add_option("--password-file", passwordFile,
                                "Read the administrator's password from the first line of FILE "
                                "(a regular file only its owner may read)")
                     ->type_name("FILE");
    auto* stdinPassword = app.add_flag("--password-stdin", options.passwordStdin,
                                       "Read the password from the first line of standard input");
    file->excludes(stdinPassword);
    app.add_option("--local-address", localAddress,
                   "Which of this computer's addresses the adapter fetches the image from "
                   "(default: the first, as the desktop program chooses)")
        ->type_name("A.B.C.D");
    auto* quietFlag = app.add_flag("-q,--quiet", quiet, "Print nothing but failures");
    auto* jsonFlag =
        app.add_flag("--json", json, "Print one JSON object a line for each step, for scripts");
    quietFlag->excludes(jsonFlag);
    app.set_version_flag("--version", "tov-upgrade-cli " TOV_VERSION_TEXT);

    ParsedCommandLine parsed;
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        std::ostringstream out;
        std::ostringstream err;
        const int code = app.exit(e, out, err);
        parsed.status = code == 0 ? kExitSuccess : kExitUsage;
        parsed.message = code == 0 ? out.str() : err.str();
        parsed.toStandardError = code != 0;
        return parsed;
    }
    if (!isDottedAddress(options.address)) {
        parsed.status = kExitUsage;
        parsed.message = "tov-upgrade-cli: not an IPv4 address: " + options.address + "\n";
        parsed.toStandardError = true;
        return parsed;
    }
    if (!localAddress.empty() && !isDottedAddress(localAddress)) {
        parsed.status = kExitUsage;
        parsed.message = "tov-upgrade-cli: not an IPv4 address: " + localAddress + "\n";
        parsed.toStandardError = true;
        return parsed;
    }
    if (!passwordFile.empty())
        options.passwordFile = passwordFile;
    if (!localAddress.empty())
        options.localAddress = localAddress;
    options.output = json ? OutputMode::json : quiet ? OutputMode::quiet : OutputMode::human;
    parsed.options = options;
    return parsed;
}
