// SPDX-License-Identifier: MIT
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

#include "app/upgrade_sequence.h"
#include "base/text.h"
#include "fake_clock.h"
#include "private_loopback.h"
#include "scripted_ui.h"
#include "tftp/tftp_listener.h"
#include "tftp_test_peer.h"
#include "ui/messages.h"

namespace {

constexpr char kOffered[] = "/tov1a2b.bin";
std::vector<std::uint8_t> image;

class TftpListenerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!inPrivateNetwork())
            GTEST_SKIP() << "needs port 69: run inside scripts/netns-run.sh";
        resetScriptedUi();
        setFakeClock(0);
        image = makeTestImage(3000);
        inputs = DeliveryInputs{};
        inputs.image = image;
        copyText(inputs.fileName, kOffered);
        // The device is this computer here: its requests come from 127.0.0.1.
        copyText(inputs.deviceAddressText, "127.0.0.1");
        inputs.deviceAddress = kLoopback1;
    }
    void TearDown() override {
        if (delivery != nullptr)
            stopFirmwareDelivery(*delivery);
        delivery.reset();
    }

    // The TFTP thread as the program starts it.
    std::uint16_t start() {
        const auto failure = startTftpListener(delivery, kLoopback1, inputs);
        EXPECT_FALSE(failure.has_value()) << failureName(*failure);
        return delivery != nullptr ? delivery->listener.boundPort : 0;
    }

    DeliveryInputs inputs{};
    std::unique_ptr<FirmwareDelivery> delivery;
};

bool eventShown(const std::string& event) {
    const auto events = uiEvents();
    return std::find(events.begin(), events.end(), event) != events.end();
}

TEST_F(TftpListenerTest, PortSixtyNineTakenGivesSeventy) {
    LoopbackUdp taken;
    ASSERT_TRUE(taken.bindExactly(kLoopback1, 69));
    TftpListener listener;
    ASSERT_EQ(openTftpListener(listener, kLoopback1), ListenerStatus::listening);
    SocketGuard opened(listener.socket);
    EXPECT_EQ(listener.boundPort, 70);
    EXPECT_EQ(listener.boundAddress, kLoopback1);
}

TEST_F(TftpListenerTest, EveryPortTakenIsABindFailure) {
    std::vector<std::unique_ptr<LoopbackUdp>> taken;
    for (int port = 69; port <= 168; ++port) {
        taken.push_back(std::make_unique<LoopbackUdp>());
        taken.back()->bindExactly(kLoopback1, static_cast<std::uint16_t>(port));
    }
    TftpListener listener;
    EXPECT_EQ(openTftpListener(listener, kLoopback1), ListenerStatus::cannotBind);
    EXPECT_EQ(listener.socket, kInvalidSocket);
    EXPECT_EQ(startTftpListener(delivery, kLoopback1, inputs), Failure::listenerBind);
}

TEST_F(TftpListenerTest, CancelWhileWaitingEndsTheThreadAsTheUsersCancel) {
    scriptedUi().cancelProgress = [](ProgressKind kind) { return kind == ProgressKind::waiting; };
    start();
    EXPECT_EQ(finishFirmwareDelivery(*delivery), DeliveryOutcome::cancelled);
    EXPECT_TRUE(delivery->transferOver); // the upgrade request is waited for no longer
    EXPECT_TRUE(eventShown("cancel: waiting"));
    EXPECT_EQ(uiEvents().back(), "destroy: waiting");
}

TEST_F(TftpListenerTest, StopFromTheMainThreadEndsTheWait) {
    start();
    stopFirmwareDelivery(*delivery);
    EXPECT_EQ(delivery->outcome, DeliveryOutcome::cancelled);
    EXPECT_FALSE(eventShown("cancel: waiting"));

    EXPECT_EQ(uiEvents().back(), "destroy: waiting");
}

TEST_F(TftpListenerTest, WaitingBarRunsAStepAMillisecondDrawnEveryHundredAndWrapsAtAThousand) {
    static std::mutex mutex;
    static std::vector<int> positions;
    positions.clear();
    scriptedUi().cancelProgress = [](ProgressKind kind) {
        std::lock_guard lock(mutex);
        if (kind == ProgressKind::waiting)
            positions.push_back(lastProgressPosition(ProgressKind::waiting));
        return positions.size() >= 40;
    };
    start();
    finishFirmwareDelivery(*delivery);
    EXPECT_TRUE(eventShown("range: waiting: 0-1000"));
    ASSERT_GE(positions.size(), 40u);
    // Each quiet wait lasts 30 ms on the clock, and the bar moves once at least 100 ms have
    // passed: at 30, 150, 270, ... 990, then 1110 wraps to 110.
    for (std::size_t i = 0; i < 40; ++i) {
        const std::size_t now = (i + 1) * 30;
        const std::size_t drawn = 30 + (now - 30) / 120 * 120;
        ASSERT_EQ(positions[i], static_cast<int>(drawn % 1000)) << i;
    }
}

// Everything but an RRQ for exactly the offered name is dropped without a word, so the first
// datagram the sender ever gets back is the OACK for the good request sent after all of them.
TEST_F(TftpListenerTest, DropsEverythingButTheOfferedRequest) {
    const std::uint16_t port = start();
    LoopbackUdp client;
    client.bindFrom(kLoopback1, 44000);
    const auto send = [&](const std::string& bytes) {
        client.sendTo(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
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
                     10));                                             // OACK
    send(std::string("\0\0", 2));                                      // opcode 0
    send(std::string("\0", 1));                                        // too short for an opcode
    send(std::string());                                               // empty
    send(std::string(1100, '\1'));                                     // larger than a receive
    send(std::string("\0\1/tov1a2b.bin\0octet\0tsize\0banana\0", 34)); // the one
    const auto first = client.receive(5000);
    ASSERT_TRUE(first && first->bytes.size() >= 2);
    EXPECT_EQ(first->bytes[1], 6); // the OACK
    EXPECT_EQ(first->port, 69);
    EXPECT_EQ(first->bytes.size(), 23u);
    EXPECT_TRUE(eventShown("destroy: waiting"));
    EXPECT_TRUE(eventShown("open: uploading"));
}

// Only the typed device's request is served: another host that asks for the offered name (or
// every name) hears nothing, and the device still gets the image.
TEST_F(TftpListenerTest, RequestFromAnotherHostIsNeverAnswered) {
#ifdef _WIN32
    GTEST_SKIP() << "Wine sends UDP from 127.0.0.1 whatever loopback address a socket is bound to";
#endif
    constexpr std::uint32_t otherHost = 0x7f000005; // 127.0.0.5
    const std::uint16_t port = start();
    LoopbackUdp stranger;
    stranger.bindFrom(otherHost, 44000);
    stranger.sendTo(tftpRequest(1, kOffered), kLoopback1, port);
    LoopbackUdp device;
    device.bindFrom(kLoopback1, 45000);
    device.sendTo(tftpRequest(1, kOffered), kLoopback1, port);

    // A client as a device is one: the OACK and each DATA block acknowledged by number, a
    // repeated block acknowledged again, the image whole at the first short block.
    std::vector<std::uint8_t> received;
    bool whole = false;
    std::uint32_t next = 1;
    for (int packets = 0; packets < 200 && !whole; ++packets) {
        const auto reply = device.receive(5000);
        if (!reply || reply->bytes.size() < 4)
            break;
        std::uint32_t ack = 0;
        if (reply->bytes[1] == 3) {
            ack = static_cast<std::uint32_t>(reply->bytes[2] << 8 | reply->bytes[3]);
            if (ack == next) {
                received.insert(received.end(), reply->bytes.begin() + 4, reply->bytes.end());
                whole = reply->bytes.size() < 516;
                ++next;
            }
        } else if (next != 1) {
            continue; // a late OACK
        }
        device.sendTo(tftpAck(ack), reply->address, reply->port);
    }
    EXPECT_TRUE(whole);
    EXPECT_TRUE(received == image);
    EXPECT_EQ(finishFirmwareDelivery(*delivery), DeliveryOutcome::complete);
    EXPECT_EQ(delivery->request.peerAddress, kLoopback1);
    EXPECT_FALSE(stranger.receive(0).has_value());
}

} // namespace
