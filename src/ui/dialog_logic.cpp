// SPDX-License-Identifier: MIT
// Dialog answers applied to what the dialogs hand back.
#include "ui/dialog_logic.h"

#include "base/random.h"
#include "base/text.h"
#include "ui/dotted_address.h"

bool acceptAddressEntry(std::string_view typed, int selectedIndex,
                        std::span<const std::uint32_t> localAddresses, AddressChoice& choice) {
    copyText(choice.deviceAddressText, typed);
    parseDottedAddress(choice.deviceAddressText, &choice.deviceAddress);
    if (choice.deviceAddress == 0)
        return false;
    formatText(choice.fileName, "/tov%x.bin", static_cast<unsigned>(drawRandom() & 0xffff));
    if (selectedIndex >= 0 && static_cast<std::size_t>(selectedIndex) < localAddresses.size())
        choice.localAddress = localAddresses[static_cast<std::size_t>(selectedIndex)];
    return true;
}

void storeCredentials(std::string_view userName, std::string_view password,
                      Credentials& credentials) {
    copyText(std::span(credentials.userName, kMaxCredentialLength + 1), userName);
    copyText(std::span(credentials.password, kMaxCredentialLength + 1), password);
}
