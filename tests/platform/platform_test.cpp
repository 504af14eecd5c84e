// SPDX-License-Identifier: MIT
// The platform layer as the core relies on it: clock, threads, loopback sockets, local addresses,
// the process end and the embedded image. Runs natively and, for the Windows build, under Wine.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/socket_io.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

namespace {

constexpr std::uint32_t kLoopback = 0x7f000001; // 127.0.0.1

std::uint32_t elapsedSince(std::uint32_t start) {
    return millisecondClock() - start;
}

class Platform : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(initSocketLibrary()); }
};

// Binds to some free loopback port in a high range away from the ones the program uses (69-168,
// 80, 23456-23556); returns it, 0 when none was free.
std::uint16_t bindSomePort(SocketHandle socket, std::uint32_t address = kLoopback) {
    const std::uint32_t base = 41000 + (millisecondClock() * 7919u) % 15000u;
    for (std::uint32_t i = 0; i < 400; ++i) {
        const auto port = static_cast<std::uint16_t>(base + i);
        if (bindSocket(socket, address, port))
            return port;
    }
    return 0;
}

std::vector<std::uint8_t> patterned(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i * 13);
    return bytes;
}

// ---- Clock ---------------------------------------------------------------------------------

TEST(PlatformClock, MovesForwardWithSleepAndStaysClose) {
    const std::uint32_t start = millisecondClock();
    std::uint32_t previous = start;
    for (int i = 0; i < 20; ++i) {
        sleepMilliseconds(2);
        const std::uint32_t now = millisecondClock();
        EXPECT_LT(now - previous, 1000u) << "clock went backwards or jumped";
        previous = now;
    }
    const std::uint32_t elapsed = elapsedSince(start);
    EXPECT_GE(elapsed, 35u); // 20 sleeps of 2 ms, allowing for a coarse clock
    EXPECT_LT(elapsed, 2000u);

    const std::uint32_t before = millisecondClock();
    sleepMilliseconds(100);
    const std::uint32_t slept = elapsedSince(before);
    EXPECT_GE(slept, 90u);
    EXPECT_LT(slept, 1000u);
}

TEST(PlatformClock, IsTheLow32BitsOfASystemMillisecondCount) {
    // Not saturated or rebased: the 32-bit value follows a 64-bit count modulo 2^32, so it wraps
    // after 49.7 days exactly as the callers' unsigned differences expect.
#ifdef _WIN32
    const auto reference = static_cast<std::uint32_t>(::GetTickCount64());
#else
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const auto reference =
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                   static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
#endif
    const std::uint32_t clock = millisecondClock();
    const std::uint32_t distance =
        clock - reference < reference - clock ? clock - reference : reference - clock;
    EXPECT_LT(distance, 1000u);
}

// ---- Threads -------------------------------------------------------------------------------

struct Gate {
    std::atomic<bool> open{false};
    std::atomic<bool> entered{false};
    int result = 0;
};

int waitAtGate(void* argument) {
    auto* gate = static_cast<Gate*>(argument);
    gate->entered = true;
    for (int i = 0; i < 5000 && !gate->open; ++i)
        sleepMilliseconds(1);
    return gate->result;
}

bool waitFinished(ThreadHandle thread, std::uint32_t limit) {
    const std::uint32_t start = millisecondClock();
    while (!threadFinished(thread)) {
        if (elapsedSince(start) > limit)
            return false;
        sleepMilliseconds(1);
    }
    return true;
}

TEST(PlatformThreads, ReportFinishedOnlyAfterTheBodyReturnsAndGiveItsResult) {
    // 259 is Windows' STILL_ACTIVE: a result must not be mistaken for "still running".
    const int results[] = {12345, 0, -7, 259};
    std::array<Gate, 4> gates;
    std::array<ThreadHandle, 4> threads{};
    for (std::size_t i = 0; i < gates.size(); ++i) {
        gates[i].result = results[i];
        threads[i] = startThread(waitAtGate, &gates[i]);
        ASSERT_NE(threads[i], nullptr);
    }
    for (std::size_t i = 0; i < gates.size(); ++i) {
        for (int wait = 0; wait < 2000 && !gates[i].entered; ++wait)
            sleepMilliseconds(1);
        EXPECT_TRUE(gates[i].entered) << "thread " << i << " did not start at once";
        EXPECT_FALSE(threadFinished(threads[i])) << "thread " << i;
    }
    for (std::size_t i = gates.size(); i-- > 0;) {
        gates[i].open = true;
        ASSERT_TRUE(waitFinished(threads[i], 5000)) << "thread " << i;
        EXPECT_EQ(takeThreadResult(threads[i]), results[i]);
    }
}

// ---- Datagrams -----------------------------------------------------------------------------

struct UdpPair {
    SocketGuard sender{openUdpSocket()};
    SocketGuard receiver{openUdpSocket()};
    std::uint16_t senderPort = 0;
    std::uint16_t receiverPort = 0;
    Ipv4SocketAddress receiverAddress{};

    bool ready() {
        if (sender.get() == kInvalidSocket || receiver.get() == kInvalidSocket)
            return false;
        senderPort = bindSomePort(sender.get());
        receiverPort = bindSomePort(receiver.get());
        fillSocketAddress(kLoopback, receiverPort, receiverAddress);
        return senderPort != 0 && receiverPort != 0;
    }
    int send(const std::vector<std::uint8_t>& bytes) {
        return sendDatagram(sender.get(), bytes, receiverAddress);
    }
};

TEST_F(Platform, DatagramLargerThanTheBufferIsAFailedReceiveAndTheNextOneArrivesWhole) {
    UdpPair pair;
    ASSERT_TRUE(pair.ready());
    const auto oversized = patterned(600, 1);
    const auto exact = patterned(512, 2);
    ASSERT_EQ(pair.send(oversized), 600);
    ASSERT_EQ(pair.send(exact), 512);

    std::array<std::uint8_t, 512> buffer{};
    Ipv4SocketAddress from{};
    ASSERT_TRUE(waitReadable(pair.receiver.get(), 2000));
    EXPECT_LT(receiveDatagram(pair.receiver.get(), buffer, from), 0);

    // A datagram exactly the buffer's size is not cut, and the sender is reported.
    buffer.fill(0);
    ASSERT_TRUE(waitReadable(pair.receiver.get(), 2000));
    ASSERT_EQ(receiveDatagram(pair.receiver.get(), buffer, from), 512);
    EXPECT_TRUE(std::equal(exact.begin(), exact.end(), buffer.begin()));
    std::uint32_t fromAddress = 0;
    std::uint16_t fromPort = 0;
    readSocketAddress(from, fromAddress, fromPort);
    EXPECT_EQ(fromAddress, kLoopback);
    EXPECT_EQ(fromPort, pair.senderPort);
}

TEST_F(Platform, NonBlockingReceiveWithNothingPendingFailsAtOnce) {
    UdpPair pair;
    ASSERT_TRUE(pair.ready());
    ASSERT_TRUE(setNonBlocking(pair.receiver.get()));
    std::array<std::uint8_t, 516> buffer{};
    Ipv4SocketAddress from{};
    const std::uint32_t start = millisecondClock();
    for (int i = 0; i < 50; ++i)
        ASSERT_LT(receiveDatagram(pair.receiver.get(), buffer, from), 0);
    EXPECT_LT(elapsedSince(start), 200u);

    // Still a working socket once something arrives.
    ASSERT_EQ(pair.send(patterned(4, 9)), 4);
    ASSERT_TRUE(waitReadable(pair.receiver.get(), 2000));
    EXPECT_EQ(receiveDatagram(pair.receiver.get(), buffer, from), 4);
}

TEST_F(Platform, WaitReadableKeepsItsTimeOutAndSeesAPendingDatagram) {
    UdpPair pair;
    ASSERT_TRUE(pair.ready());
    std::uint32_t start = millisecondClock();
    EXPECT_FALSE(waitReadable(pair.receiver.get(), 150));
    const std::uint32_t waited = elapsedSince(start);
    EXPECT_GE(waited, 130u);
    EXPECT_LT(waited, 1500u);

    start = millisecondClock();
    EXPECT_FALSE(waitReadable(pair.receiver.get(), 0));
    EXPECT_LT(elapsedSince(start), 100u);

    ASSERT_EQ(pair.send(patterned(32, 3)), 32);
    start = millisecondClock();
    EXPECT_TRUE(waitReadable(pair.receiver.get(), 3000));
    EXPECT_LT(elapsedSince(start), 1000u);
}

TEST_F(Platform, BindingAnAddressAndPortAlreadyTakenFails) {
    SocketGuard firstUdp(openUdpSocket());
    SocketGuard secondUdp(openUdpSocket());
    const std::uint16_t udpPort = bindSomePort(firstUdp.get());
    ASSERT_NE(udpPort, 0);
    EXPECT_FALSE(bindSocket(secondUdp.get(), kLoopback, udpPort));
    EXPECT_TRUE(bindSocket(secondUdp.get(), kLoopback, static_cast<std::uint16_t>(udpPort + 1)) ||
                bindSocket(secondUdp.get(), kLoopback, static_cast<std::uint16_t>(udpPort + 2)));

    SocketGuard firstTcp(openTcpSocket());
    SocketGuard secondTcp(openTcpSocket());
    const std::uint16_t tcpPort = bindSomePort(firstTcp.get());
    ASSERT_NE(tcpPort, 0);
    ASSERT_TRUE(listenSocket(firstTcp.get(), 1));
    EXPECT_FALSE(bindSocket(secondTcp.get(), kLoopback, tcpPort));
}

// ---- Streams -------------------------------------------------------------------------------

struct Client {
    std::uint16_t port = 0;
    bool connected = false;
    std::string echoed;
    bool closedAfterwards = false;
};

int runClient(void* argument) {
    auto* client = static_cast<Client*>(argument);
    SocketGuard socket(openTcpSocket());
    client->connected = connectSocket(socket.get(), kLoopback, client->port);
    if (!client->connected)
        return 1;
    const std::string_view request = "GET /admin/advanced HTTP/1.1\r\n\r\n";
    if (sendBytes(socket.get(), std::span(reinterpret_cast<const std::uint8_t*>(request.data()),
                                          request.size())) != static_cast<int>(request.size()))
        return 2;
    std::array<std::uint8_t, 64> buffer{};
    for (int reads = 0; reads < 100; ++reads) {
        if (!waitReadable(socket.get(), 3000))
            return 3;
        const int n = receiveBytes(socket.get(), buffer);
        if (n == 0) {
            client->closedAfterwards = true;
            return 0;
        }
        if (n < 0)
            return 4;
        client->echoed.append(reinterpret_cast<const char*>(buffer.data()),
                              static_cast<std::size_t>(n));
    }
    return 5;
}

TEST_F(Platform, TcpRoundTripThroughListenAndAccept) {
    SocketGuard listener(openTcpSocket());
    Client client;
    client.port = bindSomePort(listener.get());
    ASSERT_NE(client.port, 0);
    ASSERT_TRUE(listenSocket(listener.get(), 1));
    ThreadHandle thread = startThread(runClient, &client);
    ASSERT_NE(thread, nullptr);

    ASSERT_TRUE(waitReadable(listener.get(), 5000)) << "no connection arrived";
    std::string received;
    {
        SocketGuard connection(acceptConnection(listener.get()));
        ASSERT_NE(connection.get(), kInvalidSocket);
        std::array<std::uint8_t, 7> buffer{}; // small, so the request comes in several reads
        while (received.find("\r\n\r\n") == std::string::npos && received.size() < 200) {
            ASSERT_TRUE(waitReadable(connection.get(), 3000));
            const int n = receiveBytes(connection.get(), buffer);
            ASSERT_GT(n, 0);
            received.append(reinterpret_cast<const char*>(buffer.data()),
                            static_cast<std::size_t>(n));
        }
        ASSERT_EQ(sendBytes(connection.get(), patterned(3000, 5)), 3000);
    } // closing the connection gives the client, still reading, its orderly end
    ASSERT_TRUE(waitFinished(thread, 5000));
    EXPECT_EQ(takeThreadResult(thread), 0);
    EXPECT_TRUE(client.connected);
    EXPECT_EQ(received, "GET /admin/advanced HTTP/1.1\r\n\r\n");
    const auto reply = patterned(3000, 5);
    EXPECT_EQ(client.echoed, std::string(reply.begin(), reply.end()));
    EXPECT_TRUE(client.closedAfterwards);
}

TEST_F(Platform, ConnectToAPortWithoutListenerFails) {
    SocketGuard probe(openTcpSocket());
    const std::uint16_t port = bindSomePort(probe.get()); // bound, never listening
    ASSERT_NE(port, 0);
    SocketGuard socket(openTcpSocket());
    EXPECT_FALSE(connectSocket(socket.get(), kLoopback, port));
}

// ---- Local addresses -----------------------------------------------------------------------

std::vector<std::uint32_t> parseAddressList(const char* text) {
    std::vector<std::uint32_t> list;
    unsigned a = 0, b = 0, c = 0, d = 0;
    int used = 0;
    while (std::sscanf(text, "%u.%u.%u.%u%n", &a, &b, &c, &d, &used) == 4) {
        list.push_back(a << 24 | b << 16 | c << 8 | d);
        text += used;
        if (*text != ',')
            break;
        ++text;
    }
    return list;
}

TEST_F(Platform, LocalAddressesAreAtMostEightWithoutGaps) {
    std::array<char, 128> hostName;
    hostName.fill('x');
    std::array<std::uint32_t, 8> addresses{};
    const int count = listLocalAddresses(hostName, addresses);
    ASSERT_GE(count, 0);
    ASSERT_LE(count, 8);
    EXPECT_NE(std::memchr(hostName.data(), '\0', 127), nullptr) << "name not ended in 127 bytes";
    for (int i = 0; i < count; ++i)
        EXPECT_NE(addresses[static_cast<std::size_t>(i)], 0u) << "gap at slot " << i;
    for (int i = count; i < 8; ++i)
        EXPECT_EQ(addresses[static_cast<std::size_t>(i)], 0u) << "slot " << i << " written";

    // Set by the hosts-file check (scripts/check-local-addresses.sh): the exact expected list.
    if (const char* expected = std::getenv("TOV_EXPECT_LOCAL_ADDRESSES")) {
        const auto list = parseAddressList(expected);
        ASSERT_EQ(count, static_cast<int>(list.size()));
        for (std::size_t i = 0; i < list.size(); ++i)
            EXPECT_EQ(addresses[i], list[i]) << "slot " << i;
        if (const char* name = std::getenv("TOV_EXPECT_HOST_NAME")) {
            EXPECT_STREQ(hostName.data(), name);
        }
    }
}

TEST_F(Platform, LocalAddressesKeepAShortNameBufferTerminated) {
    std::array<char, 4> hostName;
    hostName.fill('x');
    std::array<std::uint32_t, 8> addresses{};
    const int count = listLocalAddresses(hostName, addresses);
    EXPECT_GE(count, 0);
    EXPECT_LE(count, 8);
    EXPECT_NE(std::memchr(hostName.data(), '\0', hostName.size()), nullptr);

    // A name that does not fit still gives this computer's addresses (checked where the
    // hosts-file check sets them, scripts/check-local-addresses.sh).
    if (const char* expected = std::getenv("TOV_EXPECT_LOCAL_ADDRESSES")) {
        const auto list = parseAddressList(expected);
        ASSERT_EQ(count, static_cast<int>(list.size()));
        for (std::size_t i = 0; i < list.size(); ++i)
            EXPECT_EQ(addresses[i], list[i]) << "slot " << i;
    }
}

// ---- The process end -----------------------------------------------------------------------

struct Blocked {
    SocketHandle socket = kInvalidSocket;
};

int blockInReceive(void* argument) {
    std::array<std::uint8_t, 16> buffer{};
    Ipv4SocketAddress from{};
    return receiveDatagram(static_cast<Blocked*>(argument)->socket, buffer, from);
}

int endFromThisThread(void*) {
    sleepMilliseconds(50); // let the other thread settle into its receive
    std::fputs("ending from a worker\n", stderr);
    endProcess();
}

void endWhileAnotherThreadBlocksInReceive() {
    if (!initSocketLibrary())
        std::abort();
    Blocked blocked{openUdpSocket()};
    if (bindSomePort(blocked.socket) == 0)
        std::abort();
    if (startThread(blockInReceive, &blocked) == nullptr)
        std::abort();
    ThreadHandle ender = startThread(endFromThisThread, nullptr);
    if (ender == nullptr)
        std::abort();
    for (int i = 0; i < 10000; ++i) // bounded: the process should end long before
        sleepMilliseconds(1);
    std::abort();
}

TEST(PlatformProcessDeathTest, EndsAtOnceWithStatusZeroFromAnyThread) {
    EXPECT_EXIT(endWhileAnotherThreadBlocksInReceive(), ::testing::ExitedWithCode(0),
                "ending from a worker");
}

// ---- The embedded image --------------------------------------------------------------------

TEST(PlatformFirmware, ImageEqualsTheFileTheBuildCarried) {
    const auto image = firmwareBytes(nullptr);
    ASSERT_EQ(image.size(), 725912u);
    EXPECT_EQ(std::memcmp(image.data(), "ToV2000 FiRmWaRe", 16), 0);

    std::FILE* file = std::fopen(TOV_FIRMWARE_FILE, "rb");
    ASSERT_NE(file, nullptr) << TOV_FIRMWARE_FILE;
    std::vector<std::uint8_t> expected(image.size() + 1);
    const std::size_t read = std::fread(expected.data(), 1, expected.size(), file);
    std::fclose(file);
    ASSERT_EQ(read, image.size()) << "image and file differ in size";
    EXPECT_EQ(std::memcmp(image.data(), expected.data(), image.size()), 0);

    // The same bytes every time: located once, read-only for the life of the process.
    EXPECT_EQ(firmwareBytes(nullptr).data(), image.data());
}

#ifdef _WIN32
TEST(PlatformFirmware, ResourceIsUsEnglishAndFoundThroughTheModuleHandle) {
    HMODULE self = ::GetModuleHandleA(nullptr);
    EXPECT_EQ(firmwareBytes(self).data(), firmwareBytes(nullptr).data());
    EXPECT_NE(::FindResourceExA(self, "TOV_FIRMWARE", MAKEINTRESOURCEA(112),
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
              nullptr);
    // A module without the resource, or a pointer that is no module, gives an empty image.
    EXPECT_TRUE(firmwareBytes(::GetModuleHandleA("kernel32.dll")).empty());
    int notAModule = 0;
    EXPECT_TRUE(firmwareBytes(&notAModule).empty());
    EXPECT_TRUE(firmwareBytes(reinterpret_cast<void*>(std::uintptr_t{0x10})).empty());
    char* insideTheProgram = reinterpret_cast<char*>(self) + 0x1000;
    EXPECT_TRUE(firmwareBytes(insideTheProgram).empty());
}
#endif

} // namespace
