// SPDX-License-Identifier: MIT
// This computer's IPv4 addresses: the interfaces that are up, loopback last. The resolver is not
// asked, as it tends to answer the host name with 127.0.1.1, which no device can reach.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <unistd.h>

#include "platform/platform.h"

int listLocalAddresses(std::span<char> hostName, std::span<std::uint32_t, 8> addresses) {
    if (!hostName.empty()) {
        if (::gethostname(hostName.data(), hostName.size() - 1) != 0)
            hostName[0] = '\0';
        hostName.back() = '\0';
    }
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return 0;
    int count = 0;
    for (const bool wantLoopback : {false, true}) {
        for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
            if (count == static_cast<int>(addresses.size()))
                break;
            if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
                continue;
            if ((entry->ifa_flags & IFF_UP) == 0)
                continue;
            if (((entry->ifa_flags & IFF_LOOPBACK) != 0) != wantLoopback)
                continue;
            const auto* in = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            addresses[static_cast<std::size_t>(count++)] = ntohl(in->sin_addr.s_addr);
        }
    }
    ::freeifaddrs(list);
    return count;
}
