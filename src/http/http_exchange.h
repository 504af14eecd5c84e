// One HTTP/1.1 GET exchange with the device's web server over a fresh TCP connection.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Sends one request for `path` and reads the answer until the device closes the connection,
// storing at most `size` bytes plus a terminating zero in `buffer` (which holds size + 1 bytes).
// Returns -1 when the answer is a 401 with a usable Digest challenge (now stored), otherwise the
// number of bytes received. Ends the process when the connection cannot be set up.
int httpExchange(std::uint32_t localAddress, std::uint16_t localPort, std::uint32_t deviceAddress,
                 std::uint16_t devicePort, const char* path, char* buffer, int size);

// A connected TCP socket bound from localPort upward (101 ports), or the end of the process.
SocketHandle openDeviceConnection(std::uint32_t localAddress, std::uint16_t localPort,
                                  std::uint32_t deviceAddress, std::uint16_t devicePort);

// Whether the zero-terminated response is a 401 carrying a usable Digest challenge; when it is,
// the challenge has been stored.
bool parseHttpResponse(const char* response);

// Copies the value that follows `label` (after one or more tags) into dest, at most `limit`
// characters plus a zero; returns whether dest was written.
bool extractPageValue(const char* page, const char* label, char* dest, int limit);
