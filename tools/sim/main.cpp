// SPDX-License-Identifier: MIT
// tov-sim: a simulated TOV telephone adapter for tests and demonstrations.
#include <csignal>
#include <cstdio>
#include <string>
#include <sys/signalfd.h>
#include <vector>

#include "device.h"
#include "event_log.h"
#include "options.h"
#include "unique_fd.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParsedOptions parsed = parseOptions(args);
    if (parsed.help) {
        std::fputs(optionsHelp().c_str(), stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "tov-sim: %s (see tov-sim --help)\n", parsed.error.c_str());
        return 2;
    }
    const SimOptions& options = *parsed.options;
    if (!options.logPath.empty() && !openEventLog(options.logPath)) {
        std::fprintf(stderr, "tov-sim: cannot open the log %s\n", options.logPath.c_str());
        return 2;
    }
    // SIGTERM and SIGINT arrive through a signalfd in the main loop; blocked before any thread
    // starts, so every thread inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0)
        return 1;
    std::signal(SIGPIPE, SIG_IGN);
    UniqueFd signalFd(::signalfd(-1, &signals, SFD_CLOEXEC));
    if (!signalFd.valid())
        return 1;
    std::string args_text;
    for (const auto& a : args)
        args_text += (args_text.empty() ? "" : " ") + a;
    logEvent(Event("start").text("args", args_text));
    const int status = runDevice(options, signalFd.get());
    closeEventLog();
    if (status != 0)
        std::fprintf(stderr, "tov-sim: cannot listen on the given address and port\n");
    return status;
}
