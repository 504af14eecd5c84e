// Start-up of the program, once, on the main thread before the first dialog.
#include "app/startup.h"

#include <cstring>

#include "app/context.h"
#include "app/firmware_image.h"
#include "base/random.h"
#include "base/text.h"
#include "platform/debug_log.h"
#include "platform/platform.h"
#include "ui/messages.h"
#include "ui/ui.h"

const char* initEnvironment() {
    UpgradeContext& ctx = upgradeContext;
    if (!initSocketLibrary())
        return kErrorWinsockInit;

    std::memset(ctx.localAddresses, 0, sizeof ctx.localAddresses);
    const int found = listLocalAddresses(std::span(ctx.hostName, 128), ctx.localAddresses);
    for (int i = 0; i < found; ++i)
        trace("Client IP = %x", ctx.localAddresses[i]);
    ctx.localAddress = ctx.localAddresses[0];

    std::memset(&ctx.digest, 0, sizeof ctx.digest);
    seedRandom(millisecondClock());
    initUiControls();

    // Without a whole header there is nothing sound to show or send: stop before any dialog.
    if (!loadFirmwareImage(firmwareBytes(ctx.instance)))
        return kErrorNoImage;
    copyText(ctx.productName,
             productNameFor(std::span<const std::uint8_t, 128>(ctx.firmware.firmwareHeader)));
    return nullptr;
}
