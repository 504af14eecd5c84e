// The TFTP thread's plumbing and the window work of its steps.
#include "app/firmware_delivery.h"

#include <new>

#include "app/context.h"
#include "app/window_pace.h"
#include "platform/debug_log.h"
#include "ui/dialog_texts.h"
#include "ui/messages.h"

namespace {

int tftpThread(void* argument) {
    FirmwareDelivery& delivery = *static_cast<FirmwareDelivery*>(argument);
    delivery.outcome = delivery.body(delivery);
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

const char* startTftpListener(std::unique_ptr<FirmwareDelivery>& delivery,
                              std::uint32_t localAddress, DeliveryBody body) {
    // Refused before the device is ever told to fetch an image whose blocks cannot be numbered.
    if (!tftpImageFits(upgradeContext.firmware.firmwareSize))
        return kErrorImageTooLarge;

    std::unique_ptr<FirmwareDelivery> opened(new (std::nothrow) FirmwareDelivery);
    if (opened == nullptr)
        return kErrorListenerAlloc;
    switch (openTftpListener(opened->listener, localAddress)) {
    case ListenerStatus::cannotCreateSocket:
        return kErrorListenerSocket;
    case ListenerStatus::cannotBind:
        return kErrorListenerBind;
    case ListenerStatus::listening:
        break;
    }
    opened->body = body;
    opened->thread = startThread(tftpThread, opened.get());
    if (opened->thread == nullptr)
        return kErrorListenerThread;
    delivery = std::move(opened);
    return nullptr;
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

std::optional<TftpReadRequest> waitForDevice(FirmwareDelivery& delivery, std::string_view fileName,
                                             std::uint32_t deviceAddress) {
    ProgressWindow window = openProgressWindow(ProgressKind::waiting, kWaitingTitle);
    setProgressRange(window, 0, 1000);
    setProgressPosition(window, 0);
    // The bar runs one step a millisecond, 0 to 999 and round again, drawn at an activity's
    // pace; the wait's turns (about every 30 ms) handle the window's messages.
    const std::uint32_t start = millisecondClock();
    WindowPace pace;
    const auto request = waitForReadRequest(delivery.listener, fileName, deviceAddress, [&] {
        const std::uint32_t now = millisecondClock();
        if (windowMayChange(pace, now))
            setProgressPosition(window, static_cast<int>((now - start) % 1000));
        handleAllProgressMessages(window);
        return delivery.stopAt(window);
    });
    destroyProgressWindow(window);
    return request;
}

TransferOutcome sendFirmware(FirmwareDelivery& delivery, std::span<const std::uint8_t> image,
                             const char* deviceAddressText, ProgressWindow upload) {
    TftpSession& session = delivery.session;
    session.socket = delivery.listener.socket; // the transfer runs on the listener's socket
    delivery.listener.socket = kInvalidSocket; // and closes it
    session.peerAddress = delivery.request.peerAddress;
    session.peerPort = delivery.request.peerPort;
    setTftpImageGeometry(session, image);
    trace("++++size %u, %u, %u", session.imageSize, session.lastBlockLength, session.blockCount);
    setProgressRange(upload, 0, static_cast<int>(session.blockCount));

    // The bar and caption follow the ACKs at a human rate; the last state reached is always
    // shown (all bytes and a full bar after the last block's ACK).
    WindowPace pace;
    std::uint32_t shownCounter = 0;
    const auto show = [&](std::uint32_t blockCounter, std::uint32_t bytesAcknowledged) {
        setProgressPosition(upload, static_cast<int>(blockCounter));
        setProgressTitle(
            upload, uploadCaption(deviceAddressText, bytesAcknowledged, session.imageSize).data());
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
