// SPDX-License-Identifier: MIT
// The TFTP listener on Linux as a normal user: ports 69-168 are refused for lack of privilege,
// so the listener takes a port the system picks. Any other refusal still ends the upgrade.
// Run inside a private network namespace, as root (the tests drop to nobody themselves).
#include <gtest/gtest.h>

#include <grp.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/platform.h"
#include "scripted_ui.h"
#include "tftp/tftp_listener.h"

namespace {

constexpr std::uint32_t kLoopback = 0x7f000001;
constexpr uid_t kNobody = 65534;

// False when the system lets everyone bind port 69 (then there is nothing to fall back from).
bool lowPortsNeedPrivilege() {
    std::ifstream start("/proc/sys/net/ipv4/ip_unprivileged_port_start");
    int first = 1024;
    start >> first;
    return first > kTftpLastPort;
}

// Becomes nobody, with no groups and no capabilities left.
void becomeNobody() {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
        ::setresuid(kNobody, kNobody, kNobody) != 0) {
        std::fputs("cannot become nobody\n", stderr);
        std::_Exit(3);
    }
}

class BindOutcomeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root, to drop to nobody";
        resetScriptedUi();
    }
};

TEST_F(BindOutcomeTest, RefusalForPrivilegeIsToldApart) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (!lowPortsNeedPrivilege())
        GTEST_SKIP() << "low ports are open to everyone here";
    const auto asNobody = [] {
        becomeNobody();
        SocketGuard low(openUdpSocket());
        const bool refused =
            bindSocketTellingWhy(low.get(), kLoopback, 69) == BindOutcome::permissionDenied;
        SocketGuard any(openUdpSocket());
        const bool bound = bindSocketTellingWhy(any.get(), kLoopback, 0) == BindOutcome::bound;
        const std::uint16_t chosen = boundLocalPort(any.get());
        // The port is really ours: a second socket cannot have it, and not for privilege.
        SocketGuard again(openUdpSocket());
        const bool taken =
            bindSocketTellingWhy(again.get(), kLoopback, chosen) == BindOutcome::failed;
        std::fprintf(stderr, "refused %d bound %d chosen %u taken %d\n", refused, bound,
                     static_cast<unsigned>(chosen), taken);
        std::_Exit(refused && bound && chosen >= 1024 && taken ? 0 : 1);
    };
    EXPECT_EXIT(asNobody(), ::testing::ExitedWithCode(0),
                "refused 1 bound 1 chosen [0-9]+ taken 1");
}

TEST_F(BindOutcomeTest, RootIsNeverRefusedForPrivilege) {
    SocketGuard low(openUdpSocket());
    EXPECT_NE(bindSocketTellingWhy(low.get(), kLoopback, 69), BindOutcome::permissionDenied);
}

TEST_F(BindOutcomeTest, ListenerAsNormalUserTakesThePortTheSystemPicks) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (!lowPortsNeedPrivilege())
        GTEST_SKIP() << "low ports are open to everyone here";
    const auto listenAsNobody = [] {
        becomeNobody();
        TftpListener listener;
        const bool listening = openTftpListener(listener, kLoopback) == ListenerStatus::listening;
        const std::uint16_t port = listener.boundPort;
        // Something listens there now: binding it again is refused as taken.
        SocketGuard probe(openUdpSocket());
        const bool taken =
            bindSocketTellingWhy(probe.get(), kLoopback, port) == BindOutcome::failed;
        std::fprintf(stderr, "fallback port %u taken %d\n", static_cast<unsigned>(port), taken);
        std::_Exit(listening && port > kTftpLastPort && taken ? 0 : 1);
    };
    EXPECT_EXIT(listenAsNobody(), ::testing::ExitedWithCode(0), "fallback port [0-9]+ taken 1");
}

TEST_F(BindOutcomeTest, RangeTakenByOthersIsStillABindFailure) {
    std::vector<std::unique_ptr<SocketGuard>> holders;
    for (std::uint16_t port = kTftpFirstPort; port <= kTftpLastPort; ++port) {
        holders.push_back(std::make_unique<SocketGuard>(openUdpSocket()));
        bindSocket(holders.back()->get(), kLoopback, port);
    }
    TftpListener listener;
    EXPECT_EQ(openTftpListener(listener, kLoopback), ListenerStatus::cannotBind);
}

} // namespace
