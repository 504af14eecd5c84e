// SPDX-License-Identifier: MIT
// The platform's IPv4 socket address record, named once for the portable code.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#endif

using Ipv4SocketAddress = sockaddr_in;
