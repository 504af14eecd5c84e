// SPDX-License-Identifier: MIT
// Start-up of the program, once, on the main thread before the first dialog.
#include "app/startup.h"

#include <array>
#include <cstring>

#include "app/firmware_image.h"
#include "base/random.h"
#include "base/text.h"
#include "platform/debug_log.h"
#include "platform/platform.h"
#include "ui/ui.h"

std::optional<Failure> initEnvironment(UpgradeContext& ctx) {
    if (const auto failure = initLocalEnvironment(ctx))
        return failure;
    return takeImage(ctx, firmwareBytes(ctx.instance));
}

std::optional<Failure> initLocalEnvironment(UpgradeContext& ctx) {
    if (!initSocketLibrary())
        return Failure::socketLibrary;

    std::memset(ctx.localAddresses, 0, sizeof ctx.localAddresses);
    std::array<char, 128> hostName; // asked for the addresses only
    const int found = listLocalAddresses(hostName, ctx.localAddresses);
    for (int i = 0; i < found; ++i)
        trace("Client IP = %x", ctx.localAddresses[i]);
    ctx.localAddress = ctx.localAddresses[0];

    std::memset(&ctx.digest, 0, sizeof ctx.digest);
    seedRandom(millisecondClock());
    initUiControls();
    return std::nullopt;
}

std::optional<Failure> takeImage(UpgradeContext& ctx, std::span<const std::uint8_t> image) {
    // Without a whole header there is nothing sound to show or send: stop before any dialog.
    if (!loadFirmwareImage(image, ctx.firmware))
        return Failure::imageMissing;
    copyText(ctx.productName,
             productNameFor(std::span<const std::uint8_t, 128>(ctx.firmware.firmwareHeader)));
    return std::nullopt;
}
