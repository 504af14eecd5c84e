// What the dialogs do with the user's answers, shared by every front-end.
#pragma once

#include <string_view>

// The address dialog's OK: stores the typed text and the parsed address; when the address is
// valid (not 0) also draws the file name "/tov%x.bin" and takes the selected local address.
// Returns whether the address was valid. selectedIndex < 0 means no selection.
bool acceptAddressEntry(std::string_view typed, int selectedIndex);

// The password dialog's OK: stores user name and password, each cut at 126 characters.
void storeCredentials(std::string_view userName, std::string_view password);

inline constexpr int kMaxCredentialLength = 126;
