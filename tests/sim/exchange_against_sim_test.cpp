// SPDX-License-Identifier: MIT
// The program's HTTP exchange and Digest authentication against the simulated device, which
// checks every request with its own parser and OpenSSL's MD5. Runs in a private namespace: the
// device on 127.0.0.2:80, the program on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/context.h" // kResponseBufferSize
#include "base/random.h"
#include "base/text.h"
#include "http/http_exchange.h"
#include "platform/platform.h"

extern char** environ;

namespace {

// What an exchange works on, as the request runner hands it over.
struct {
    char responseBuffer[kResponseBufferSize];
    DigestChallenge digest;
    DeviceInfo deviceInfo;
} state;

constexpr std::uint32_t kComputer = 0x7f000001; // 127.0.0.1
constexpr std::uint32_t kDevice = 0x7f000002;   // 127.0.0.2

// One tov-sim process, stopped with SIGTERM when the test ends.
class SimulatedDevice {
  public:
    explicit SimulatedDevice(std::vector<std::string> options) {
        char pattern[] = "/tmp/tov-sim-exchange-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        std::vector<std::string> args = {TOV_SIM_PATH, "--log", log(), "--ready-file",
                                         dir_ + "/ready"};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (pid_ > 0 && ::access((dir_ + "/ready").c_str(), F_OK) != 0 &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~SimulatedDevice() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
        std::remove(log().c_str());
        std::remove((dir_ + "/ready").c_str());
        ::rmdir(dir_.c_str());
    }
    SimulatedDevice(const SimulatedDevice&) = delete;
    SimulatedDevice& operator=(const SimulatedDevice&) = delete;

    bool ready() const { return pid_ > 0 && ::access((dir_ + "/ready").c_str(), F_OK) == 0; }
    std::string log() const { return dir_ + "/events.jsonl"; }

    // The device's authentication verdicts, in order: "accepted" or the refusal's reason.
    std::vector<std::string> verdicts() const {
        std::ifstream in(log());
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);) {
            if (line.find("\"event\":\"auth\"") == std::string::npos)
                continue;
            if (line.find("\"accepted\":true") != std::string::npos) {
                out.push_back("accepted");
                continue;
            }
            const auto at = line.find("\"reason\":\"") + 10;
            out.push_back(line.substr(at, line.find('"', at) - at));
        }
        return out;
    }
    std::size_t count(const std::string& text) const {
        std::ifstream in(log());
        std::stringstream all;
        all << in.rdbuf();
        const std::string s = all.str();
        std::size_t n = 0;
        for (auto at = s.find(text); at != std::string::npos; at = s.find(text, at + 1))
            ++n;
        return n;
    }

  private:
    std::string dir_;
    pid_t pid_ = -1;
};

class ExchangeAgainstSim : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(initSocketLibrary());
        state.digest = DigestChallenge{};
        state.deviceInfo = DeviceInfo{};
        seedRandom(12345);
    }
    // The byte count, or -1 for a usable challenge.
    static int exchange(const char* path = "/admin/advanced") {
        const HttpResult result =
            httpExchange({kComputer, 23456, kDevice, 80}, path, state.responseBuffer, state.digest,
                         state.deviceInfo);
        return result.outcome == HttpOutcome::challenged ? -1 : result.received;
    }
    static void enterPassword(const char* password) {
        copyText(state.digest.userName, "admin");
        copyText(state.digest.password, password);
    }
    // Challenge, then the password: the first authorized request carries count 1.
    static void logIn(const char* password) {
        ASSERT_EQ(exchange(), -1);
        EXPECT_EQ(state.digest.nonceCount, 0u);
        enterPassword(password);
        ASSERT_GT(exchange(), 0);
        EXPECT_EQ(state.digest.nonceCount, 1u);
    }
};

TEST_F(ExchangeAgainstSim, NoPasswordReadsTheIdentity) {
    SimulatedDevice sim({"--product-name", "TOV-3000", "--mac", "00:0E:08:AA:BB:CC",
                         "--software-version", "3.1.4(b)", "--hardware-version", "2.0", "--serial",
                         "SN-42"});
    ASSERT_TRUE(sim.ready());
    EXPECT_GT(exchange(), 0);
    const DeviceInfo& info = state.deviceInfo;
    EXPECT_STREQ(info.deviceProductName, "TOV-3000");
    EXPECT_STREQ(info.macAddress, "00:0E:08:AA:BB:CC");
    EXPECT_STREQ(info.softwareVersion, "3.1.4(b)");
    EXPECT_STREQ(info.hardwareVersion, "2.0");
    EXPECT_STREQ(info.serialNumber, "SN-42");
    EXPECT_EQ(sim.count("\"program_form\":true"), 1u);
    EXPECT_TRUE(sim.verdicts().empty());
}

TEST_F(ExchangeAgainstSim, ChallengeThenPasswordThenPreemptiveRequests) {
    SimulatedDevice sim({"--password", "secret"});
    ASSERT_TRUE(sim.ready());
    logIn("secret");
    EXPECT_STREQ(state.deviceInfo.deviceProductName, "TOV-2000");
    EXPECT_GT(exchange("/admin/upgrade?tftp://127.0.0.1:69/tov1.bin"), 0);
    EXPECT_EQ(sim.verdicts(), (std::vector<std::string>{"no credentials", "accepted", "accepted"}));
}

TEST_F(ExchangeAgainstSim, RefusedPasswordKeepsTheNonce) {
    SimulatedDevice sim({"--password", "secret", "--qop", "auth"});
    ASSERT_TRUE(sim.ready());
    ASSERT_EQ(exchange(), -1);
    enterPassword("wrong");
    EXPECT_EQ(exchange(), -1);
    // The same nonce again: the count stays above 0, which the runner reads as a refusal.
    EXPECT_EQ(state.digest.nonceCount, 1u);
    enterPassword("secret");
    EXPECT_GT(exchange(), 0);
    EXPECT_EQ(sim.verdicts(),
              (std::vector<std::string>{"no credentials", "wrong response", "accepted"}));
}

TEST_F(ExchangeAgainstSim, QopAuthAndAuthInt) {
    for (const char* qop : {"auth", "auth-int", "auth,auth-int"}) {
        SCOPED_TRACE(qop);
        SetUp();
        SimulatedDevice sim({"--password", "pw", "--qop", qop});
        ASSERT_TRUE(sim.ready());
        logIn("pw");
        EXPECT_GT(exchange(), 0); // nc 2, pre-emptive
        EXPECT_EQ(sim.verdicts(),
                  (std::vector<std::string>{"no credentials", "accepted", "accepted"}));
    }
}

TEST_F(ExchangeAgainstSim, Md5SessInAnyCase) {
    for (const char* algorithm : {"MD5-sess", "md5-sess", "MD5"}) {
        SCOPED_TRACE(algorithm);
        SetUp();
        SimulatedDevice sim({"--password", "pw", "--qop", "auth", "--algorithm", algorithm});
        ASSERT_TRUE(sim.ready());
        logIn("pw");
        EXPECT_EQ(sim.verdicts(), (std::vector<std::string>{"no credentials", "accepted"}));
    }
}

TEST_F(ExchangeAgainstSim, OpaqueIsEchoed) {
    SimulatedDevice sim({"--password", "pw", "--opaque", "5ccc069c403ebaf9f0171e9517f40e41",
                         "--qop", "auth-int", "--algorithm", "MD5-sess"});
    ASSERT_TRUE(sim.ready());
    logIn("pw");
    EXPECT_EQ(sim.verdicts(), (std::vector<std::string>{"no credentials", "accepted"}));
}

TEST_F(ExchangeAgainstSim, FreshNonceResetsTheCountForOneSilentRetry) {
    SimulatedDevice sim({"--password", "pw", "--qop", "auth", "--nonce-uses", "1"});
    ASSERT_TRUE(sim.ready());
    logIn("pw");
    const std::string firstNonce = state.digest.nonce;
    EXPECT_EQ(exchange(), -1);
    EXPECT_EQ(state.digest.nonceCount, 0u); // new nonce: the runner retries silently
    EXPECT_NE(firstNonce, state.digest.nonce);
    EXPECT_GT(exchange(), 0);
    EXPECT_EQ(sim.verdicts(),
              (std::vector<std::string>{"no credentials", "accepted", "stale nonce", "accepted"}));
}

} // namespace
