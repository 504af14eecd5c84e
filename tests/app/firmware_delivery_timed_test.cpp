// SPDX-License-Identifier: MIT
// The TFTP thread's whole part against a scripted device: the read request, the transfer, the
// settling wait, and the outcome it hands to the main thread, on the controllable clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "app/upgrade_sequence.h"
#include "base/text.h"
#include "fake_clock.h"
#include "scripted_ui.h"
#include "tftp_test_peer.h"
#include "ui/messages.h"

namespace {

constexpr char kOffered[] = "/tov1a2b.bin";

struct DeliveryRun {
    DeviceScript script;
    std::uint32_t imageSize = 3000;
    bool cancelWhileSettling = false;
    bool stopWhileSettling = false; // the main thread asks the TFTP thread to stop
};

struct DeliveryRecord {
    DeliveryOutcome outcome = DeliveryOutcome::cancelled;
    DeviceRecord seen;
    bool imageEqual = false;
    bool settling = false;         // the settling caption was shown
    std::uint32_t settled = 0;     // milliseconds the settling wait took on the clock
    bool uploadWindowGone = false; // destroyed before the outcome was handed back
    bool imageDelivered = false;
    std::vector<UploadProgress> uploads; // what the upload window was told, in order
};

bool eventShown(const std::string& event) {
    const auto events = uiEvents();
    return std::find(events.begin(), events.end(), event) != events.end();
}

// The device asks for the offered file from a port of its own; deliverFirmware runs on this
// thread, the device answering from inside the upload window's message hook.
DeliveryRecord deliver(const DeliveryRun& run) {
    resetScriptedUi();
    const std::vector<std::uint8_t> image = makeTestImage(run.imageSize);

    LoopbackUdp server;
    EXPECT_TRUE(server.bindFrom(kLoopback1, 41000));
    ScriptedDevice device;
    device.script = run.script;
    device.imageSize = run.imageSize;
    EXPECT_TRUE(device.open(kLoopback1, kLoopback1, server.port));
    FirmwareDelivery delivery;
    copyText(delivery.inputs.deviceAddressText, "127.0.0.1");
    delivery.inputs.deviceAddress = kLoopback1;
    copyText(delivery.inputs.fileName, kOffered);
    delivery.inputs.image = image;
    delivery.listener.boundAddress = kLoopback1;
    delivery.listener.boundPort = server.port;
    delivery.listener.socket = server.socket.release();
    device.udp.sendTo(tftpRequest(1, kOffered), kLoopback1, server.port);

    setFakeClock(1000);
    std::optional<std::uint32_t> settlingFrom;
    scriptedUi().cancelProgress = [&](ProgressKind kind) {
        if (kind != ProgressKind::uploading)
            return false;
        if (device.step())
            return true;
        const bool settling = eventShown("range: uploading: 0-1562");
        if (settling && !settlingFrom)
            settlingFrom = fakeClockNow();
        if (settling && run.stopWhileSettling)
            delivery.stopRequested = true;
        return settling && run.cancelWhileSettling;
    };
    DeliveryRecord record;
    record.outcome = deliverFirmware(delivery);
    record.seen = device.seen;
    record.imageEqual = device.seen.image == image;
    record.settling = eventShown("title: uploading: Updating Firmware to TOV@127.0.0.1");
    record.settled = settlingFrom ? fakeClockNow() - *settlingFrom : 0;
    record.uploadWindowGone = uiEvents().back() == "destroy: uploading";
    record.imageDelivered = delivery.imageDelivered;
    record.uploads = uploadProgressShown();
    return record;
}

TEST(TftpDelivery, CompleteTransferGetsTheWholeSettlingWait) {
    const DeliveryRecord r = deliver({});
    EXPECT_EQ(r.outcome, DeliveryOutcome::complete);
    EXPECT_EQ(r.seen.oacks, 1);
    EXPECT_EQ(r.seen.dataPackets, 6);
    EXPECT_TRUE(r.imageEqual);
    EXPECT_TRUE(r.settling);
    EXPECT_EQ(r.settled, 49984u);
    EXPECT_TRUE(r.uploadWindowGone);
    EXPECT_TRUE(r.imageDelivered);
    // The window hears of the OACK's ACK (nothing acknowledged yet) and of the last block's.
    ASSERT_GE(r.uploads.size(), 2u);
    const UploadProgress& first = r.uploads.front();
    const UploadProgress& last = r.uploads.back();
    EXPECT_EQ(first.bytesAcknowledged, 0u);
    EXPECT_EQ(first.blocksAcknowledged, 0u);
    EXPECT_EQ(last.bytesAcknowledged, 3000u);
    EXPECT_EQ(last.blocksAcknowledged, 6u);
    EXPECT_EQ(last.imageSize, 3000u);
    EXPECT_EQ(last.blockCount, 6u);
}

TEST(TftpDelivery, SilentDeviceStillGetsTheSettlingWaitThenIncomplete) {
    DeliveryRun run;
    run.script.silentFrom = 0; // not even the OACK is acknowledged
    const DeliveryRecord r = deliver(run);
    EXPECT_EQ(r.outcome, DeliveryOutcome::incomplete);
    EXPECT_EQ(r.seen.oacks, 30);
    EXPECT_EQ(r.seen.dataPackets, 0);
    EXPECT_TRUE(r.settling);
    EXPECT_EQ(r.settled, 49984u);
    EXPECT_TRUE(r.uploadWindowGone);
}

TEST(TftpDelivery, CancelDuringTheUploadEndsAtOnce) {
    DeliveryRun run;
    run.script.cancelAt = 3;
    const DeliveryRecord r = deliver(run);
    EXPECT_EQ(r.outcome, DeliveryOutcome::cancelled);
    EXPECT_FALSE(r.imageDelivered);
    EXPECT_EQ(r.seen.oacks, 1);
    EXPECT_EQ(r.seen.dataPackets, 3);
    EXPECT_FALSE(r.settling);
    EXPECT_EQ(r.settled, 0u);
    EXPECT_TRUE(r.uploadWindowGone);
}

TEST(TftpDelivery, CancelOrStopWhileSettlingEndsTheWait) {
    for (const bool byUser : {true, false}) {
        SCOPED_TRACE(byUser ? "the user's Cancel" : "the main thread's stop");
        DeliveryRun run;
        run.cancelWhileSettling = byUser;
        run.stopWhileSettling = !byUser;
        const DeliveryRecord r = deliver(run);
        EXPECT_EQ(r.outcome, DeliveryOutcome::cancelled);
        EXPECT_TRUE(r.imageDelivered); // the device installs what it holds
        EXPECT_EQ(r.seen.dataPackets, 6);
        EXPECT_TRUE(r.imageEqual);
        EXPECT_TRUE(r.settling);
        EXPECT_EQ(r.settled, 0u);
        EXPECT_TRUE(r.uploadWindowGone);
    }
}

TEST(TftpDelivery, ImageTooLargeForSixteenBitBlocksIsNeverOffered) {
    const std::vector<std::uint8_t> image(kTftpMaxImageSize + 1);
    DeliveryInputs inputs{};
    inputs.image = image;
    std::unique_ptr<FirmwareDelivery> delivery;
    EXPECT_EQ(startTftpListener(delivery, kLoopback1, inputs), Failure::imageTooLarge);
    EXPECT_EQ(delivery, nullptr);
}

} // namespace
