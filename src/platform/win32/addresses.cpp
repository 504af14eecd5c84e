// SPDX-License-Identifier: MIT
// This computer's IPv4 addresses: what the resolver answers for the host name, in its order.
#include <winsock2.h>

#include <cstring>

#include "platform/platform.h"

int listLocalAddresses(std::span<char> hostName, std::span<std::uint32_t, 8> addresses) {
    if (hostName.empty())
        return 0;
    // The name query gets one byte less than the buffer (127 of 128) so the text always ends.
    const std::size_t room = hostName.size() - 1 > 127 ? 127 : hostName.size() - 1;
    hostName[0] = '\0';
    if (::gethostname(hostName.data(), static_cast<int>(room)) != 0)
        hostName[0] = '\0';
    hostName[room] = '\0';

    // Asked even when the name query failed: Winsock answers an empty name with this computer's
    // own entry, so a name too long for the buffer still yields the addresses.
    const hostent* entry = ::gethostbyname(hostName.data());
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4 ||
        entry->h_addr_list == nullptr)
        return 0;
    int count = 0;
    for (char** item = entry->h_addr_list;
         *item != nullptr && count < static_cast<int>(addresses.size()); ++item) {
        std::uint32_t networkOrder = 0;
        std::memcpy(&networkOrder, *item, sizeof networkOrder);
        addresses[static_cast<std::size_t>(count++)] = ntohl(networkOrder);
    }
    return count;
}
