// SPDX-License-Identifier: MIT
// The TFTP thread's plumbing and the window work of its steps.
#include "app/firmware_delivery.h"

#include <new>

#include "app/window_pace.h"
#include "platform/debug_log.h"

namespace {

int tftpThread(void* argument) {
    FirmwareDelivery& delivery = *static_cast<FirmwareDelivery*>(argument);
    delivery.outcome = deliverFirmware(delivery);
    delivery.transferOver.store(true);
    return 0;
}

} // namespace

FirmwareDelivery::~FirmwareDelivery() {
    if (listener.socket != kInvalidSocket)
        closeSocket(listener.socket);
}

bool FirmwareDelivery::stopAt(ProgressWindow window) const {
    return progressCancelled(window) || stopRequested.load();
}

std::optional<Failure> startTftpListener(std::unique_ptr<FirmwareDelivery>& delivery,
                                         std::uint32_t localAddress, const DeliveryInputs& inputs,
                                         std::uint16_t tftpPort) {
    // Refused before the device is ever told to fetch an image whose blocks cannot be numbered.
    if (inputs.image.size() > UINT32_MAX ||
        !tftpImageFits(static_cast<std::uint32_t>(inputs.image.size())))
        return Failure::imageTooLarge;

    std::unique_ptr<FirmwareDelivery> opened(new (std::nothrow) FirmwareDelivery);
    if (opened == nullptr)
        return Failure::listenerMemory;
    switch (openTftpListener(opened->listener, localAddress, tftpPort)) {
    case ListenerStatus::cannotCreateSocket:
        return Failure::listenerSocket;
    case ListenerStatus::cannotBind:
        return Failure::listenerBind;
    case ListenerStatus::listening:
        break;
    }
    opened->inputs = inputs;
    opened->thread = startThread(tftpThread, opened.get());
    if (opened->thread == nullptr)
        return Failure::listenerThread;
    delivery = std::move(opened);
    return std::nullopt;
}

DeliveryOutcome finishFirmwareDelivery(FirmwareDelivery& delivery) {
    if (delivery.thread != nullptr)
        takeThreadResult(delivery.thread);
    delivery.thread = nullptr;
    return delivery.outcome;
}

void stopFirmwareDelivery(FirmwareDelivery& delivery) {
    delivery.stopRequested.store(true);
    finishFirmwareDelivery(delivery);
}

bool awaitReadRequest(const FirmwareDelivery& delivery, std::uint32_t milliseconds) {
    constexpr std::uint32_t kPollMilliseconds = 10;
    const std::uint32_t start = millisecondClock();
    for (;;) {
        if (delivery.readRequestArrived.load() || delivery.transferOver.load())
            return true;
        if (millisecondClock() - start >= milliseconds)
            return false;
        sleepMilliseconds(kPollMilliseconds);
    }
}

std::optional<TftpReadRequest> waitForDevice(FirmwareDelivery& delivery) {
    const DeliveryInputs& inputs = delivery.inputs;
    ProgressWindow window = openProgressWindow({ProgressKind::waiting, inputs.deviceAddressText});
    setProgressRange(window, 0, 1000);
    setProgressPosition(window, 0);
    // The bar runs one step a millisecond, 0 to 999 and round again, drawn at an activity's
    // pace; the wait's turns (about every 30 ms) handle the window's messages.
    const std::uint32_t start = millisecondClock();
    WindowPace pace;
    const auto request =
        waitForReadRequest(delivery.listener, inputs.fileName, inputs.deviceAddress, [&] {
            const std::uint32_t now = millisecondClock();
            if (windowMayChange(pace, now))
                setProgressPosition(window, static_cast<int>((now - start) % 1000));
            handleAllProgressMessages(window);
            return delivery.stopAt(window);
        });
    destroyProgressWindow(window);
    return request;
}

TransferOutcome sendFirmware(FirmwareDelivery& delivery, ProgressWindow upload) {
    TftpSession& session = delivery.session;
    session.socket = delivery.listener.socket; // the transfer runs on the listener's socket
    delivery.listener.socket = kInvalidSocket; // and closes it
    session.peerAddress = delivery.request.peerAddress;
    session.peerPort = delivery.request.peerPort;
    setTftpImageGeometry(session, delivery.inputs.image);
    trace("++++size %u, %u, %u", session.imageSize, session.lastBlockLength, session.blockCount);
    setProgressRange(upload, 0, static_cast<int>(session.blockCount));

    // The bar and caption follow the ACKs at a human rate; the last state reached is always
    // shown (all bytes and a full bar after the last block's ACK).
    WindowPace pace;
    std::uint32_t shownCounter = 0;
    const auto show = [&](std::uint32_t blockCounter, std::uint32_t bytesAcknowledged) {
        setProgressPosition(upload, static_cast<int>(blockCounter));
        // The counter names the block in flight: those before it are acknowledged.
        const std::uint32_t acknowledged = blockCounter > 0 ? blockCounter - 1 : 0;
        showUploadProgress(
            upload, {bytesAcknowledged, session.imageSize, acknowledged, session.blockCount});
        shownCounter = blockCounter;
    };
    TransferHooks hooks;
    hooks.acknowledged = [&](std::uint32_t blockCounter, std::uint32_t bytesAcknowledged) {
        if (blockCounter > session.blockCount || windowMayChange(pace, millisecondClock()))
            show(blockCounter, bytesAcknowledged);
    };
    hooks.periodic = [&] {
        handleAllProgressMessages(upload);
        return delivery.stopAt(upload);
    };
    hooks.stopRequested = [&] { return delivery.stopRequested.load(); };
    const TransferOutcome outcome = transferTftpImage(session, hooks);
    delivery.transferOver.store(true);
    if (session.blockCounter != shownCounter)
        show(session.blockCounter, session.bytesAcknowledged);
    return outcome;
}
