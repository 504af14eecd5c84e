// The upgrade sequence, step by step on the main thread.
#include "app/upgrade_sequence.h"

#include <array>

#include "app/background_request.h"
#include "app/context.h"
#include "app/startup.h"
#include "app/text.h"
#include "platform/platform.h"
#include "tftp/tftp_listener.h"
#include "ui/messages.h"
#include "ui/ui.h"

namespace {

constexpr char kInformationPath[] = "/admin/advanced";

int requestFromDevice(const char* path) {
    UpgradeContext& ctx = upgradeContext;
    return runBackgroundRequest(ctx.instance, ctx.localAddress, kHttpLocalPort, ctx.deviceAddress,
                                kDeviceHttpPort, path, ctx.responseBuffer, kResponseCapacity);
}

} // namespace

void formatUpgradePath(std::span<char, kUpgradePathSize> path, std::uint32_t localAddress,
                       std::uint16_t tftpPort, const char* fileName) {
    formatText(path, "/admin/upgrade?tftp://%u.%u.%u.%u:%u%s", localAddress >> 24,
               (localAddress >> 16) & 0xff, (localAddress >> 8) & 0xff, localAddress & 0xff,
               static_cast<unsigned>(tftpPort), fileName);
}

int runUpgrade(void* instance) {
    UpgradeContext& ctx = upgradeContext;
    ctx.instance = instance;
    initEnvironment();

    // Cancel at the notice or the address ends the program quietly.
    if (!runNoticeDialog())
        return 0;
    if (!runAddressDialog())
        return 0;
    if (ctx.deviceAddress == 0)
        return 0;

    // Any answer of at least one byte counts; the page's texts are now in DeviceInfo.
    if (requestFromDevice(kInformationPath) <= 0) {
        showErrorBox(kErrorNoResponse);
        return 0;
    }
    if (!runConfirmDialog()) {
        showErrorBox(kErrorUserAbort);
        return 0;
    }

    // The listener is up before the device is told to fetch anything.
    const std::uint16_t tftpPort = startTftpListener(ctx.localAddress);
    std::array<char, kUpgradePathSize> upgradePath;
    formatUpgradePath(upgradePath, ctx.localAddress, tftpPort, ctx.fileName);
    requestFromDevice(upgradePath.data()); // the answer is not examined

    // From here the TFTP thread carries the upgrade and ends the process.
    for (;;)
        sleepMilliseconds(10);
}
