// The session record, its block numbering and its three stages: transfer, settling, outcome.
#include "tftp/tftp_session.h"

#include <new>

#include "app/background_request.h"
#include "app/context.h"
#include "app/failure.h"
#include "app/text.h"
#include "ui/messages.h"

void setTftpImageGeometry(TftpSession& session, std::uint32_t imageSize) {
    session.imageSize = imageSize;
    session.blockCount = imageSize / kTftpBlockSize + 1;
    session.lastBlockLength = imageSize % kTftpBlockSize;
    session.blockCounter = 0;
    session.bytesAcknowledged = 0;
    session.currentBlockLength = 0;
}

TftpSessionState tftpTransferState(const TftpSession& session) {
    if (session.blockCounter == 0)
        return TftpSessionState::awaitOptionAck;
    if (session.blockCounter <= session.blockCount)
        return TftpSessionState::sendingBlocks;
    return TftpSessionState::settling;
}

std::span<const std::uint8_t> tftpBlockData(const TftpSession& session, std::uint32_t block) {
    const std::span<const std::uint8_t> image(upgradeContext.firmware.firmwareData,
                                              upgradeContext.firmware.firmwareSize);
    if (block == 0)
        return {};
    const std::size_t offset = std::size_t{block - 1} * kTftpBlockSize;
    if (offset >= image.size())
        return {};
    const std::size_t length =
        block == session.blockCount ? session.lastBlockLength : std::size_t{kTftpBlockSize};
    return image.subspan(offset, std::min(length, image.size() - offset));
}

void startTftpSession(SocketHandle socket, std::uint32_t localAddress, std::uint32_t peerAddress,
                      std::uint16_t peerPort) {
    auto* session = new (std::nothrow) TftpSession{};
    if (session == nullptr)
        failUpgrade(kErrorSessionAlloc);
    session->socket = socket;
    session->localAddress = localAddress;
    session->peerAddress = peerAddress;
    session->peerPort = peerPort;
    // The listener refuses such an image before anything is sent; this keeps the block counter
    // within 16 bits whoever starts a session.
    if (!tftpImageFits(upgradeContext.firmware.firmwareSize))
        failUpgrade(kErrorImageTooLarge);
    setTftpImageGeometry(*session, upgradeContext.firmware.firmwareSize);
    trace("++++size %d, %d, %d\n", session->imageSize, session->lastBlockLength,
          session->blockCount);
    runTftpSession(session);
}

void runTftpSession(TftpSession* session) {
    ProgressWindow window = openProgressWindow(ProgressKind::uploading);
    setProgressRange(window, 0, static_cast<int>(session->blockCount));
    const bool complete = transferTftpImage(*session, window);

    // Given also after an incomplete transfer: the device may still be busy with what it got.
    waitForDeviceToSettle(window);
    destroyProgressWindow(window);

    if (!complete) {
        showErrorBox(kErrorIncomplete);
    } else {
        // The device that fetched the image is asked, not the address that was typed.
        const int received = runBackgroundRequest(
            upgradeContext.instance, session->localAddress, kHttpLocalPort, session->peerAddress,
            kDeviceHttpPort, "/admin/advanced", upgradeContext.responseBuffer, kResponseCapacity);
        if (received > 0)
            runSuccessDialog();
        else
            showErrorBox(kErrorNotBack);
    }
    delete session;
    endProcess();
}
