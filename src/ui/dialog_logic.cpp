// Dialog answers applied to the upgrade state.
#include "ui/dialog_logic.h"

#include <span>

#include "app/context.h"
#include "app/random.h"
#include "app/text.h"
#include "ui/dotted_address.h"

bool acceptAddressEntry(std::string_view typed, int selectedIndex) {
    UpgradeContext& ctx = upgradeContext;
    copyText(ctx.deviceAddressText, typed);
    parseDottedAddress(ctx.deviceAddressText, &ctx.deviceAddress);
    if (ctx.deviceAddress == 0)
        return false;
    formatText(ctx.fileName, "/tov%x.bin", static_cast<unsigned>(drawRandom() & 0xffff));
    // An empty list has no selection; the address then stays as start-up left it.
    if (selectedIndex >= 0 && selectedIndex < kLocalAddressSlots)
        ctx.localAddress = ctx.localAddresses[selectedIndex];
    trace("+++ using %x\n", ctx.localAddress);
    return true;
}

void storeCredentials(std::string_view userName, std::string_view password) {
    DigestChallenge& digest = upgradeContext.digest;
    copyText(std::span(digest.userName, kMaxCredentialLength + 1), userName);
    copyText(std::span(digest.password, kMaxCredentialLength + 1), password);
}
