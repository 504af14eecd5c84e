// SPDX-License-Identifier: MIT
// Running one fault scenario: device, the program in a child, and the record.
#include "scenario.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "app/upgrade_sequence.h"
#include "loopback_http_server.h"
#include "private_loopback.h"
#include "scripted_ui.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kDevice = 0x7f000002;   // 127.0.0.2
constexpr std::uint32_t kComputer = 0x7f000001; // 127.0.0.1

// ---- the parent's side ---------------------------------------------------------------------

// Waits for a child for at most `seconds`, then kills it; returns the wait status (or -1).
int reap(pid_t pid, double seconds, int signalFirst) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return status;
        if (done < 0)
            return -1;
        if (Clock::now() > deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, signalFirst);
    if (signalFirst != SIGKILL) {
        const auto grace = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < grace) {
            if (::waitpid(pid, &status, WNOHANG) == pid)
                return status;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid, SIGKILL);
    }
    ::waitpid(pid, &status, 0);
    return -1;
}

pid_t startSim(const std::filesystem::path& dir, const std::vector<std::string>& extra,
               const std::string& address = "127.0.0.2") {
    std::filesystem::create_directories(dir);
    std::vector<std::string> args = {TOV_SIM_PATH,
                                     "--address",
                                     address,
                                     "--log",
                                     (dir / "events.jsonl").string(),
                                     "--ready-file",
                                     (dir / "ready").string(),
                                     "--image-out",
                                     (dir / "installed.bin").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int err = ::open((dir / "sim.stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err >= 0) {
            ::dup2(err, 1);
            ::dup2(err, 2);
        }
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!std::filesystem::exists(dir / "ready") && Clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::filesystem::exists(dir / "ready") ? pid : -1;
}

// A web server of the test's own on 127.0.0.2:80, in a process of its own: each connection
// gets the next answer, then a close. Returns once it listens.
pid_t startOwnDevice(const std::vector<std::string>& answers, std::size_t chunk, int holdSeconds) {
    int listening[2];
    if (::pipe2(listening, O_CLOEXEC) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid != 0) {
        ::close(listening[1]);
        char ready = 0;
        const bool up = ::read(listening[0], &ready, 1) == 1;
        ::close(listening[0]);
        return up ? pid : -1;
    }
    ::close(listening[0]);
    LoopbackHttpOptions options;
    options.address = kDevice;
    options.port = 80;
    options.waitMilliseconds = 60000;
    options.pieceSize = chunk;
    // A device that keeps the connection open after its answer (the program is gone long
    // before, or this process is ended by the parent).
    if (holdSeconds > 0)
        options.beforeClose = [holdSeconds] { ::sleep(static_cast<unsigned>(holdSeconds)); };
    LoopbackHttpServer server(answers, options);
    if (server.port() != 0 && ::write(listening[1], "1", 1) != 1)
        ::_exit(1);
    ::close(listening[1]);
    server.finish();
    ::_exit(server.port() == 0 ? 1 : 0);
}

std::vector<std::string> readLines(const std::filesystem::path& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// ---- the child's side ----------------------------------------------------------------------

int reportFd = -1;
std::filesystem::path deviceLog; // the device's event log, for the child to follow
std::mutex shownMutex;
std::vector<std::string> shownExtra;

void writeAll(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(reportFd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

// Everything shown so far, as one block; the parent keeps the last block it reads.
void report() {
    std::string block = "BEGIN\n";
    for (const std::string& line : uiEvents())
        block += line + "\n";
    {
        std::lock_guard lock(shownMutex);
        for (const std::string& line : shownExtra)
            block += line + "\n";
    }
    block += "END\n";
    writeAll(block);
}

// A program instead of runUpgrade: its input from a file, its output to files.
[[noreturn]] void runCommand(const Scenario& scenario, const std::filesystem::path& dir) {
    {
        std::ofstream input(dir / "command.stdin", std::ios::binary);
        input << scenario.standardInput;
    }
    const int in = ::open((dir / "command.stdin").c_str(), O_RDONLY);
    const int out = ::open((dir / "command.stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open((dir / "command.stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0)
        ::_exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    // No controlling terminal: a program that would ask must find none.
    ::setsid();
    std::vector<std::string> args = scenario.command;
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

[[noreturn]] void runChild(const Scenario& scenario, int fd) {
    reportFd = fd;
    ::alarm(static_cast<unsigned>(scenario.childSeconds));
    resetScriptedUi();
    if (scenario.prepare)
        scenario.prepare();

    // What the confirmation and success dialogs show, and a report at every end.
    ScriptedUi& ui = scriptedUi();
    auto confirm = ui.confirm;
    ui.confirm = [confirm] {
        const ShownValues shown = shownValues();
        recordShown("confirm title: " + shown.confirmTitle);
        recordShown("confirm shows: " + shown.device);
        return confirm();
    };
    auto success = ui.success;
    ui.success = [success] {
        const ShownValues shown = shownValues();
        recordShown("success title: " + shown.successTitle);
        recordShown("success shows: " + shown.successVersion);
        report();
        success();
    };
    auto errorBox = ui.errorBox;
    ui.errorBox = [errorBox](const char* text) {
        if (errorBox)
            errorBox(text);
        report();
    };

    const int result = runUpgrade(nullptr);
    recordShown("runUpgrade returned " + std::to_string(result));
    report();
    std::fflush(nullptr);
    ::_exit(result);
}

} // namespace

// ---- Outcome -------------------------------------------------------------------------------

bool Outcome::saw(const std::string& text) const {
    return count(text) > 0;
}

int Outcome::count(const std::string& text) const {
    int n = 0;
    for (const std::string& line : shown)
        n += line == text;
    return n;
}

std::vector<std::string> Outcome::errors() const {
    std::vector<std::string> out;
    for (const std::string& line : shown)
        if (line.rfind("error: ", 0) == 0)
            out.push_back(line.substr(7));
    return out;
}

std::vector<std::string> Outcome::deviceEvents(const std::string& event,
                                               const std::vector<std::string>& fragments) const {
    std::vector<std::string> out;
    const std::string name = "\"event\":\"" + event + "\"";
    for (const std::string& line : simLog) {
        if (line.find(name) == std::string::npos)
            continue;
        bool all = true;
        for (const std::string& f : fragments)
            all = all && line.find(f) != std::string::npos;
        if (all)
            out.push_back(line);
    }
    return out;
}

long Outcome::eventTime(const std::string& line) {
    const std::size_t at = line.find("\"t\":");
    return at == std::string::npos ? -1 : std::strtol(line.c_str() + at + 4, nullptr, 10);
}

// ---- running -------------------------------------------------------------------------------

namespace {

// The device processes of one scenario (-1: none, or did not start).
struct Devices {
    pid_t device = -1;
    std::vector<pid_t> more;
};

// Starts the scenario's device(s): tov-sim, further ones beside it, or a web server of the test's
// own. False when a tov-sim did not come up.
bool startDevices(const Scenario& scenario, const std::filesystem::path& dir, Devices& devices) {
    if (scenario.startSim) {
        devices.device = startSim(dir, scenario.simArgs);
        for (std::size_t i = 0; i < scenario.moreDevices.size(); ++i)
            devices.more.push_back(startSim(dir / ("device" + std::to_string(i)), scenario.simArgs,
                                            scenario.moreDevices[i]));
        return devices.device >= 0 &&
               std::find(devices.more.begin(), devices.more.end(), -1) == devices.more.end();
    }
    if (!scenario.ownDeviceAnswers.empty())
        devices.device = startOwnDevice(scenario.ownDeviceAnswers, scenario.ownDeviceChunk,
                                        scenario.ownDeviceHoldSeconds);
    return true;
}

// The child that runs the program (runUpgrade, or the scenario's command), started at `started`:
// it reports on the pipe whose reading end is `reports`.
struct Child {
    pid_t pid = -1;
    int reports = -1;
    Clock::time_point started;
};

Child startChild(const Scenario& scenario, const std::filesystem::path& dir) {
    Child child;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return child;
    std::fflush(nullptr);
    child.started = Clock::now();
    child.pid = ::fork();
    if (child.pid == 0) {
        ::close(pipeFds[0]);
        if (!scenario.command.empty())
            runCommand(scenario, dir);
        runChild(scenario, pipeFds[1]);
    }
    ::close(pipeFds[1]);
    if (child.pid < 0)
        ::close(pipeFds[0]);
    else
        child.reports = pipeFds[0];
    return child;
}

// What the child's run left: its wait status (-1: killed or lost) and every report it wrote.
struct ChildRun {
    int status = -1;
    std::string reports;
};

// Reads the child's reports until it closes the pipe (ends), within its time; a program of the
// scenario's own reports nothing and is waited for, interrupted when the scenario says. A child
// still there at the end is killed.
ChildRun followChild(const Scenario& scenario, const Child& child) {
    ChildRun run;
    const auto deadline = child.started + std::chrono::seconds(scenario.childSeconds + 10);
    char buffer[4096];
    bool interruptSent = false;
    while (Clock::now() < deadline) {
        if (!scenario.command.empty()) {
            if (scenario.interruptWhen && !interruptSent && scenario.interruptWhen()) {
                ::kill(child.pid, SIGINT);
                interruptSent = true;
            }
            int waited = 0;
            if (::waitpid(child.pid, &waited, WNOHANG) == child.pid) {
                run.status = waited;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        pollfd p{child.reports, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t n = ::read(child.reports, buffer, sizeof buffer);
        if (n <= 0)
            break;
        run.reports.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(child.reports);
    if (run.status == -1)
        run.status = reap(child.pid, 5, SIGKILL);
    return run;
}

// The lines of the last whole report (BEGIN ... END).
std::vector<std::string> lastReport(const std::string& reports) {
    std::vector<std::string> lines;
    const std::size_t begin = reports.rfind("BEGIN\n");
    const std::size_t end = reports.rfind("END\n");
    if (begin == std::string::npos || end == std::string::npos || end <= begin)
        return lines;
    const std::string block = reports.substr(begin + 6, end - begin - 6);
    std::size_t at = 0;
    while (at < block.size()) {
        const std::size_t nl = block.find('\n', at);
        lines.push_back(block.substr(at, nl - at));
        at = nl + 1;
    }
    return lines;
}

// Stops the devices and keeps what the further ones logged and stored.
void stopDevices(const Devices& devices, const std::filesystem::path& dir, Outcome& outcome) {
    if (devices.device > 0)
        reap(devices.device, 0, SIGTERM);
    for (std::size_t i = 0; i < devices.more.size(); ++i) {
        reap(devices.more[i], 0, SIGTERM);
        const std::filesystem::path deviceDir = dir / ("device" + std::to_string(i));
        outcome.moreDeviceLogs.push_back(readLines(deviceDir / "events.jsonl"));
        std::ifstream image(deviceDir / "installed.bin", std::ios::binary);
        outcome.moreDevicesStoredTheImage.push_back(
            image &&
            std::vector<std::uint8_t>(std::istreambuf_iterator<char>(image), {}) == carriedImage());
    }
}

// Keeps the command's output, the device's event log and the image it stored, then removes the
// scenario's folder.
void collectRecord(const Scenario& scenario, const std::filesystem::path& dir, Outcome& outcome) {
    if (!scenario.command.empty()) {
        outcome.output = readFile(dir / "command.stdout");
        outcome.errorOutput = readFile(dir / "command.stderr");
    }
    outcome.simLog = readLines(dir / "events.jsonl");
    std::ifstream stored(dir / "installed.bin", std::ios::binary);
    if (stored) {
        outcome.stored = true;
        outcome.storedImage.assign(std::istreambuf_iterator<char>(stored), {});
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

// Prints what the user saw; runs of upload captions are shortened to their first and last line.
void printShown(const Outcome& outcome) {
    std::printf("  what the user saw (%.1f s, %s %d):\n", outcome.seconds,
                outcome.exited ? "exit status" : "killed, status", outcome.exitStatus);
    const std::string caption = "title: uploading: Uploading";
    for (std::size_t i = 0; i < outcome.shown.size(); ++i) {
        std::size_t last = i;
        while (outcome.shown[i].rfind(caption, 0) == 0 && last + 1 < outcome.shown.size() &&
               outcome.shown[last + 1].rfind(caption, 0) == 0)
            ++last;
        std::printf("  | %s\n", outcome.shown[i].c_str());
        if (last > i + 1)
            std::printf("  | ... %zu more captions ...\n", last - i - 1);
        if (last > i)
            std::printf("  | %s\n", outcome.shown[last].c_str());
        i = last;
    }
    std::fflush(stdout);
}

} // namespace

Outcome runScenario(const Scenario& scenario) {
    Outcome outcome;
    if (!inPrivateNetwork()) {
        outcome.shown.push_back("setup: not in a private network namespace (scripts/netns-run.sh)");
        return outcome;
    }
    char pattern[] = "/tmp/tov-faults-XXXXXX";
    const std::filesystem::path dir = ::mkdtemp(pattern);
    deviceLog = dir / "events.jsonl";

    Devices devices;
    if (!startDevices(scenario, dir, devices)) {
        outcome.shown.push_back("setup: tov-sim did not start");
        return outcome;
    }
    const Child child = startChild(scenario, dir);
    if (child.pid < 0)
        return outcome;
    const ChildRun run = followChild(scenario, child);
    outcome.seconds = std::chrono::duration<double>(Clock::now() - child.started).count();
    outcome.exited = run.status >= 0 && WIFEXITED(run.status);
    outcome.exitStatus = outcome.exited ? WEXITSTATUS(run.status) : -1;
    outcome.shown = lastReport(run.reports);

    stopDevices(devices, dir, outcome);
    collectRecord(scenario, dir, outcome);
    printShown(outcome);
    return outcome;
}

const std::vector<std::uint8_t>& carriedImage() {
    static const std::vector<std::uint8_t> image = [] {
        std::ifstream in(TOV_FIRMWARE_FILE, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    }();
    return image;
}

void holdPorts(bool tcp, std::uint16_t first, std::uint16_t last) {
    for (unsigned port = first; port <= last; ++port) {
        const int s = ::socket(AF_INET, (tcp ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(kComputer);
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
            std::fprintf(stderr, "setup: could not hold port %u\n", port);
        // Held until the child ends.
    }
}

void recordShown(const std::string& line) {
    std::lock_guard lock(shownMutex);
    shownExtra.push_back(line);
}

int deviceLogged(const std::vector<std::string>& fragments) {
    int count = 0;
    for (const std::string& line : readLines(deviceLog)) {
        bool all = true;
        for (const std::string& f : fragments)
            all = all && line.find(f) != std::string::npos;
        count += all;
    }
    return count;
}

bool uiShowed(const std::string& prefix) {
    for (const std::string& line : uiEvents())
        if (line.rfind(prefix, 0) == 0)
            return true;
    return false;
}
