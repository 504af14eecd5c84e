// SPDX-License-Identifier: MIT
// tov-upgrade-cli against the simulated device: the success paths with and without a password,
// each exit status, the JSON lines, Ctrl-C during the upload, and three devices at once.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "base/sha256.h"
#include "exit_status.h"
#include "scenario.h"

namespace {

// Every run's history goes to a folder of the test's own, emptied for each test (one per test
// process: ctest runs the cases side by side).
class HistoryFolder : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        std::filesystem::remove_all(folder());
        std::filesystem::create_directories(folder());
        ::setenv("XDG_STATE_HOME", folder().c_str(), 1);
    }
    void OnTestProgramEnd(const ::testing::UnitTest&) override {
        std::error_code ignored;
        std::filesystem::remove_all(folder(), ignored);
    }

  public:
    static const std::string& folder() {
        static const std::string path = "/tmp/tov-cli-test-state-" + std::to_string(::getpid());
        return path;
    }
};
const bool historyFolderInstalled = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new HistoryFolder);
    return true;
}();

std::vector<std::string> historyLines() {
    std::ifstream file(HistoryFolder::folder() + "/tov-upgrade/history.jsonl");
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

// The simulated device's restart and TFTP dally, short enough for the scaled clock's 1.6 s wait.
const std::vector<std::string> kQuickDevice = {"--tftp-timeout-ms", "500", "--restart-ms", "100"};

Scenario cli(std::vector<std::string> arguments, std::vector<std::string> device = {}) {
    Scenario s;
    s.simArgs = kQuickDevice;
    s.simArgs.insert(s.simArgs.end(), device.begin(), device.end());
    s.command = {TOV_CLI_PATH};
    s.command.insert(s.command.end(), arguments.begin(), arguments.end());
    return s;
}

// A password file of its own for each password and mode.
std::string passwordFile(const std::string& password, mode_t mode) {
    const std::string path = "/tmp/tov-cli-password-" + password + "-" + std::to_string(mode);
    std::ofstream(path) << password << "\n";
    ::chmod(path.c_str(), mode);
    return path;
}

// A FIFO nobody writes to: opening it for reading the usual way would wait for a writer.
std::string fifo() {
    const std::string path = "/tmp/tov-cli-password-fifo";
    ::unlink(path.c_str());
    ::mkfifo(path.c_str(), 0600);
    return path;
}

void expectImageStored(const Outcome& o) {
    EXPECT_TRUE(o.stored && o.storedImage == carriedImage()) << "the device holds no whole image";
}

// A line of --json output: a flat object of strings and numbers, read strictly.
std::optional<std::map<std::string, std::string>> parseJsonLine(const std::string& line) {
    std::map<std::string, std::string> fields;
    std::size_t at = 0;
    const auto readString = [&](std::string& into) {
        if (at >= line.size() || line[at] != '"')
            return false;
        for (++at; at < line.size() && line[at] != '"'; ++at) {
            if (static_cast<unsigned char>(line[at]) < 0x20)
                return false;
            if (line[at] == '\\') {
                if (++at >= line.size())
                    return false;
                if (line[at] == 'u') {
                    if (at + 4 >= line.size())
                        return false;
                    into += static_cast<char>(std::stoi(line.substr(at + 1, 4), nullptr, 16));
                    at += 4;
                    continue;
                }
            }
            into += line[at];
        }
        return at++ < line.size();
    };
    if (line.empty() || line[at++] != '{')
        return std::nullopt;
    for (bool first = true; at < line.size() && line[at] != '}'; first = false) {
        if (!first && line[at++] != ',')
            return std::nullopt;
        std::string key;
        std::string value;
        if (!readString(key) || at >= line.size() || line[at++] != ':')
            return std::nullopt;
        if (at < line.size() && line[at] == '"') {
            if (!readString(value))
                return std::nullopt;
        } else {
            while (at < line.size() &&
                   (std::isdigit(static_cast<unsigned char>(line[at])) || line[at] == '-'))
                value += line[at++];
            if (value.empty())
                return std::nullopt;
        }
        fields[key] = value;
    }
    if (at + 1 != line.size())
        return std::nullopt;
    return fields;
}

TEST(CliExitStatus, EachFailureHasItsStatus) {
    const std::vector<std::pair<Failure, int>> table = {
        {Failure::socketLibrary, 6},        {Failure::imageMissing, 6},
        {Failure::standInImage, 6},         {Failure::cannotOpenHttpSocket, 6},
        {Failure::cannotBindHttpSocket, 6}, {Failure::cannotConnect, 3},
        {Failure::noResponse, 3},           {Failure::authUnsupported, 4},
        {Failure::upgradeRefused, 1},       {Failure::userAbort, 5},
        {Failure::passwordNotGiven, 4},     {Failure::passwordRefused, 4},
        {Failure::listenerMemory, 6},       {Failure::listenerSocket, 6},
        {Failure::listenerBind, 6},         {Failure::listenerThread, 6},
        {Failure::imageTooLarge, 6},        {Failure::cancelledWhileInstalling, 5},
        {Failure::uploadIncomplete, 1},     {Failure::notBack, 1},
        {Failure::stillOldVersion, 1},      {Failure::versionNotConfirmed, 1},
        {Failure::imageNotCarried, 2},      {Failure::imageUnreadable, 2},
        {Failure::imageOversized, 2},       {Failure::imageTruncated, 2},
        {Failure::imageUnknownMagic, 2},    {Failure::imageBadVersion, 2},
        {Failure::imageDigestMismatch, 2},  {Failure::deviceChecksRefused, 7},
    };
    EXPECT_EQ(table.size(), static_cast<std::size_t>(Failure::deviceChecksRefused) + 1);
    for (const auto& [reason, status] : table)
        EXPECT_EQ(exitStatusFor(reason), status) << failureName(reason);
}

TEST(Cli, UpgradeWithoutPassword) {
    const Outcome o = runScenario(cli({"--yes", "127.0.0.2"}));
    EXPECT_EQ(o.exitStatus, 0) << o.errorOutput;
    EXPECT_NE(o.output.find("  Software Version:  2.0.9(a)"), std::string::npos) << o.output;
    EXPECT_NE(o.output.find("Uploading: 725912/725912 bytes, 100 %"), std::string::npos);
    EXPECT_NE(o.output.find("now reports software version 2.0.10(e)."), std::string::npos);
    EXPECT_EQ(o.errorOutput, "");
    expectImageStored(o);
}

TEST(Cli, PasswordFromAFileOrStandardInput) {
    const std::vector<std::string> device = {"--password", "secret", "--qop", "auth"};
    for (const bool fromFile : {true, false}) {
        SCOPED_TRACE(fromFile ? "--password-file" : "--password-stdin");
        Scenario s = fromFile ? cli({"--yes", "--quiet", "--password-file",
                                     passwordFile("secret", 0600), "127.0.0.2"},
                                    device)
                              : cli({"--yes", "--quiet", "--password-stdin", "127.0.0.2"}, device);
        s.standardInput = "secret\n";
        const Outcome o = runScenario(s);
        EXPECT_EQ(o.exitStatus, 0) << o.errorOutput;
        EXPECT_EQ(o.output, ""); // --quiet: nothing but failures
        EXPECT_EQ(o.deviceEvents("auth", {"\"accepted\":true"}).size(), 3u);
        expectImageStored(o);
    }
}

TEST(Cli, EachFailureSaysWhatInItsStatus) {
    struct Case {
        const char* what;
        Scenario scenario;
        int status;
        const char* message;
    };
    Scenario noDevice = cli({"--yes", "127.0.0.2"});
    noDevice.startSim = false;
    Scenario noTerminal = cli({"127.0.0.2"}); // no --yes, and nobody to ask
    const std::vector<Case> cases = {
        {"the device keeps its old version",
         cli({"--yes", "127.0.0.2"}, {"--fault-keep-old-version"}), 1,
         "Upgrade Failed: TOV still reports software version 2.0.9(a)"},
        {"an unknown option", cli({"--frobnicate", "127.0.0.2"}), 2, ""},
        {"not an address", cli({"--yes", "127.0.0"}), 2, "not an IPv4 address: 127.0.0"},
        {"a password file others can read",
         cli({"--yes", "--password-file", passwordFile("secret", 0644), "127.0.0.2"}), 2,
         "can be read by others"},
        {"a password file its group can read",
         cli({"--yes", "--password-file", passwordFile("secret", 0640), "127.0.0.2"}), 2,
         "can be read by others"},
        {"a FIFO as the password file", cli({"--yes", "--password-file", fifo(), "127.0.0.2"}), 2,
         "is not a regular file"},
        {"nobody at the address", noDevice, 3, "Upgrade Failed: Can't connect to TOV"},
        {"a refused password",
         cli({"--yes", "--password-file", passwordFile("wrong", 0600), "127.0.0.2"},
             {"--password", "secret"}),
         4, "tov-upgrade-cli: the TOV refused the password for user admin\n"},
        {"no terminal to confirm", noTerminal, 5, "use --yes"},
        {"the test image for a device off loopback", cli({"--yes", "192.0.2.10"}), 6,
         "Upgrade Failed: This program carries a test image, not TOV firmware"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome o = runScenario(c.scenario);
        EXPECT_TRUE(o.exited);
        EXPECT_EQ(o.exitStatus, c.status) << o.errorOutput;
        EXPECT_NE(o.errorOutput.find(c.message), std::string::npos) << o.errorOutput;
        if (c.status != 1) {
            EXPECT_FALSE(o.stored);
        }
        if (c.status == 2) {
            EXPECT_TRUE(o.deviceEvents("http_request").empty()) << "refused before any request";
        }
    }
}

// German where the user's environment asks for it (LANGUAGE works under any locale but C, and
// C.UTF-8 is built into the C library); what the TOV reports and the JSON lines stay as they are.
TEST(Cli, SpeaksGermanWhereTheUserDoes) {
    const auto inGerman = [](Scenario s) {
        s.command.insert(s.command.begin(),
                         {"/usr/bin/env", "-u", "LC_ALL", "-u", "LC_MESSAGES", "LANG=C.UTF-8",
                          "LANGUAGE=de", "TOV_LOCALEDIR=" TOV_LOCALE_DIR});
        return s;
    };
    Scenario help = inGerman(cli({"--help"}));
    help.startSim = false;
    const Outcome helped = runScenario(help);
    EXPECT_EQ(helped.exitStatus, 0) << helped.errorOutput;
    EXPECT_NE(helped.output.find("Aufruf: tov-upgrade-cli [OPTIONEN] [ADDRESS]"), std::string::npos)
        << helped.output;
    EXPECT_NE(helped.output.find("Ohne Rückfrage aktualisieren"), std::string::npos);
    EXPECT_NE(helped.output.find("Rückgabewert:"), std::string::npos);

    // A TOV that keeps its old version: its values on the lines before, and in the failure.
    const Outcome kept =
        runScenario(inGerman(cli({"--yes", "127.0.0.2"}, {"--fault-keep-old-version"})));
    EXPECT_EQ(kept.exitStatus, kExitDeviceFailed);
    EXPECT_NE(kept.errorOutput.find("tov-upgrade-cli: Aktualisierung fehlgeschlagen: Der TOV "
                                    "meldet noch die Softwareversion 2.0.9(a)\n"),
              std::string::npos)
        << kept.errorOutput;
    EXPECT_NE(kept.output.find("Der TOV unter 127.0.0.2 meldet:"), std::string::npos);
    EXPECT_NE(kept.output.find("  Softwareversion:   2.0.9(a)\n"), std::string::npos)
        << kept.output;

    const Outcome json =
        runScenario(inGerman(cli({"--yes", "--json", "127.0.0.2"}, {"--fault-keep-old-version"})));
    EXPECT_EQ(json.exitStatus, kExitDeviceFailed);
    EXPECT_NE(json.output.find("\"software_version\":\"2.0.9(a)\""), std::string::npos)
        << json.output;
    EXPECT_NE(json.output.find("\"message\":\"Upgrade Failed: TOV still reports software "
                               "version 2.0.9(a)\",\"reason\":\"still_old_version\""),
              std::string::npos)
        << json.output;
}

TEST(Cli, SaysWhatAUserAbortReallyWas) {
    // The device asks for a password; nobody is there to give one.
    Scenario noPassword = cli({"--yes", "127.0.0.2"}, {"--password", "secret"});
    Outcome o = runScenario(noPassword);
    EXPECT_EQ(o.exitStatus, 4);
    EXPECT_EQ(o.errorOutput, "tov-upgrade-cli: no password: the TOV asks for one; use "
                             "--password-file or --password-stdin\n");
    EXPECT_EQ(o.deviceEvents("http_request").size(), 1u) << "asked only for the page";
    EXPECT_FALSE(o.stored);

    // Ctrl-C once the device has acknowledged the last block: it installs what it holds.
    Scenario installing = cli({"--yes", "127.0.0.2"});
    installing.interruptWhen = [] {
        return deviceLogged({"\"event\":\"tftp_end\"", "\"complete\":true"}) > 0;
    };
    o = runScenario(installing);
    EXPECT_EQ(o.exitStatus, 5);
    EXPECT_NE(o.errorOutput.find("tov-upgrade-cli: stopped waiting: the TOV holds the whole image "
                                 "and is installing it; its new version is not confirmed\n"),
              std::string::npos)
        << o.errorOutput;
    expectImageStored(o);
    EXPECT_EQ(o.deviceEvents("http_request", {"/admin/advanced"}).size(), 1u)
        << "the version after the restart was never asked for";
}

// Each in a namespace of its own: the test's own device takes port 80 once.
void deviceTextsReachTheTerminalInert(bool json) {
    // Escape sequences that would retitle and clear the terminal, a carriage return and an erase
    // that would forge a line, a quote, DEL, and two high bytes of code page 1252.
    const std::string hostile = "TOV\x1b]0;owned\x07\x1b[2J\"q\"\r\x1b[2KUpgrade successful"
                                "\x7f\x9b\xe9";
    const std::string page = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"
                             "<td>Product Name:</td><td>" +
                             hostile + "</td><td>Software Version:</td><td>2.0.9</td>";
    {
        // --force: no model is in the product name, and the values are to be shown.
        Scenario s = json ? cli({"--json", "--force", "127.0.0.2"}) : cli({"--force", "127.0.0.2"});
        s.startSim = false;
        s.ownDeviceAnswers = {page};
        const Outcome o = runScenario(s);
        EXPECT_EQ(o.exitStatus, 5); // nobody to confirm: nothing more is sent
        if (json) {
            EXPECT_NE(o.output.find("\"product_name\":\"TOV\\u001b]0;owned\\u0007\\u001b[2J"
                                    "\\\"q\\\"\\u000d\\u001b[2KUpgrade successful"
                                    "\\u007f\\u203a\\u00e9\""),
                      std::string::npos)
                << o.output;
            return;
        }
        EXPECT_NE(o.output.find("  Product Name:      TOV?]0;owned??[2J\"q\"??[2KUpgrade "
                                "successful?\xe2\x80\xba\xc3\xa9\n"),
                  std::string::npos)
            << o.output;
        for (const char c : o.output + o.errorOutput) {
            const auto byte = static_cast<unsigned char>(c);
            EXPECT_TRUE(byte == '\n' || (byte >= 0x20 && byte != 0x7f)) << "byte " << int{byte};
        }
    }
}

TEST(Cli, DeviceTextsReachTheTerminalInert) {
    deviceTextsReachTheTerminalInert(false);
}

TEST(Cli, DeviceTextsReachJsonEscaped) {
    deviceTextsReachTheTerminalInert(true);
}

TEST(Cli, WaitingForItsPasswordTheProgramIsNotDumpable) {
    // As a normal user, reading its password from a pipe that stays open: the kernel gives a
    // process that cannot be dumped /proc files owned by root instead of by its user.
    Scenario s = cli({});
    s.command = {"/bin/sh", "-c",
                 std::string("sleep 3 | setpriv --reuid=65534 --regid=65534 --clear-groups ") +
                     TOV_CLI_PATH +
                     " --password-stdin 127.0.0.2 & sleep 1; stat -c %u /proc/$!/status; kill $!"};
    const Outcome o = runScenario(s);
    EXPECT_EQ(o.output, "0\n") << o.errorOutput;
    EXPECT_TRUE(o.deviceEvents("http_request").empty());
}

TEST(Cli, TerminatedAtThePasswordPromptTheTerminalEchoesAgain) {
    // The program on a terminal of its own (a pseudo-terminal), ended by SIGTERM while it waits
    // for the password with echo off; the terminal is asked afterwards whether it echoes.
    const std::string script = R"(
import os, pty, signal, sys, termios, time
master, slave = os.openpty()
pid = os.fork()
if pid == 0:
    os.setsid()
    import fcntl
    fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
    for fd in (0, 1, 2):
        os.dup2(slave, fd)
    os.execv(sys.argv[1], [sys.argv[1], "--yes", "127.0.0.2"])
seen = b""
deadline = time.time() + 20
import select
while b"assword" not in seen and time.time() < deadline:
    if select.select([master], [], [], 0.2)[0]:
        seen += os.read(master, 4096)
echo_off = not termios.tcgetattr(slave)[3] & termios.ECHO
os.kill(pid, signal.SIGTERM)
os.waitpid(pid, 0)
print("prompt" if b"assword" in seen else "no prompt", echo_off,
      bool(termios.tcgetattr(slave)[3] & termios.ECHO))
)";
    Scenario s = cli({}, {"--password", "secret"});
    s.command = {"/usr/bin/python3", "-c", script, TOV_CLI_PATH};
    const Outcome o = runScenario(s);
    EXPECT_EQ(o.output, "prompt True True\n") << o.errorOutput;
    EXPECT_FALSE(o.stored);
}

TEST(Cli, WaitsForTheTovEndWithinTheTimeout) {
    struct Case {
        const char* what;
        std::vector<std::string> device;
        const char* words;
    };
    const std::vector<Case> cases = {
        {"a TOV that accepts and never answers",
         {"--fault-hang", "1"},
         "tov-upgrade-cli: the TOV at 127.0.0.2 did not answer within 2 s; is it switched on, "
         "and is 127.0.0.2 its address?\n"},
        {"a TOV that never fetches the image",
         {"--fault-no-fetch"},
         "tov-upgrade-cli: the TOV did not ask for the firmware within 2 s; is UDP port 69 open "
         "on this computer?\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scenario s = cli({"--yes", "--timeout", "2", "127.0.0.2"}, c.device);
        s.command[0] = TOV_CLI_REAL_CLOCK_PATH; // seconds as a user counts them
        const Outcome o = runScenario(s);
        EXPECT_EQ(o.exitStatus, 3);
        EXPECT_EQ(o.errorOutput, c.words);
        EXPECT_GE(o.seconds, 2.0);
        EXPECT_LT(o.seconds, 6.0);
        EXPECT_FALSE(o.stored);
    }
}

TEST(Cli, ServesFromTheChosenPortAndSaysWhere) {
    Outcome o = runScenario(cli({"--yes", "--tftp-port", "4711", "127.0.0.2"}));
    EXPECT_EQ(o.exitStatus, 0) << o.errorOutput;
    EXPECT_NE(o.output.find("Serving the firmware from 127.0.0.1, UDP port 4711; telling the TOV "
                            "to fetch it...\n"),
              std::string::npos)
        << o.output;
    EXPECT_EQ(o.deviceEvents("http_request", {"tftp://127.0.0.1:4711/tov"}).size(), 1u);
    expectImageStored(o);

    // Taken by another program: a clear failure, and the TOV is never told to fetch.
    Scenario taken = cli({});
    taken.command = {"/bin/sh", "-c",
                     std::string("/usr/bin/python3 -c 'import socket, time; s = "
                                 "socket.socket(socket.AF_INET, socket.SOCK_DGRAM); "
                                 "s.bind((\"127.0.0.1\", 4711)); time.sleep(4)' & sleep 0.5; ") +
                         TOV_CLI_PATH + " --yes --tftp-port 4711 127.0.0.2"};
    o = runScenario(taken);
    EXPECT_EQ(o.exitStatus, 6);
    EXPECT_NE(o.errorOutput.find("Upgrade Failed: Can't bind TFTP listener socket (UDP port 4711 "
                                 "is taken or not allowed)"),
              std::string::npos)
        << o.errorOutput;
    EXPECT_TRUE(o.deviceEvents("upgrade_request").empty());
}

TEST(Cli, HistoryRecordsEveryRunThatReachedTheTov) {
    const std::vector<std::string> device = {"--password", "secret", "--user", "root"};
    Scenario s = cli({"--yes", "--user", "root", "--password-stdin", "127.0.0.2"}, device);
    s.standardInput = "secret\n";
    Outcome o = runScenario(s);
    EXPECT_EQ(o.exitStatus, 0) << o.errorOutput;
    EXPECT_EQ(o.deviceEvents("auth", {"\"accepted\":true"}).size(), 3u) << "--user root";

    Scenario old = cli({"--yes", "127.0.0.2"}, {"--fault-keep-old-version"});
    EXPECT_EQ(runScenario(old).exitStatus, 1);
    Scenario unrecorded = cli({"--yes", "--no-history", "127.0.0.2"});
    EXPECT_EQ(runScenario(unrecorded).exitStatus, 0);

    const std::vector<std::string> lines = historyLines();
    ASSERT_EQ(lines.size(), 2u);
    const auto success = parseJsonLine(lines[0]);
    const auto failure = parseJsonLine(lines[1]);
    ASSERT_TRUE(success && failure) << lines[0] << "\n" << lines[1];
    EXPECT_EQ(success->at("address"), "127.0.0.2");
    EXPECT_EQ(success->at("product_name"), "TOV-2000");
    EXPECT_EQ(success->at("version_before"), "2.0.9(a)");
    EXPECT_EQ(success->at("version_after"), "2.0.10(e)");
    EXPECT_EQ(success->at("image_version"), "2.0.10(e)");
    EXPECT_EQ(success->at("outcome"), "success");
    EXPECT_EQ(success->at("status"), "0");
    EXPECT_FALSE(success->at("mac_address").empty());
    EXPECT_FALSE(success->at("serial_number").empty());
    EXPECT_EQ(failure->at("outcome"), "still_old_version");
    EXPECT_EQ(failure->at("version_after"), "2.0.9(a)");
    EXPECT_EQ(failure->at("status"), "1");
    for (const std::string& line : lines)
        EXPECT_EQ(line.find("secret"), std::string::npos) << "the password stays out";

    Scenario table = cli({"--history"});
    table.startSim = false;
    o = runScenario(table);
    EXPECT_EQ(o.exitStatus, 0);
    EXPECT_NE(o.output.find("127.0.0.2"), std::string::npos) << o.output;
    EXPECT_NE(o.output.find("still_old_version (1)"), std::string::npos) << o.output;
    table.command.push_back("--json");
    o = runScenario(table);
    EXPECT_EQ(o.output, lines[0] + "\n" + lines[1] + "\n");
}

// The screen of a terminal `columns` wide after a whole upgrade, as tmux shows it.
std::vector<std::string> screenAfterAnUpgrade(int columns) {
    Scenario s = cli({});
    const std::string session = "tov-screen-" + std::to_string(columns);
    s.command = {"/bin/sh", "-c",
                 "tmux -L " + session + " new-session -d -x " + std::to_string(columns) +
                     " -y 80 '" + TOV_CLI_PATH +
                     " --yes 127.0.0.2; echo EXIT $?; sleep 60' && for i in $(seq 100); do "
                     "tmux -L " +
                     session +
                     " capture-pane -p -S -200 | grep -q '^EXIT' && break; sleep 0.1; "
                     "done; tmux -L " +
                     session + " capture-pane -p -S -200; tmux -L " + session + " kill-server"};
    const Outcome o = runScenario(s);
    std::vector<std::string> lines;
    std::istringstream screen(o.output);
    for (std::string line; std::getline(screen, line);)
        if (line.find_first_not_of(' ') != std::string::npos)
            lines.push_back(line);
    return lines;
}

TEST(Cli, DrawsToTheTerminalsWidth) {
    for (const int columns : {30, 120}) {
        SCOPED_TRACE(std::to_string(columns) + " columns");
        const std::vector<std::string> screen = screenAfterAnUpgrade(columns);
        std::string all;
        for (const std::string& line : screen)
            all += line + "\n";
        ASSERT_NE(all.find("EXIT 0"), std::string::npos) << all;
        const auto countLines = [&](const std::string& start) {
            return std::count_if(screen.begin(), screen.end(),
                                 [&](const std::string& l) { return l.rfind(start, 0) == 0; });
        };
        // Redrawn in place at any width: one upload line, one countdown line.
        EXPECT_EQ(countLines("Uploading: "), 1) << all;
        EXPECT_EQ(countLines("Waiting for the TOV to r"), 1) << all;
        EXPECT_EQ(countLines("Connecting with"), 1) << all; // one line per stage
        // The warning wraps at spaces, within the width (no word broken).
        EXPECT_EQ(screen.front().rfind("WARNING: Forcing a firmware", 0), 0u) << all;
        for (const char* words : {"interruption", "administrator", "authorization", "automatically",
                                  "127.0.0.1, UDP port 69;"})
            EXPECT_NE(all.find(words), std::string::npos) << words;
        std::size_t longest = 0;
        for (const std::string& line : screen)
            longest = std::max(longest, line.size());
        EXPECT_LE(longest, static_cast<std::size_t>(columns));
        if (columns > 80) {
            EXPECT_GT(screen.front().size(), 80u) << "wrapped to the terminal, not to 80";
        }
    }
}

TEST(Cli, JsonLinesForScripts) {
    const Outcome o = runScenario(cli({"--yes", "--json", "127.0.0.2"}));
    EXPECT_EQ(o.exitStatus, 0) << o.errorOutput;
    std::vector<std::map<std::string, std::string>> lines;
    std::size_t at = 0;
    while (at < o.output.size()) {
        const std::size_t end = o.output.find('\n', at);
        const std::string line = o.output.substr(at, end - at);
        const auto fields = parseJsonLine(line);
        ASSERT_TRUE(fields && fields->count("step")) << "not a JSON line: " << line;
        lines.push_back(*fields);
        at = end == std::string::npos ? o.output.size() : end + 1;
    }
    // The connecting and waiting lines of the upgrade request and the listener come from two
    // threads at once: the rest follows in order.
    std::vector<std::string> steps;
    int connecting = 0;
    int waiting = 0;
    for (const auto& l : lines) {
        const std::string& step = l.at("step");
        connecting += step == "connecting";
        waiting += step == "waiting";
        if (step != "connecting" && step != "waiting" && (steps.empty() || steps.back() != step))
            steps.push_back(step);
    }
    EXPECT_EQ(steps,
              (std::vector<std::string>{"notice", "device", "upload", "restart", "success"}));
    EXPECT_EQ(connecting, 3);
    EXPECT_EQ(waiting, 1);
    for (const auto& l : lines) {
        if (l.at("step") == "device") {
            EXPECT_EQ(l.at("software_version"), "2.0.9(a)");
            EXPECT_EQ(l.at("image_version"), "2.0.10(e)");
        }
        if (l.at("step") == "success") {
            EXPECT_EQ(l.at("software_version"), "2.0.10(e)");
        }
    }
    // Every line says which TOV it is about, when, and in which form.
    const std::regex rfc3339(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
    int serving = 0;
    for (const auto& l : lines) {
        EXPECT_EQ(l.count("schema") ? l.at("schema") : "", "1");
        EXPECT_EQ(l.count("address") ? l.at("address") : "", "127.0.0.2");
        EXPECT_TRUE(l.count("time") && std::regex_match(l.at("time"), rfc3339));
        if (l.at("step") == "connecting" && l.count("tftp_port")) {
            ++serving;
            EXPECT_EQ(l.at("stage"), "upgrade_request");
            EXPECT_EQ(l.at("tftp_address"), "127.0.0.1");
            EXPECT_EQ(l.at("tftp_port"), "69");
        }
        if (l.at("step") == "success") {
            EXPECT_EQ(l.at("version_before"), "2.0.9(a)");
            EXPECT_EQ(l.at("version_after"), "2.0.10(e)");
            EXPECT_EQ(l.at("image_version"), "2.0.10(e)");
        }
    }
    EXPECT_EQ(serving, 1);
    const auto& lastUpload = *std::find_if(lines.rbegin(), lines.rend(),
                                           [](const auto& l) { return l.at("step") == "upload"; });
    EXPECT_EQ(lastUpload.at("bytes"), "725912");
    EXPECT_EQ(lastUpload.at("percent"), "100");
    expectImageStored(o);
}

TEST(Cli, CtrlCDuringTheUploadStopsTheTransferFirst) {
    // On the real clock, with a resend every 100 ACKs, the upload lasts over a second.
    Scenario s = cli({"--yes", "127.0.0.2"}, {"--fault-drop-ack-every", "100"});
    s.command[0] = TOV_CLI_REAL_CLOCK_PATH;
    s.interruptWhen = [] {
        return deviceLogged({"\"event\":\"tftp_recv\"", "\"op\":\"DATA\""}) >= 300;
    };
    const Outcome o = runScenario(s);
    EXPECT_EQ(o.exitStatus, 5);
    EXPECT_NE(o.errorOutput.find("Upgrade Failed: User Abort"), std::string::npos);
    // The device's last DATA block arrived before the program ended, and it holds nothing.
    const auto data = o.deviceEvents("tftp_recv", {"\"op\":\"DATA\""});
    EXPECT_LT(data.size(), 1418u);
    EXPECT_FALSE(o.stored);
    EXPECT_TRUE(o.deviceEvents("tftp_end", {"\"complete\":true"}).empty());
}

TEST(Cli, ThreeDevicesAtOnceWithXargs) {
    Scenario s = cli({});
    s.moreDevices = {"127.0.0.4", "127.0.0.5"};
    s.command = {"/bin/sh", "-c",
                 std::string("printf '127.0.0.2\\n127.0.0.4\\n127.0.0.5\\n' | xargs -P3 -I{} ") +
                     TOV_CLI_PATH + " --yes --quiet {}"};
    const Outcome o = runScenario(s);
    EXPECT_EQ(o.exitStatus, 0) << o.errorOutput;
    expectImageStored(o);
    ASSERT_EQ(o.moreDevicesStoredTheImage.size(), 2u);
    EXPECT_TRUE(o.moreDevicesStoredTheImage[0]);
    EXPECT_TRUE(o.moreDevicesStoredTheImage[1]);
}

// ---- The image and its checks -----------------------------------------------------------------

// The carried image changed by `edit`, as a file of its own.
std::string imageFile(const std::string& name,
                      const std::function<void(std::vector<std::uint8_t>&)>& edit) {
    std::vector<std::uint8_t> bytes = carriedImage();
    edit(bytes);
    const std::string path = "/tmp/tov-cli-image-" + name + ".bin";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

void setImageVersion(std::vector<std::uint8_t>& bytes, const std::string& version) {
    std::fill(bytes.begin() + 92, bytes.begin() + 128, std::uint8_t{0});
    std::copy(version.begin(), version.end(), bytes.begin() + 92);
}

std::string imageOfVersion(const std::string& version) {
    return imageFile("version-" + version,
                     [&](std::vector<std::uint8_t>& b) { setImageVersion(b, version); });
}

// The device was asked for nothing at all.
void expectUntouched(const Outcome& o) {
    EXPECT_TRUE(o.deviceEvents("http_request").empty()) << "the TOV heard from the program";
    EXPECT_TRUE(o.deviceEvents("tftp_recv").empty());
    EXPECT_FALSE(o.stored);
}

// The device was asked for its page and nothing more.
void expectPageOnly(const Outcome& o) {
    EXPECT_EQ(o.deviceEvents("http_request").size(), 1u);
    EXPECT_EQ(o.deviceEvents("http_request", {"/admin/advanced"}).size(), 1u);
    EXPECT_TRUE(o.deviceEvents("upgrade_request").empty()) << "told to fetch";
    EXPECT_TRUE(o.deviceEvents("tftp_recv").empty());
    EXPECT_FALSE(o.stored);
}

struct CheckCase {
    const char* what;
    Scenario scenario;
    int status;
    std::string words; // on standard error
};

TEST(CliImage, ARefusedImageNeverReachesTheTov) {
    const std::string truncated =
        imageFile("truncated", [](std::vector<std::uint8_t>& b) { b.resize(b.size() - 100); });
    const std::string magic = imageFile(
        "magic", [](std::vector<std::uint8_t>& b) { std::copy_n("FAX9000", 7, b.begin()); });
    const std::string wrongDigest(64, 'a');
    std::filesystem::create_directories("/tmp/tov-cli-image-folder");
    const std::vector<CheckCase> cases = {
        {"a truncated image", cli({"--yes", "--image", truncated, "127.0.0.2"}), 2,
         truncated + " is truncated or damaged: its size is not the length its header declares"},
        {"a truncated image, whatever --force says",
         cli({"--yes", "--force", "--image", truncated, "127.0.0.2"}), 2, "truncated or damaged"},
        {"another magic", cli({"--yes", "--image", magic, "127.0.0.2"}), 2,
         magic + " is not a TOV2000 or TOV3000 firmware image (its first bytes); --force sends it "
                 "all the same"},
        {"not the SHA-256 given", cli({"--yes", "--sha256", wrongDigest, "127.0.0.2"}), 2,
         "the image this program carries has SHA-256 " +
             std::string("1b297ec6412e0621b056ffb37cfdfd23e9e619822ae2827abfede0f500163c91") +
             ", not the " + wrongDigest + " given with --sha256"},
        {"a folder as the image",
         cli({"--yes", "--image", "/tmp/tov-cli-image-folder", "127.0.0.2"}), 2,
         "cannot read the firmware image /tmp/tov-cli-image-folder (it must be a regular file"},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome o = runScenario(c.scenario);
        EXPECT_EQ(o.exitStatus, c.status) << o.errorOutput;
        EXPECT_NE(o.errorOutput.find(c.words), std::string::npos) << o.errorOutput;
        expectUntouched(o);
    }
}

TEST(CliImage, TheChecksAgainstTheTovRefuseWithNothingDone) {
    const std::vector<CheckCase> cases = {
        {"an older image", cli({"--yes", "127.0.0.2"}, {"--software-version", "3.1.0(a)"}), 7,
         "the image's version 2.0.10(e) is older than the TOV's 3.1.0(a); --allow-older upgrades "
         "it all the same; nothing done"},
        {"the same version", cli({"--yes", "127.0.0.2"}, {"--software-version", "2.0.10(e)"}), 7,
         "the TOV already runs version 2.0.10(e), the image's; --allow-reinstall upgrades it all "
         "the same; nothing done"},
        {"another model", cli({"--yes", "127.0.0.2"}, {"--product-name", "FAX-9000"}), 7,
         "the image is for the TOV-1000/2000, but the TOV reports product name \"FAX-9000\"; "
         "--force upgrades it all the same; nothing done"},
        {"an unknown version with --yes",
         cli({"--yes", "127.0.0.2"}, {"--software-version", "beta 7"}), 7,
         "the TOV's software version \"beta 7\" cannot be compared with the image's 2.0.10(e); "
         "--force upgrades it all the same; nothing done"},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome o = runScenario(c.scenario);
        EXPECT_EQ(o.exitStatus, c.status) << o.errorOutput;
        EXPECT_NE(o.errorOutput.find(c.words), std::string::npos) << o.errorOutput;
        expectPageOnly(o);
    }
}

TEST(CliImage, EachOverrideLetsTheUpgradeGoOn) {
    const std::string magic = imageFile(
        "magic", [](std::vector<std::uint8_t>& b) { std::copy_n("FAX9000", 7, b.begin()); });
    struct Case {
        const char* what;
        Scenario scenario;
        int status;
        const char* note; // on standard output
    };
    const std::vector<Case> cases = {
        {"--allow-older",
         cli({"--yes", "--allow-older", "127.0.0.2"}, {"--software-version", "3.1.0(a)"}), 0,
         "Note: the image's version 2.0.10(e) is older than the TOV's 3.1.0(a) (--allow-older)"},
        {"--allow-reinstall",
         cli({"--yes", "--allow-reinstall", "127.0.0.2"}, {"--software-version", "2.0.10(e)"}), 0,
         "Note: the TOV already runs version 2.0.10(e), the image's (--allow-reinstall)"},
        {"--force for another model",
         cli({"--yes", "--force", "127.0.0.2"}, {"--product-name", "FAX-9000"}), 0,
         "Note: the image is for the TOV-1000/2000, but the TOV reports product name "
         "\"FAX-9000\" (--force)"},
        {"--force for an unknown version",
         cli({"--yes", "--force", "127.0.0.2"}, {"--software-version", "beta 7"}), 0,
         "Note: the TOV's software version \"beta 7\" cannot be compared"},
        // Sent as asked; the device itself refuses it and keeps its version.
        {"--force for another magic", cli({"--yes", "--force", "--image", magic, "127.0.0.2"}), 1,
         "Note: the image is for the ODM-Product, but the TOV reports product name \"TOV-2000\" "
         "(--force)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome o = runScenario(c.scenario);
        EXPECT_EQ(o.exitStatus, c.status) << o.errorOutput;
        EXPECT_NE(o.output.find(c.note), std::string::npos) << o.output;
        EXPECT_EQ(o.deviceEvents("upgrade_request").size(), 1u);
        EXPECT_FALSE(o.deviceEvents("tftp_end", {"\"complete\":true"}).empty())
            << "the whole image was sent";
        if (c.status == 0) {
            expectImageStored(o);
        }
    }
}

TEST(CliImage, UpgradesFromAFileItsSha256Shown) {
    const std::string newer = imageOfVersion("2.0.11(a)");
    std::vector<std::uint8_t> expected = carriedImage();
    setImageVersion(expected, "2.0.11(a)");
    const std::string digest = sha256Hex(sha256(expected)).data();
    const Outcome o =
        runScenario(cli({"--yes", "--json", "--image", newer, "--sha256", digest, "127.0.0.2"}));
    EXPECT_EQ(o.exitStatus, 0) << o.errorOutput;
    EXPECT_TRUE(o.stored && o.storedImage == expected) << "the file's image, byte for byte";
    int carrying = 0;
    std::istringstream lines(o.output);
    for (std::string line; std::getline(lines, line);) {
        const auto fields = parseJsonLine(line);
        ASSERT_TRUE(fields) << line;
        if (fields->at("step") == "device" || fields->at("step") == "success") {
            EXPECT_EQ(fields->at("image_sha256"), digest) << line;
            EXPECT_EQ(fields->at("image_version"), "2.0.11(a)") << line;
            ++carrying;
        }
    }
    EXPECT_EQ(carrying, 2);
}

TEST(CliImage, CheckSaysWhatTheChecksWouldSay) {
    // Without an ADDRESS: the image alone, no TOV contacted.
    Scenario alone = cli({"--check"});
    Outcome o = runScenario(alone);
    EXPECT_EQ(o.exitStatus, 0) << o.errorOutput;
    EXPECT_NE(o.output.find("Firmware image: version 2.0.10(e) for the TOV-1000/2000, the test "
                            "image (for simulated TOVs on 127.0.0.0/8 only), carried by this "
                            "program\n  SHA-256: "
                            "1b297ec6412e0621b056ffb37cfdfd23e9e619822ae2827abfede0f500163c91\n"
                            "  Size:    725912 bytes\n"),
              std::string::npos)
        << o.output;
    expectUntouched(o);

    // With one: the page only, and the status the upgrade would end with.
    o = runScenario(cli({"--check", "127.0.0.2"}, {"--software-version", "3.1.0(a)"}));
    EXPECT_EQ(o.exitStatus, 7) << o.errorOutput;
    EXPECT_NE(o.output.find("Refused: the image's version 2.0.10(e) is older than the TOV's "
                            "3.1.0(a); --allow-older upgrades it all the same\n"
                            "Checks: the upgrade would be refused (status 7).\n"),
              std::string::npos)
        << o.output;
    expectPageOnly(o);
    o = runScenario(cli({"--check", "127.0.0.2"}));
    EXPECT_EQ(o.exitStatus, 0) << o.errorOutput;
    EXPECT_NE(o.output.find("Checks: the upgrade would go ahead.\n"), std::string::npos);
    expectPageOnly(o);
    EXPECT_TRUE(historyLines().empty()) << "a dry run is no upgrade";
}

TEST(CliImage, VersionNamesTheCarriedImage) {
    Scenario s = cli({"--version"});
    s.startSim = false;
    const Outcome o = runScenario(s);
    EXPECT_EQ(o.exitStatus, 0);
    EXPECT_NE(o.output.find("\ncarries firmware image 2.0.10(e) for the TOV-1000/2000 (test "
                            "image)\n"),
              std::string::npos)
        << o.output;
}

TEST(CliImage, ABuildWithoutAnImageNeedsAFile) {
    Scenario s = cli({"--yes", "127.0.0.2"});
    s.command[0] = TOV_CLI_NO_IMAGE_PATH;
    Outcome o = runScenario(s);
    EXPECT_EQ(o.exitStatus, 2);
    EXPECT_EQ(o.errorOutput,
              "tov-upgrade-cli: this program carries no firmware image; name one with --image "
              "FILE\n");
    expectUntouched(o);

    // The stand-in from a file is still known for what it is.
    const std::string standIn = imageFile("stand-in", [](std::vector<std::uint8_t>&) {});
    s = cli({"--yes", "--image", standIn, "192.0.2.10"});
    s.command[0] = TOV_CLI_NO_IMAGE_PATH;
    o = runScenario(s);
    EXPECT_EQ(o.exitStatus, 6);
    EXPECT_NE(o.errorOutput.find(standIn + " is the test image, not TOV firmware"),
              std::string::npos)
        << o.errorOutput;

    s = cli({"--yes", "--image", standIn, "127.0.0.2"});
    s.command[0] = TOV_CLI_NO_IMAGE_PATH;
    o = runScenario(s);
    EXPECT_EQ(o.exitStatus, 0) << o.errorOutput;
    expectImageStored(o);
}

} // namespace
