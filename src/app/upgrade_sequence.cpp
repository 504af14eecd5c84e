// SPDX-License-Identifier: MIT
// The upgrade, step by step. The main thread walks it from the notice to the outcome; once the
// listener is up, the TFTP thread serves the image meanwhile (deliverFirmware), under windows of
// its own. Every failure is shown once, in the error box, and the upgrade ends; one met before
// the device was told to fetch anything may be tried again from the address.
#include "app/upgrade_sequence.h"

#include <array>
#include <memory>
#include <string_view>

#include "app/background_request.h"
#include "app/context.h"
#include "app/device_checks.h"
#include "app/firmware_delivery.h"
#include "app/firmware_image.h"
#include "app/image_check.h"
#include "app/image_source.h"
#include "app/settling_wait.h"
#include "app/startup.h"
#include "base/text.h"
#include "platform/platform.h"
#include "ui/failure.h"
#include "ui/ui.h"

namespace {
constexpr char kInformationPath[] = "/admin/advanced";
} // namespace

// ---- On the TFTP thread ---------------------------------------------------------------------

// The device asks for the offered file, receives it, and gets its time to install it.
DeliveryOutcome deliverFirmware(FirmwareDelivery& delivery) {
    const auto request = waitForDevice(delivery);
    if (!request)
        return DeliveryOutcome::cancelled;
    delivery.request = *request;
    delivery.readRequestArrived.store(true);

    ProgressWindow upload =
        openProgressWindow({ProgressKind::uploading, delivery.inputs.deviceAddressText});
    const TransferOutcome sent = sendFirmware(delivery, upload);
    delivery.imageDelivered = sent == TransferOutcome::complete;
    // Given after an incomplete transfer too: the device may still be busy with what it got.
    const bool settled =
        sent != TransferOutcome::cancelled && waitForDeviceToSettle(upload, delivery.stopRequested);
    destroyProgressWindow(upload);
    if (!settled)
        return DeliveryOutcome::cancelled;
    return sent == TransferOutcome::complete ? DeliveryOutcome::complete
                                             : DeliveryOutcome::incomplete;
}

// ---- On the main thread ---------------------------------------------------------------------

namespace {

// A device that refused the upgrade request is given this long to ask for the image all the same.
constexpr std::uint32_t kRefusedUpgradeGraceMilliseconds = 5000;

using SoftwareVersion = std::array<char, sizeof DeviceInfo::softwareVersion>;

int endWith(const UpgradeFailure& failure) {
    showErrorBox(failure);
    return 0;
}
int endWith(Failure reason) {
    return endWith(UpgradeFailure{reason});
}

Failure failureOf(const RequestResult& request) {
    switch (request.status) {
    case RequestStatus::cannotOpenSocket:
        return Failure::cannotOpenHttpSocket;
    case RequestStatus::cannotBindSocket:
        return Failure::cannotBindHttpSocket;
    case RequestStatus::cannotConnect:
        return Failure::cannotConnect;
    case RequestStatus::authUnsupported:
        return Failure::authUnsupported;
    case RequestStatus::cancelled:
        if (request.atPasswordPrompt)
            return request.passwordRefused ? Failure::passwordRefused : Failure::passwordNotGiven;
        break;
    case RequestStatus::answered:
    case RequestStatus::stopped:
        break;
    }
    return Failure::userAbort;
}

bool isLoopback(std::uint32_t address) {
    return address >> 24 == 127;
}

// Asked again after a failure, the dialog starts with what was typed and chosen the time before.
bool askForDeviceAddress(UpgradeContext& ctx, const LoadedImage* checked, const ImageChoice& source,
                         bool askedBefore) {
    int filled = 0;
    while (filled < kLocalAddressSlots && ctx.localAddresses[filled] != 0)
        ++filled;
    AddressDialogView view{ctx.productName, imageVersion(ctx.firmware),
                           std::span(ctx.localAddresses, static_cast<std::size_t>(filled))};
    Sha256Hex sha256;
    if (checked) {
        sha256 = sha256Hex(checked->report.sha256);
        view.imageSha256 = sha256.data();
        view.imageFile = checked->fromFile ? source.path.c_str() : nullptr;
        view.testImage = checked->report.standIn;
    }
    if (askedBefore) {
        view.typedAddress = ctx.deviceAddressText;
        for (int slot = 0; slot < filled; ++slot)
            if (ctx.localAddresses[slot] == ctx.localAddress)
                view.selectedAddress = static_cast<std::size_t>(slot);
    }
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

// The image against what the device reported: its version and its model. True to go on.
bool imageSuitsDevice(const UpgradeContext& ctx, const LoadedImage& image) {
    const ImageFindings findings =
        checkImageAgainstDevice(ctx.deviceInfo, image.report.product, imageVersion(ctx.firmware));
    return runImageCheckWarning(findings);
}

bool confirmUpgrade(const UpgradeContext& ctx) {
    const DeviceInfo& info = ctx.deviceInfo;
    return runConfirmDialog({info.deviceProductName, info.macAddress, info.softwareVersion,
                             info.hardwareVersion, info.serialNumber},
                            imageVersion(ctx.firmware));
}

RequestResult requestFromDevice(UpgradeContext& ctx, const char* path, RequestStage stage,
                                const std::atomic<bool>* stopWhen = nullptr,
                                std::uint16_t tftpPort = 0) {
    DeviceRequest request{{ctx.localAddress, kHttpLocalPort, ctx.deviceAddress, kDeviceHttpPort},
                          path,
                          {ProgressKind::connecting, ctx.deviceAddressText, stage}};
    if (tftpPort != 0) {
        request.window.tftpAddress = ctx.localAddress;
        request.window.tftpPort = tftpPort;
    }
    return runBackgroundRequest(request, ctx.digest, ctx.deviceInfo, stopWhen);
}

DeliveryInputs deliveryInputs(const UpgradeContext& ctx) {
    DeliveryInputs inputs{};
    inputs.deviceAddress = ctx.deviceAddress;
    copyText(inputs.deviceAddressText, textIn(ctx.deviceAddressText));
    copyText(inputs.fileName, textIn(ctx.fileName));
    inputs.image = imageBytes(ctx.firmware);
    return inputs;
}

Failure failureOf(const FirmwareDelivery& delivery, DeliveryOutcome outcome) {
    if (outcome == DeliveryOutcome::incomplete)
        return Failure::uploadIncomplete;
    // Stopped after the last block's ACK: the device is installing what it holds.
    return delivery.imageDelivered ? Failure::cancelledWhileInstalling : Failure::userAbort;
}

// After its restart the device must show its page again, with a software version (it may still
// be starting: it is asked again every 2 s, the last time at most 30 s after the first). Only a
// version seen to be the new one is a success: the image's own, or, when the version it ran
// before is known, any other one (a device may write versions in its own form). Versions compare
// by their letters and digits, whatever the case.
int reportDeviceAfterRestart(UpgradeContext& ctx, std::string_view versionBefore) {
    const std::uint32_t firstAsked = millisecondClock();
    for (;;) {
        ctx.deviceInfo = {}; // what the success dialog shows comes from this answer only
        const RequestResult page =
            requestFromDevice(ctx, kInformationPath, RequestStage::pageAfterRestart);
        if (page.status != RequestStatus::answered)
            return endWith(failureOf(page));
        if (page.received <= 0)
            return endWith(Failure::notBack);
        if (ctx.deviceInfo.softwareVersion[0] != '\0')
            break;
        if (!askAgainAfterRestart(firstAsked, millisecondClock()))
            return endWith(Failure::notBack);
        sleepMilliseconds(kRestartRetryMilliseconds);
    }
    const std::string_view versionNow = textIn(ctx.deviceInfo.softwareVersion);
    const bool isTheImages = sameLettersAndDigits(versionNow, imageVersion(ctx.firmware));
    const bool beforeKnown = !versionBefore.empty();
    if (!isTheImages && !(beforeKnown && !sameLettersAndDigits(versionNow, versionBefore))) {
        // Back on the version it ran before: it refused the image. With none known from before,
        // a version that is not the image's confirms nothing.
        const Failure reason =
            beforeKnown ? Failure::stillOldVersion : Failure::versionNotConfirmed;
        return endWith(failureWithVersion(reason, ctx.deviceInfo.softwareVersion));
    }
    runSuccessDialog(ctx.deviceAddressText, ctx.deviceInfo.softwareVersion);
    return 0;
}

} // namespace

UpgradePath formatUpgradePath(std::uint32_t localAddress, std::uint16_t tftpPort,
                              const char* fileName) {
    UpgradePath path;
    formatText(path, "/admin/upgrade?tftp://%s:%u%s", addressText(localAddress).data(),
               static_cast<unsigned>(tftpPort), fileName);
    return path;
}

namespace {

// The password stays in the run's Digest state only as long as the run.
struct RunState {
    UpgradeContext ctx{};
    LoadedImage image; // the checked image, when the program asks for the checks
    ~RunState() { wipeText(ctx.digest.password); }
};

// The run's image: the carried one as it is, or (checked) the chosen one once it has passed.
std::optional<UpgradeFailure> prepareImage(RunState& run, const UpgradeOptions& options) {
    UpgradeContext& ctx = run.ctx;
    if (const auto failure = initLocalEnvironment(ctx))
        return UpgradeFailure{*failure};
    std::span<const std::uint8_t> bytes = firmwareBytes(ctx.instance);
    if (options.checkImage) {
        if (auto refused = loadImage(options.image, bytes, run.image))
            return refused;
        bytes = run.image.bytes;
    }
    if (const auto failure = takeImage(ctx, bytes))
        return UpgradeFailure{*failure};
    return std::nullopt;
}

// How the way from the address to the confirmation ended.
struct Attempt {
    enum class End { confirmed, quietly, failed } end;
    UpgradeFailure failure{};
    bool mayTryAgain = false;
};

// The device has been told to fetch nothing yet: a failure may be tried again with another
// address or password, except the user's own Cancel, which ends the upgrade.
Attempt failedAttempt(const UpgradeFailure& failure) {
    return {Attempt::End::failed, failure, failure.reason != Failure::userAbort};
}
Attempt failedAttempt(Failure reason) {
    return failedAttempt(UpgradeFailure{reason});
}

// From the address to the user's "Upgrade": the device's information page, the checks of the
// image against it, and the confirmation. Cancel at the address ends quietly.
Attempt reachDevice(RunState& run, const UpgradeOptions& options, bool askedBefore,
                    SoftwareVersion& versionBefore) {
    UpgradeContext& ctx = run.ctx;
    const LoadedImage* checked = options.checkImage ? &run.image : nullptr;
    if (!askForDeviceAddress(ctx, checked, options.image, askedBefore) || ctx.deviceAddress == 0)
        return {Attempt::End::quietly};
    // The stand-in's header is one a real device would accept: it goes to simulated ones only,
    // wherever it came from (it is known by its bytes).
    if (isStandInImage(imageBytes(ctx.firmware)) && !isLoopback(ctx.deviceAddress))
        return failedAttempt(Failure::standInImage);

    // The device's information page: any answer of at least one byte counts, and the values it
    // carries are now in DeviceInfo.
    const RequestResult page =
        requestFromDevice(ctx, kInformationPath, RequestStage::informationPage);
    if (page.status != RequestStatus::answered)
        return failedAttempt(failureOf(page));
    if (page.received <= 0)
        return failedAttempt(Failure::noResponse);
    copyText(versionBefore, textIn(ctx.deviceInfo.softwareVersion));
    if (checked) {
        const bool suits = imageSuitsDevice(ctx, *checked);
        if (options.checksOnly)
            return {Attempt::End::quietly}; // a dry run: the device was asked for its page only
        if (!suits)
            return failedAttempt(Failure::deviceChecksRefused);
    }
    if (!confirmUpgrade(ctx))
        return failedAttempt(Failure::userAbort);
    return {Attempt::End::confirmed};
}

// Before another try: nothing of this device's answers or password carries over to the next.
void forgetDevice(UpgradeContext& ctx) {
    wipeText(ctx.digest.password);
    ctx.digest = {};
    ctx.deviceInfo = {};
}

} // namespace

int runUpgrade(void* instance, const UpgradeOptions& options) {
    RunState run; // this run's state, handed to each step
    UpgradeContext& ctx = run.ctx;
    ctx.instance = instance;
    if (const auto failure = prepareImage(run, options))
        return endWith(*failure);

    // Cancel at the notice ends the program quietly.
    if (!runNoticeDialog(ctx.productName))
        return 0;
    SoftwareVersion versionBefore;
    for (bool askedBefore = false;; askedBefore = true) {
        const Attempt attempt = reachDevice(run, options, askedBefore, versionBefore);
        if (attempt.end == Attempt::End::confirmed)
            break;
        if (attempt.end == Attempt::End::quietly)
            return 0;
        if (!attempt.mayTryAgain)
            return endWith(attempt.failure);
        if (!offerTryAgain(attempt.failure))
            return 0;
        forgetDevice(ctx);
    }

    // The listener is up before the device is told to fetch anything; the TFTP thread gets what
    // it needs now and reads nothing else of this run's state.
    std::unique_ptr<FirmwareDelivery> delivery;
    if (const auto failure =
            startTftpListener(delivery, ctx.localAddress, deliveryInputs(ctx), options.tftpPort))
        return endWith(*failure);

    // The upgrade request. Once the transfer is over it is no longer waited for (a device may
    // fetch the image and never answer); an error status ends the wait unless the device asks
    // for the image within a few seconds all the same.
    const UpgradePath upgradePath =
        formatUpgradePath(ctx.localAddress, delivery->listener.boundPort, ctx.fileName);
    const RequestResult upgrade =
        requestFromDevice(ctx, upgradePath.data(), RequestStage::upgradeRequest,
                          &delivery->transferOver, delivery->listener.boundPort);
    if (upgrade.status != RequestStatus::answered && upgrade.status != RequestStatus::stopped) {
        stopFirmwareDelivery(*delivery); // no block leaves after the user's Cancel
        return endWith(failureOf(upgrade));
    }
    if (upgrade.status == RequestStatus::answered && upgrade.httpStatus >= 400 &&
        !awaitReadRequest(*delivery, kRefusedUpgradeGraceMilliseconds)) {
        stopFirmwareDelivery(*delivery); // no block leaves after the box
        return endWith(failureWithStatus(Failure::upgradeRefused, upgrade.httpStatus));
    }

    // The device fetches the image and restarts (deliverFirmware, on the TFTP thread).
    const DeliveryOutcome delivered = finishFirmwareDelivery(*delivery);
    if (delivered != DeliveryOutcome::complete)
        return endWith(failureOf(*delivery, delivered));
    return reportDeviceAfterRestart(ctx, textIn(versionBefore));
}
