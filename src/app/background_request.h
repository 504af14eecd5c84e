// Every HTTP request to the device runs through the runner: a worker thread per attempt under a
// cancellable "Connecting with TOV@<address>" window, with the password loop between attempts.
#pragma once

#include <cstdint>

// Returns the number of response bytes received (0 or more). Does not return when the user
// cancels the window or the password prompt (the process ends after "Upgrade Failed: User Abort").
int runBackgroundRequest(void* instance, std::uint32_t localAddress, std::uint16_t localPort,
                         std::uint32_t remoteAddress, std::uint16_t remotePort, const char* path,
                         char* buffer, int capacity);

inline constexpr std::uint16_t kHttpLocalPort = 23456;
inline constexpr std::uint16_t kDeviceHttpPort = 80;
