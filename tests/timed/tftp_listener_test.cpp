// The listener: its port search, what it drops while waiting, and the hand-over of the offered
// file's request to the session. Port 69 is only ours inside a private network namespace
// (scripts/netns-run.sh); elsewhere these cases are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/context.h"
#include "app/text.h"
#include "fake_clock.h"
#include "scripted_ui.h"
#include "tftp/tftp_listener.h"
#include "tftp_test_peer.h"

namespace {

constexpr char kOffered[] = "/tov1a2b.bin";
std::vector<std::uint8_t> image;

class TftpListenerDeathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!inPrivateNetwork())
            GTEST_SKIP() << "needs port 69: run inside scripts/netns-run.sh";
    }
};

// Child set-up: a small image, the offered name and the typed device address.
void prepareChild() {
    startWatchdog(20);
    resetScriptedUi();
    setFakeClock(0);
    image = makeTestImage(3000);
    upgradeContext.firmware.firmwareData = image.data();
    upgradeContext.firmware.firmwareSize = static_cast<std::uint32_t>(image.size());
    copyText(upgradeContext.fileName, kOffered);
    copyText(upgradeContext.deviceAddressText, "127.0.0.2");
}

bool eventShown(const std::string& event) {
    const auto events = uiEvents();
    return std::find(events.begin(), events.end(), event) != events.end();
}

[[noreturn]] void report(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    endProcess();
}

TEST_F(TftpListenerDeathTest, PortSixtyNineTakenGivesSeventy) {
    EXPECT_EXIT(
        {
            prepareChild();
            LoopbackUdp taken;
            taken.bindExactly(kLoopback1, 69);
            report("listener port=" + std::to_string(startTftpListener(kLoopback1)));
        },
        ::testing::ExitedWithCode(0), "listener port=70");
}

TEST_F(TftpListenerDeathTest, EveryPortTakenIsABindFailure) {
    EXPECT_EXIT(
        {
            prepareChild();
            std::vector<std::unique_ptr<LoopbackUdp>> taken;
            for (int port = 69; port <= 168; ++port) {
                taken.push_back(std::make_unique<LoopbackUdp>());
                taken.back()->bindExactly(kLoopback1, static_cast<std::uint16_t>(port));
            }
            report("listener port=" + std::to_string(startTftpListener(kLoopback1)));
        },
        ::testing::ExitedWithCode(0), "error box: Upgrade Failed: Can't bind TFTP listener socket");
}

TEST_F(TftpListenerDeathTest, CancelWhileWaitingIsAUserAbort) {
    EXPECT_EXIT(
        {
            prepareChild();
            scriptedUi().cancelProgress = [](ProgressKind kind) {
                return kind == ProgressKind::waiting;
            };
            startTftpListener(kLoopback1);
            std::this_thread::sleep_for(std::chrono::seconds(10));
        },
        ::testing::ExitedWithCode(0), "error box: Upgrade Failed: User Abort");
}

TEST_F(TftpListenerDeathTest, WaitingBarCountsOneStepPerIdlePollAndWrapsAtAThousand) {
    EXPECT_EXIT(
        {
            prepareChild();
            static std::mutex mutex;
            static std::vector<int> positions;
            scriptedUi().cancelProgress = [](ProgressKind kind) {
                if (kind == ProgressKind::waiting) {
                    std::lock_guard lock(mutex);
                    positions.push_back(lastProgressPosition(ProgressKind::waiting));
                }
                return false;
            };
            startTftpListener(kLoopback1);
            for (int waited = 0; waited < 100; ++waited) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                std::lock_guard lock(mutex);
                if (positions.size() >= 1002)
                    break;
            }
            std::lock_guard lock(mutex);
            bool counting = positions.size() >= 1002;
            for (std::size_t i = 0; counting && i < 1002; ++i)
                counting = positions[i] == static_cast<int>((i + 1) % 1000);
            report(std::string("range=") +
                   (eventShown("range: waiting: 0-1000") ? "0-1000" : "missing") +
                   " counting=" + (counting ? "1..999,0,1" : "wrong"));
        },
        ::testing::ExitedWithCode(0), "range=0-1000 counting=1..999,0,1");
}

// Everything but an RRQ for exactly the offered name is dropped without a word, so the first
// datagram the sender ever gets back is the OACK for the good request sent after all of them.
TEST_F(TftpListenerDeathTest, DropsEverythingButTheOfferedRequest) {
    EXPECT_EXIT(
        {
            prepareChild();
            const std::uint16_t port = startTftpListener(kLoopback1);
            LoopbackUdp client;
            client.bindFrom(kLoopback1, 44000);
            const auto send = [&](const std::string& bytes) {
                client.sendTo(
                    std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                    kLoopback1, port);
            };
            const auto rrq = [](std::uint16_t opcode, const std::string& name) {
                const auto bytes = tftpRequest(opcode, name);
                return std::string(bytes.begin(), bytes.end());
            };
            send(rrq(1, "/TOV1A2B.BIN"));              // wrong case
            send(rrq(1, "tov1a2b.bin"));               // no leading slash
            send(rrq(1, "/tov1a2b.bin.old"));          // another name
            send(std::string("\0\1/tov1a2b.bin", 14)); // the name without its NUL
            send(rrq(2, kOffered));                    // WRQ
            send(std::string("\0\3\0\1data", 8));      // DATA
            send(std::string("\0\4\0\0", 4));          // ACK
            send(std::string("\0\5\0\1nope\0", 9));    // ERROR
            send(std::string("\0\6tsize\0"
                             "1\0",
                             10));         // OACK
            send(std::string("\0\0", 2));  // opcode 0
            send(std::string("\0", 1));    // too short for an opcode
            send(std::string());           // empty
            send(std::string(1100, '\1')); // larger than a receive
            send(std::string("\0\1/tov1a2b.bin\0octet\0tsize\0banana\0", 34)); // the one
            const auto first = client.receive(5000);
            if (!first || first->bytes.size() < 2)
                report("first reply: none");
            report("first reply: opcode=" + std::to_string(first->bytes[1]) + " from port=" +
                   std::to_string(first->port) + " length=" + std::to_string(first->bytes.size()) +
                   (eventShown("destroy: waiting") ? " waiting=closed" : " waiting=open") +
                   (eventShown("open: uploading") ? " uploading=open" : " uploading=none"));
        },
        ::testing::ExitedWithCode(0),
        "first reply: opcode=6 from port=69 length=23 waiting=closed uploading=open");
}

// Whoever first asks for the offered name gets it, and the closing page request goes to that
// host, not to the typed address.
TEST_F(TftpListenerDeathTest, RequestFromAnotherHostIsServedAndAskedAfterwards) {
#ifdef _WIN32
    GTEST_SKIP() << "Wine sends UDP from 127.0.0.1 whatever loopback address a socket is bound to";
#endif
    EXPECT_EXIT(
        {
            prepareChild();
            static std::atomic<bool> fetchedWhole{false};
            static OneShotWebServer web;
            constexpr std::uint32_t otherHost = 0x7f000005; // 127.0.0.5
            web.start(otherHost);
            scriptedUi().success = [] {
                std::fprintf(stderr, "summary: fetched=%s http=%s outcome=success\n",
                             fetchedWhole ? "whole" : "broken", web.request().c_str());
            };
            const std::uint16_t port = startTftpListener(kLoopback1);
            LoopbackUdp client;
            client.bindFrom(otherHost, 44000);
            client.sendTo(tftpRequest(1, kOffered), kLoopback1, port);
            std::vector<std::uint8_t> received;
            std::uint32_t expected = 0; // the OACK is acknowledged as block 0
            for (int packets = 0; packets < 100; ++packets) {
                const auto reply = client.receive(5000);
                if (!reply || reply->bytes.size() < 4)
                    break;
                if (reply->bytes[1] == 3) {
                    if ((reply->bytes[2] << 8 | reply->bytes[3]) != static_cast<int>(expected))
                        break;
                    received.insert(received.end(), reply->bytes.begin() + 4, reply->bytes.end());
                }
                if (reply->bytes[1] == 3 && reply->bytes.size() < 516) {
                    fetchedWhole = received == image;
                    client.sendTo(tftpAck(expected), reply->address, reply->port);
                    break;
                }
                client.sendTo(tftpAck(expected), reply->address, reply->port);
                ++expected;
            }
            std::this_thread::sleep_for(std::chrono::seconds(15));
        },
        ::testing::ExitedWithCode(0),
        "summary: fetched=whole http=GET /admin/advanced HTTP/1.1 outcome=success");
}

} // namespace
