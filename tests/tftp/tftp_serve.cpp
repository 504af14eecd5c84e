// Test tool, not shipped: runs our TFTP listener and session for one fetch by a real client.
//   tftp-serve [--size N] [--write FILE] ADDRESS NAME
// Serves the embedded image (or a made-up one of N bytes) as NAME on ADDRESS, printing
// "port P" once it listens. The settling wait runs on the tests' fake clock, so the process ends
// right after the transfer: "Can't connect to TOV" (no device web server) follows a complete
// transfer, "Firmware Upload Incomplete" an incomplete one.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/context.h"
#include "app/firmware_image.h"
#include "app/text.h"
#include "platform/platform.h"
#include "tftp/tftp_listener.h"
#include "ui/dotted_address.h"

namespace {
std::vector<std::uint8_t> madeUpImage;

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

    if (size >= 0) {
        madeUpImage.resize(static_cast<std::size_t>(size));
        std::uint32_t state = 2026;
        for (auto& byte : madeUpImage) {
            state = state * 1103515245u + 12345u;
            byte = static_cast<std::uint8_t>(state >> 16);
        }
        upgradeContext.firmware.firmwareData = madeUpImage.data();
        upgradeContext.firmware.firmwareSize = static_cast<std::uint32_t>(size);
    } else if (!loadFirmwareImage(firmwareBytes(nullptr))) {
        std::fprintf(stderr, "tftp-serve: no embedded image\n");
        return 1;
    }
    if (writeTo != nullptr) {
        std::FILE* out = std::fopen(writeTo, "wb");
        if (out == nullptr || std::fwrite(upgradeContext.firmware.firmwareData, 1,
                                          upgradeContext.firmware.firmwareSize,
                                          out) != upgradeContext.firmware.firmwareSize) {
            std::fprintf(stderr, "tftp-serve: cannot write %s\n", writeTo);
            return 1;
        }
        std::fclose(out);
    }
    copyText(upgradeContext.fileName, argv[arg + 1]);
    copyText(upgradeContext.deviceAddressText, argv[arg]);
    upgradeContext.localAddress = address;
    initSocketLibrary();

    std::printf("port %u\n", startTftpListener(address));
    std::fflush(stdout);
    // The TFTP thread ends the process; give up after two minutes without a fetch.
    std::this_thread::sleep_for(std::chrono::minutes(2));
    std::fprintf(stderr, "tftp-serve: nobody fetched the file\n");
    return 1;
}
