// The upgrade, step by step. The main thread walks it from the notice to the outcome; once the
// listener is up, the TFTP thread serves the image meanwhile (deliverFirmware), under windows of
// its own. Every failure is shown once, in the error box, and the upgrade ends.
#include "app/upgrade_sequence.h"

#include <array>
#include <memory>
#include <string_view>

#include "app/background_request.h"
#include "app/context.h"
#include "app/firmware_delivery.h"
#include "app/firmware_image.h"
#include "app/settling_wait.h"
#include "app/startup.h"
#include "base/text.h"
#include "platform/platform.h"
#include "ui/messages.h"
#include "ui/ui.h"

namespace {
constexpr char kInformationPath[] = "/admin/advanced";
} // namespace

// ---- On the TFTP thread ---------------------------------------------------------------------

// The device asks for the offered file, receives it, and gets its time to install it.
DeliveryOutcome deliverFirmware(FirmwareDelivery& delivery) {
    const UpgradeContext& ctx = upgradeContext;
    const auto request = waitForDevice(delivery, textIn(ctx.fileName), ctx.deviceAddress);
    if (!request)
        return DeliveryOutcome::cancelled;
    delivery.request = *request;

    ProgressWindow upload = openProgressWindow(ProgressKind::uploading, kUploadingTitle);
    const TransferOutcome sent =
        sendFirmware(delivery, {ctx.firmware.firmwareData, ctx.firmware.firmwareSize},
                     ctx.deviceAddressText, upload);
    // Given after an incomplete transfer too: the device may still be busy with what it got.
    const bool settled =
        sent != TransferOutcome::cancelled &&
        waitForDeviceToSettle(upload, ctx.deviceAddressText, delivery.stopRequested);
    destroyProgressWindow(upload);
    if (!settled)
        return DeliveryOutcome::cancelled;
    return sent == TransferOutcome::complete ? DeliveryOutcome::complete
                                             : DeliveryOutcome::incomplete;
}

// ---- On the main thread ---------------------------------------------------------------------

namespace {

// The device gets this long after its settling wait to show its information page again.
constexpr std::uint32_t kRestartGraceMilliseconds = 30000;
constexpr std::uint32_t kRestartRetryMilliseconds = 2000;

using SoftwareVersion = std::array<char, sizeof DeviceInfo::softwareVersion>;

int endWith(const char* failure) {
    showErrorBox(failure);
    return 0;
}

const char* failureText(RequestStatus status) {
    switch (status) {
    case RequestStatus::cannotOpenSocket:
        return kErrorHttpSocket;
    case RequestStatus::cannotBindSocket:
        return kErrorHttpBind;
    case RequestStatus::cannotConnect:
        return kErrorConnect;
    case RequestStatus::answered:
    case RequestStatus::cancelled:
    case RequestStatus::stopped:
        break;
    }
    return kErrorUserAbort;
}

bool isLoopback(std::uint32_t address) {
    return address >> 24 == 127;
}

bool askForDeviceAddress() {
    UpgradeContext& ctx = upgradeContext;
    int filled = 0;
    while (filled < kLocalAddressSlots && ctx.localAddresses[filled] != 0)
        ++filled;
    const AddressDialogView view{ctx.productName, imageVersion(),
                                 std::span(ctx.localAddresses, static_cast<std::size_t>(filled))};
    AddressChoice choice{};
    choice.localAddress = ctx.localAddress;
    if (!runAddressDialog(view, choice))
        return false;
    copyText(ctx.deviceAddressText, textIn(choice.deviceAddressText));
    ctx.deviceAddress = choice.deviceAddress;
    ctx.localAddress = choice.localAddress;
    copyText(ctx.fileName, textIn(choice.fileName));
    return true;
}

bool confirmUpgrade() {
    const DeviceInfo& info = upgradeContext.deviceInfo;
    return runConfirmDialog({info.deviceProductName, info.macAddress, info.softwareVersion,
                             info.hardwareVersion, info.serialNumber},
                            imageVersion());
}

RequestResult requestFromDevice(const char* path, const std::atomic<bool>* stopWhen = nullptr) {
    const UpgradeContext& ctx = upgradeContext;
    return runBackgroundRequest(
        {ctx.localAddress, kHttpLocalPort, ctx.deviceAddress, kDeviceHttpPort}, path, stopWhen);
}

// After its restart the device must show its page again, with a software version (it may still
// be starting: it is asked again for a while), and that version must not be the one it ran
// before while the image carries another: then it refused the image.
int reportDeviceAfterRestart(std::string_view versionBefore) {
    UpgradeContext& ctx = upgradeContext;
    const std::uint32_t firstAsked = millisecondClock();
    for (;;) {
        ctx.deviceInfo = {}; // what the success dialog shows comes from this answer only
        const RequestResult page = requestFromDevice(kInformationPath);
        if (page.status != RequestStatus::answered)
            return endWith(failureText(page.status));
        if (page.received <= 0)
            return endWith(kErrorNotBack);
        if (ctx.deviceInfo.softwareVersion[0] != '\0')
            break;
        if (millisecondClock() - firstAsked >= kRestartGraceMilliseconds)
            return endWith(kErrorNotBack);
        sleepMilliseconds(kRestartRetryMilliseconds);
    }
    const std::string_view versionNow = textIn(ctx.deviceInfo.softwareVersion);
    if (versionNow == versionBefore && versionNow != imageVersion()) {
        std::array<char, 256> failure;
        formatText(failure, kErrorStillOldVersion, ctx.deviceInfo.softwareVersion);
        return endWith(failure.data());
    }
    runSuccessDialog(ctx.deviceAddressText, ctx.deviceInfo.softwareVersion);
    return 0;
}

} // namespace

UpgradePath formatUpgradePath(std::uint32_t localAddress, std::uint16_t tftpPort,
                              const char* fileName) {
    UpgradePath path;
    formatText(path, "/admin/upgrade?tftp://%u.%u.%u.%u:%u%s", localAddress >> 24,
               (localAddress >> 16) & 0xff, (localAddress >> 8) & 0xff, localAddress & 0xff,
               static_cast<unsigned>(tftpPort), fileName);
    return path;
}

int runUpgrade(void* instance) {
    UpgradeContext& ctx = upgradeContext;
    ctx.instance = instance;
    if (const char* failure = initEnvironment())
        return endWith(failure);

    // Cancel at the notice or the address ends the program quietly.
    if (!runNoticeDialog(ctx.productName))
        return 0;
    if (!askForDeviceAddress())
        return 0;
    if (ctx.deviceAddress == 0)
        return 0;
    // The stand-in's header is one a real device would accept: it goes to simulated ones only.
    if (firmwareIsStandIn() && !isLoopback(ctx.deviceAddress))
        return endWith(kErrorStandInImage);

    // The device's information page: any answer of at least one byte counts, and the values it
    // carries are now in DeviceInfo.
    const RequestResult page = requestFromDevice(kInformationPath);
    if (page.status != RequestStatus::answered)
        return endWith(failureText(page.status));
    if (page.received <= 0)
        return endWith(kErrorNoResponse);
    SoftwareVersion versionBefore;
    copyText(versionBefore, textIn(ctx.deviceInfo.softwareVersion));
    if (!confirmUpgrade())
        return endWith(kErrorUserAbort);

    // The listener is up before the device is told to fetch anything.
    std::unique_ptr<FirmwareDelivery> delivery;
    if (const char* failure = startTftpListener(delivery, ctx.localAddress, deliverFirmware))
        return endWith(failure);

    // The upgrade request; its answer is not examined, and once the transfer is over it is no
    // longer waited for (a device may fetch the image and never answer).
    const UpgradePath upgradePath =
        formatUpgradePath(ctx.localAddress, delivery->listener.boundPort, ctx.fileName);
    const RequestResult upgrade = requestFromDevice(upgradePath.data(), &delivery->transferOver);
    if (upgrade.status != RequestStatus::answered && upgrade.status != RequestStatus::stopped) {
        stopFirmwareDelivery(*delivery); // no block leaves after the user's Cancel
        return endWith(failureText(upgrade.status));
    }

    // The device fetches the image and restarts (deliverFirmware, on the TFTP thread).
    switch (finishFirmwareDelivery(*delivery)) {
    case DeliveryOutcome::cancelled:
        return endWith(kErrorUserAbort);
    case DeliveryOutcome::incomplete:
        return endWith(kErrorIncomplete);
    case DeliveryOutcome::complete:
        break;
    }
    return reportDeviceAfterRestart(textIn(versionBefore));
}
