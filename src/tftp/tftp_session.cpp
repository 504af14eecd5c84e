// SPDX-License-Identifier: MIT
// The session's block numbering.
#include "tftp/tftp_session.h"

#include <algorithm>

void setTftpImageGeometry(TftpSession& session, std::span<const std::uint8_t> image) {
    const auto imageSize = static_cast<std::uint32_t>(image.size());
    session.image = image;
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
    if (block == 0)
        return {};
    const std::size_t offset = std::size_t{block - 1} * kTftpBlockSize;
    if (offset >= session.image.size())
        return {};
    const std::size_t length =
        block == session.blockCount ? session.lastBlockLength : std::size_t{kTftpBlockSize};
    return session.image.subspan(offset, std::min(length, session.image.size() - offset));
}
