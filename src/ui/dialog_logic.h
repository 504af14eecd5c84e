// SPDX-License-Identifier: MIT
// What the dialogs do with the user's answers, shared by every front-end.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// The address dialog's result.
struct AddressChoice {
    char deviceAddressText[32];  // as typed; 7 to 15 characters once accepted
    std::uint32_t deviceAddress; // host byte order, 0 unless valid
    std::uint32_t localAddress;  // the computer's address the device is to fetch from
    char fileName[128];          // "/tov%x.bin", drawn when the address is accepted
};

// The address dialog's OK: stores the typed text and the parsed address; when the address is
// valid (not 0) also draws the file name and takes the selected local address (selectedIndex < 0
// or past the list: the address already in `choice` stays). Returns whether it was valid.
bool acceptAddressEntry(std::string_view typed, int selectedIndex,
                        std::span<const std::uint32_t> localAddresses, AddressChoice& choice);

// The credentials as the password dialog hands them over.
struct Credentials {
    char userName[128];
    char password[128];
};
inline constexpr int kMaxCredentialLength = 126;

// The password dialog's OK: stores user name and password, each cut at 126 characters.
void storeCredentials(std::string_view userName, std::string_view password,
                      Credentials& credentials);
