// tov-upgrade-cli against the simulated device: the success paths with and without a password,
// each exit status, the JSON lines, Ctrl-C during the upload, and three devices at once.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "exit_status.h"
#include "scenario.h"

namespace {

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
        {Failure::stillOldVersion, 1},
    };
    EXPECT_EQ(table.size(), static_cast<std::size_t>(Failure::stillOldVersion) + 1);
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
    }
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

} // namespace
