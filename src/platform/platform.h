// SPDX-License-Identifier: MIT
// The operating-system seam: sockets, threads, time, process end, local addresses and the
// embedded firmware bytes. One header; each platform has its own .cpp files, picked by CMake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/socket_address.h"

// ---- Sockets -------------------------------------------------------------------------------

// Opaque socket handle: a SOCKET on Windows, a file descriptor elsewhere.
using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};

// Starts the socket library (Winsock 1.1 on Windows). False when it cannot start.
bool initSocketLibrary();

SocketHandle openTcpSocket();
SocketHandle openUdpSocket();
void closeSocket(SocketHandle socket);

// Addresses and ports in host byte order; address 0 means any local address.
bool bindSocket(SocketHandle socket, std::uint32_t address, std::uint16_t port);
// As bindSocket, telling a refusal for lack of privilege (on Linux a normal user may not bind a
// port below 1024) apart from every other failure. Windows never refuses for that reason.
enum class BindOutcome { bound, permissionDenied, failed };
BindOutcome bindSocketTellingWhy(SocketHandle socket, std::uint32_t address, std::uint16_t port);
// The local port a bound socket holds (the system's pick after binding port 0); 0 if unknown.
std::uint16_t boundLocalPort(SocketHandle socket);
// Blocking connect with the system's own time-out.
bool connectSocket(SocketHandle socket, std::uint32_t address, std::uint16_t port);

// Stream transfer: result as the system's send/recv (bytes moved, 0 on orderly close, < 0 on
// error).
int sendBytes(SocketHandle socket, std::span<const std::uint8_t> bytes);
int receiveBytes(SocketHandle socket, std::span<std::uint8_t> into);

// Datagrams. A datagram larger than `into` is a failed receive (result < 0) on every platform.
int sendDatagram(SocketHandle socket, std::span<const std::uint8_t> bytes,
                 const Ipv4SocketAddress& to);
int receiveDatagram(SocketHandle socket, std::span<std::uint8_t> into, Ipv4SocketAddress& from);

// Server side, used by the tests' small loopback servers and the simulated device.
bool listenSocket(SocketHandle socket, int backlog);
// Blocks until a connection arrives; kInvalidSocket on failure.
SocketHandle acceptConnection(SocketHandle socket);

bool setNonBlocking(SocketHandle socket);
// Waits at most `milliseconds` for the socket to become readable; true when it is.
bool waitReadable(SocketHandle socket, std::uint32_t milliseconds);

// Closes the socket when the owner leaves scope, unless released first.
class SocketGuard {
  public:
    explicit SocketGuard(SocketHandle socket) : socket_(socket) {}
    SocketGuard(const SocketGuard&) = delete;
    SocketGuard& operator=(const SocketGuard&) = delete;
    ~SocketGuard() {
        if (socket_ != kInvalidSocket)
            closeSocket(socket_);
    }
    SocketHandle get() const { return socket_; }
    SocketHandle release() {
        SocketHandle s = socket_;
        socket_ = kInvalidSocket;
        return s;
    }

  private:
    SocketHandle socket_;
};

// ---- Local addresses -----------------------------------------------------------------------

// Fills hostName (bounded, always terminated) and up to 8 IPv4 addresses of this computer in host
// byte order, without gaps; returns how many were found. Windows: the resolver's answer for the
// host name, in its order. Elsewhere: the IPv4 addresses of the interfaces that are up, loopback
// last (the resolver there tends to answer the host name with 127.0.1.1).
int listLocalAddresses(std::span<char> hostName, std::span<std::uint32_t, 8> addresses);

// ---- Threads -------------------------------------------------------------------------------

using ThreadBody = int (*)(void* argument);
struct PlatformThread;
using ThreadHandle = PlatformThread*;

// Starts a thread at once with the default stack; nullptr when it could not start.
ThreadHandle startThread(ThreadBody body, void* argument);
bool threadFinished(ThreadHandle thread);
// Waits at most `milliseconds` for the thread to end; true once it has.
bool waitThreadFinished(ThreadHandle thread, std::uint32_t milliseconds);
// The body's result; only meaningful once threadFinished() is true. Releases the handle.
int takeThreadResult(ThreadHandle thread);
// Gives up the handle of a thread that may still run (a worker blocked on a socket nobody waits
// for any more); the thread ends by itself and its record is freed then.
void releaseThread(ThreadHandle thread);

// ---- Time and the process ------------------------------------------------------------------

// Milliseconds since some fixed moment; wraps at 2^32 as Windows' timeGetTime does.
std::uint32_t millisecondClock();
void sleepMilliseconds(std::uint32_t milliseconds);
// waitReadable() measured on the program's clock: a wait the program times (a resend, a poll)
// rather than a fixed real-time bound, so a controllable clock in the tests can run it.
bool waitReadableOnClock(SocketHandle socket, std::uint32_t milliseconds);
// waitThreadFinished() measured on the program's clock, likewise.
bool waitThreadOnClock(ThreadHandle thread, std::uint32_t milliseconds);

// Ends the whole process at once, from any thread, with `status` (the desktop programs end every
// path with 0; the command-line program says in it what happened).
[[noreturn]] void endProcess(int status = 0);

// ---- The embedded firmware image ------------------------------------------------------------

// The image carried inside the program: read-only for the life of the process, exact size.
// Empty when the program carries none. `instance` is the module holding it (Windows).
std::span<const std::uint8_t> firmwareBytes(void* instance);
// Whether the carried image is the build's stand-in for tests, not the device maker's firmware.
bool firmwareIsStandIn();
