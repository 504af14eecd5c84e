// SPDX-License-Identifier: MIT
// Test tool, not shipped: our TFTP listener and transfer, without windows, for one fetch by a
// real client.
//   tftp-serve [--size N] [--write FILE] ADDRESS NAME
// Serves the embedded image (or a made-up one of N bytes) as NAME on ADDRESS, printing
// "port P" once it listens, and "transfer complete" or "transfer given up" on standard error
// when the transfer ends (then it exits).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tftp/tftp_listener.h"
#include "tftp/tftp_transfer.h"
#include "tftp_test_peer.h"
#include "ui/dotted_address.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: tftp-serve [--size N] [--write FILE] ADDRESS NAME\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    long size = -1;
    const char* writeTo = nullptr;
    int arg = 1;
    for (; arg + 1 < argc && std::strncmp(argv[arg], "--", 2) == 0; arg += 2) {
        if (std::strcmp(argv[arg], "--size") == 0)
            size = std::strtol(argv[arg + 1], nullptr, 10);
        else if (std::strcmp(argv[arg], "--write") == 0)
            writeTo = argv[arg + 1];
        else
            return usage();
    }
    if (argc - arg != 2)
        return usage();
    std::uint32_t address = 0;
    if (parseDottedAddress(argv[arg], &address) != kAddressValid)
        return usage();

    std::vector<std::uint8_t> madeUp;
    std::span<const std::uint8_t> image = firmwareBytes(nullptr);
    if (size >= 0) {
        madeUp = makeTestImage(static_cast<std::uint32_t>(size));
        image = madeUp;
    }
    if (!tftpImageFits(static_cast<std::uint32_t>(image.size()))) {
        std::fprintf(stderr, "tftp-serve: image too large\n");
        return 1;
    }
    if (writeTo != nullptr) {
        std::FILE* out = std::fopen(writeTo, "wb");
        if (out == nullptr || std::fwrite(image.data(), 1, image.size(), out) != image.size()) {
            std::fprintf(stderr, "tftp-serve: cannot write %s\n", writeTo);
            return 1;
        }
        std::fclose(out);
    }
    initSocketLibrary();

    TftpListener listener;
    if (openTftpListener(listener, address) != ListenerStatus::listening) {
        std::fprintf(stderr, "tftp-serve: cannot listen\n");
        return 1;
    }
    std::printf("port %u\n", listener.boundPort);
    std::fflush(stdout);

    // Give up after two minutes without a fetch.
    const std::uint32_t started = millisecondClock();
    // The client is on this computer: its requests come from the address served on.
    const auto request = waitForReadRequest(listener, argv[arg + 1], address, [started] {
        return millisecondClock() - started > 120000;
    });
    if (!request) {
        std::fprintf(stderr, "tftp-serve: nobody fetched the file\n");
        return 1;
    }
    TftpSession session{};
    session.socket = listener.socket;
    session.peerAddress = request->peerAddress;
    session.peerPort = request->peerPort;
    setTftpImageGeometry(session, image);
    TransferHooks hooks;
    hooks.acknowledged = [](std::uint32_t, std::uint32_t) {};
    hooks.periodic = [] { return false; };
    hooks.stopRequested = [] { return false; };
    const bool complete = transferTftpImage(session, hooks) == TransferOutcome::complete;
    std::fprintf(stderr, "transfer %s\n", complete ? "complete" : "given up");
    return complete ? 0 : 1;
}
