// SPDX-License-Identifier: MIT
// The lock-step transfer and the settling wait against a scripted device on 127.0.0.1. The device
// answers from inside the upload window's message hook, so every poll count is exact.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/firmware_delivery.h"
#include "app/settling_wait.h"
#include "fake_clock.h"
#include "scripted_ui.h"
#include "tftp_test_peer.h"

namespace {

// The silence before each resend of one block, from the packets' times at the device: 100 ms,
// twice as long each time, at most 1 s.
std::vector<std::uint32_t> resendGaps(const std::vector<std::uint32_t>& times, std::size_t first) {
    std::vector<std::uint32_t> gaps;
    for (std::size_t i = first + 1; i < times.size(); ++i)
        gaps.push_back(times[i] - times[i - 1]);
    return gaps;
}
std::vector<std::uint32_t> doublingGaps(std::size_t count) {
    std::vector<std::uint32_t> gaps = {100, 200, 400, 800};
    gaps.resize(count, 1000);
    return gaps;
}

class TftpTransfer : public ::testing::Test {
  protected:
    void SetUp() override { resetScriptedUi(); }
    void TearDown() override {
        if (window != nullptr)
            destroyProgressWindow(window);
        window = nullptr;
        resetScriptedUi();
        limitFakeClockRealWaits(kNoRealWaitLimit);
    }

    // Runs one transfer of `bytes` against a device following `script`, as the TFTP thread does:
    // on the listener's socket, under the upload window.
    bool transfer(std::span<const std::uint8_t> bytes, const DeviceScript& script) {
        image.assign(bytes.begin(), bytes.end());
        LoopbackUdp server;
        EXPECT_TRUE(server.bindFrom(kLoopback1, 41000));
        device = std::make_unique<ScriptedDevice>();
        device->script = script;
        device->imageSize = static_cast<std::uint32_t>(image.size());
        EXPECT_TRUE(device->open(kLoopback1, kLoopback1, server.port));
        if (script.openStrayAddress) {
            EXPECT_TRUE(device->openStrayAddress());
        }

        delivery = std::make_unique<FirmwareDelivery>();
        delivery->listener.socket = server.socket.release(); // the transfer closes it
        delivery->request = {device->udp.address, device->udp.port};
        delivery->inputs.image = image;
        scriptedUi().cancelProgress = [this](ProgressKind kind) {
            return kind == ProgressKind::uploading && device->step();
        };
        window = openProgressWindow({ProgressKind::uploading, "127.0.0.1"});
        outcome = sendFirmware(*delivery, window);
        session = delivery->session;
        return outcome == TransferOutcome::complete;
    }
    bool transfer(std::uint32_t size, const DeviceScript& script) {
        return transfer(makeTestImage(size), script);
    }

    std::vector<std::string> captions() const {
        std::vector<std::string> found;
        for (const auto& event : uiEvents())
            if (event.rfind("title: uploading: ", 0) == 0)
                found.push_back(event.substr(18));
        return found;
    }

    std::vector<std::uint8_t> image;
    std::unique_ptr<ScriptedDevice> device;
    std::unique_ptr<FirmwareDelivery> delivery;
    TftpSession session{};
    TransferOutcome outcome = TransferOutcome::cancelled;
    ProgressWindow window = nullptr;
};

TEST_F(TftpTransfer, SendsTheEmbeddedImageInLockStep) {
    const auto embedded = firmwareBytes(nullptr);
    ASSERT_EQ(embedded.size(), 725912u);
    ASSERT_TRUE(transfer(embedded, {}));

    EXPECT_EQ(device->seen.oacks, 1);
    EXPECT_TRUE(device->seen.oackBytesRight);
    EXPECT_EQ(device->seen.dataPackets, 1418);
    EXPECT_EQ(device->seen.resends, 0);
    EXPECT_EQ(device->seen.unexpected, 0);
    EXPECT_EQ(device->seen.lastDataLength, 4 + 408);
    EXPECT_TRUE(device->seen.image == image);

    EXPECT_EQ(session.blockCounter, 1419u);
    EXPECT_EQ(session.bytesAcknowledged, 725912u);
    EXPECT_EQ(tftpTransferState(session), TftpSessionState::settling);
    EXPECT_EQ(session.socket, kInvalidSocket);
    EXPECT_EQ(lastProgressPosition(ProgressKind::uploading),
              1419); // a full bar
                     // At a human rate: the clock stood still while the ACKs flowed, so the window
                     // changed for
    // the first ACK and for the last, which it always shows exactly.
    const auto shown = captions();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown.front(), "Uploading Firmware to TOV@127.0.0.1 0/725912 Bytes");
    EXPECT_EQ(shown.back(), "Uploading Firmware to TOV@127.0.0.1 725912/725912 Bytes");
}

TEST_F(TftpTransfer, WindowChangesAtMostTenTimesASecond) {
    // Every 20th ACK comes after 100 ms of silence (a resend): the clock moves 100 ms at each,
    // so the window changes there, and never in between.
    DeviceScript script;
    script.dropAckEvery = 20;
    ASSERT_TRUE(transfer(60 * 512, script));
    const auto shown = captions();
    EXPECT_EQ(device->seen.resends, 3);
    ASSERT_EQ(shown.size(), 5u);
    EXPECT_EQ(shown[1], "Uploading Firmware to TOV@127.0.0.1 10240/30720 Bytes");
    EXPECT_EQ(shown.back(), "Uploading Firmware to TOV@127.0.0.1 30720/30720 Bytes");
    EXPECT_EQ(lastProgressPosition(ProgressKind::uploading), 62);
}

// Sizes around the block boundaries: a whole number of blocks ends with an empty DATA packet.
TEST_F(TftpTransfer, AwkwardSizesArriveWholeAndEndWithAShortBlock) {
    for (const std::uint32_t size : {0u, 1u, 511u, 512u, 513u, 1024u, 1535u}) {
        SCOPED_TRACE(size);
        TearDown();
        SetUp();
        session = {};
        ASSERT_TRUE(transfer(size, {}));
        EXPECT_EQ(device->seen.dataPackets, static_cast<int>(size / 512 + 1));
        EXPECT_EQ(device->seen.lastDataLength, static_cast<int>(4 + size % 512));
        EXPECT_TRUE(device->seen.image == image);
        EXPECT_EQ(device->seen.resends, 0);
        EXPECT_EQ(captions().back(), "Uploading Firmware to TOV@127.0.0.1 " + std::to_string(size) +
                                         "/" + std::to_string(size) + " Bytes");
    }
}

TEST_F(TftpTransfer, LostAckOfTheOackBringsOneOackResend) {
    DeviceScript script;
    script.ignoreOacks = 1;
    ASSERT_TRUE(transfer(3000, script));
    EXPECT_EQ(device->seen.oacks, 2);
    EXPECT_EQ(device->seen.dataPackets, 6);
    EXPECT_EQ(device->seen.resends, 0);
    EXPECT_TRUE(device->seen.image == image);
}

TEST_F(TftpTransfer, LostAckMidTransferBringsOneResendOfThatBlock) {
    DeviceScript script;
    script.dropAckOnce = 3;
    ASSERT_TRUE(transfer(3000, script));
    EXPECT_EQ(device->seen.oacks, 1);
    EXPECT_EQ(device->seen.dataPackets, 7);
    EXPECT_EQ(device->seen.resends, 1);
    EXPECT_EQ(device->seen.unexpected, 0);
    EXPECT_TRUE(device->seen.image == image);
}

TEST_F(TftpTransfer, RepeatedAcksCauseNoTrafficAndDoNotAdvanceTheResendCount) {
    DeviceScript script;
    script.duplicateAcks = true;
    // 120 stale ACKs in a row: were they idle polls, DATA 4 would be sent again after 100.
    script.staleAt = 4;
    ASSERT_TRUE(transfer(5000, script));
    EXPECT_EQ(device->seen.oacks, 1);
    EXPECT_EQ(device->seen.dataPackets, 10);
    EXPECT_EQ(device->seen.resends, 0);
    EXPECT_TRUE(device->seen.image == image);
}

TEST_F(TftpTransfer, AckFromAnotherPortIsDroppedUnanswered) {
    DeviceScript script;
    script.strayPortAt = 2; // the device's own ACK 2 never comes the first time
    ASSERT_TRUE(transfer(3000, script));
    EXPECT_EQ(device->seen.resends, 1); // only the resend after silence moved the transfer on
    EXPECT_EQ(device->strayReplies(), 0);
    EXPECT_TRUE(device->seen.image == image);
}

TEST_F(TftpTransfer, AckFromAnotherAddressIsDroppedUnanswered) {
#ifdef _WIN32
    GTEST_SKIP() << "Wine sends UDP from 127.0.0.1 whatever loopback address a socket is bound to";
#endif
    DeviceScript script;
    script.strayAddressAt = 2;
    script.openStrayAddress = true;
    ASSERT_TRUE(transfer(3000, script));
    EXPECT_EQ(device->seen.resends, 1);
    EXPECT_EQ(device->strayReplies(), 0);
    EXPECT_TRUE(device->seen.image == image);
}

// The packet buffer still holds DATA n when a cut ACK arrives; the missing bytes must not be
// taken from it.
TEST_F(TftpTransfer, AckShorterThanFourBytesIsNeverAccepted) {
    DeviceScript script;
    script.shortAckAt = 2;
    ASSERT_TRUE(transfer(3000, script));
    EXPECT_EQ(device->seen.resends, 1);
    EXPECT_EQ(device->seen.unexpected, 0);
    EXPECT_TRUE(device->seen.image == image);
}

TEST_F(TftpTransfer, RepeatedRrqMidTransferChangesNothing) {
    DeviceScript script;
    script.repeatRrqAt = 3;
    ASSERT_TRUE(transfer(3000, script));
    EXPECT_EQ(device->seen.oacks, 1);
    EXPECT_EQ(device->seen.dataPackets, 6);
    EXPECT_EQ(device->seen.resends, 0);
    EXPECT_TRUE(device->seen.image == image);
}

TEST_F(TftpTransfer, ErrorAnswerToTheOackEndsNothingUntilTheThirtiethExpiry) {
    DeviceScript script;
    script.refuseOack = true;
    limitFakeClockRealWaits(1); // 27.5 s on the clock; the device answers before every wait
    EXPECT_FALSE(transfer(3000, script));
    EXPECT_EQ(outcome, TransferOutcome::givenUp);
    EXPECT_EQ(device->seen.oacks, 30); // the first and 29 resends
    EXPECT_EQ(device->seen.errorsSent, 30);
    EXPECT_EQ(device->seen.dataPackets, 0);
    EXPECT_EQ(session.blockCounter, 0u);
    EXPECT_EQ(session.socket, kInvalidSocket);
    EXPECT_EQ(captions().size(), 0u);
}

TEST_F(TftpTransfer, SilentDeviceGetsTwentyNineResendsOfItsBlock) {
    DeviceScript script;
    script.silentFrom = 3;
    limitFakeClockRealWaits(1); // 27.5 s on the clock; the device answers before every wait
    EXPECT_FALSE(transfer(3000, script));
    EXPECT_EQ(outcome, TransferOutcome::givenUp);
    EXPECT_EQ(device->seen.dataPackets, 2 + 30);
    EXPECT_EQ(device->seen.resends, 29);
    EXPECT_EQ(session.blockCounter, 3u);
    EXPECT_EQ(session.bytesAcknowledged, 1024u);
    EXPECT_EQ(captions().back(), "Uploading Firmware to TOV@127.0.0.1 1024/3000 Bytes");
    // Given up 27.5 s after block 3 first left: more than five times the OACK's 5 s.
    ASSERT_EQ(device->seen.dataTimes.size(), 32u);
    EXPECT_EQ(resendGaps(device->seen.dataTimes, 2), doublingGaps(29));
    EXPECT_EQ(fakeClockNow() - device->seen.dataTimes[2], 27500u);
}

TEST_F(TftpTransfer, FloodNeitherHurriesNorPutsOffTheResends) {
    // From block 3 on, stale ACKs pour in without a pause: the resends keep the clock's time.
    DeviceScript script;
    script.floodFrom = 3;
    EXPECT_FALSE(transfer(3000, script));
    EXPECT_EQ(outcome, TransferOutcome::givenUp);
    EXPECT_EQ(device->seen.resends, 29);
    EXPECT_GT(device->seen.floodSent, 25000);
    ASSERT_EQ(device->seen.dataTimes.size(), 32u);
    const auto gaps = resendGaps(device->seen.dataTimes, 2);
    EXPECT_EQ(gaps, doublingGaps(29));
    EXPECT_GE(*std::min_element(gaps.begin(), gaps.end()), 80u);
    EXPECT_EQ(fakeClockNow() - device->seen.dataTimes[2], 27500u);
}

class TftpSettling : public ::testing::Test {
  protected:
    void SetUp() override {
        resetScriptedUi();
        window = openProgressWindow({ProgressKind::uploading, "10.1.0.123"});
    }
    void TearDown() override {
        destroyProgressWindow(window);
        resetScriptedUi();
    }
    ProgressWindow window = nullptr;
    std::atomic<bool> noStop{false};
};

TEST_F(TftpSettling, WaitsFifteenSixtyTwoTicksUnderItsCaption) {
    setFakeClock(123456);
    int handled = 0;
    scriptedUi().cancelProgress = [&handled](ProgressKind) {
        ++handled;
        return false;
    };
    EXPECT_TRUE(waitForDeviceToSettle(window, noStop));
    EXPECT_EQ(fakeSleptMilliseconds(), 49984u);
    EXPECT_EQ(lastProgressPosition(ProgressKind::uploading), 1562);
    EXPECT_EQ(handled, 1563); // messages are handled at every tick, the last one included
    const auto events = uiEvents();
    EXPECT_NE(std::find(events.begin(), events.end(), "range: uploading: 0-1562"), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(),
                        "title: uploading: Updating Firmware to TOV@10.1.0.123"),
              events.end());
}

TEST_F(TftpSettling, EndsOnTimeWhenTheMillisecondClockWraps) {
    for (const std::uint32_t start : {0xFFFFFFFFu - 10000u, 0xFFFFFFF0u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(start);
        setFakeClock(start);
        EXPECT_TRUE(waitForDeviceToSettle(window, noStop));
        EXPECT_EQ(fakeSleptMilliseconds(), 49984u);
        EXPECT_EQ(lastProgressPosition(ProgressKind::uploading), 1562);
    }
}

} // namespace
