// SPDX-License-Identifier: MIT
// The HTTP exchange against small servers of our own on 127.0.0.1: the exact request bytes,
// answer classification, identification extraction, the buffer cap and the connection failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "app/context.h" // kResponseBufferSize
#include "base/random.h"
#include "base/text.h"
#include "http/http_exchange.h"
#include "loopback_http_server.h"

namespace {

// What an exchange works on, as the request runner hands it over.
struct {
    char responseBuffer[kResponseBufferSize];
    DigestChallenge digest;
    DeviceInfo deviceInfo;
} state;

constexpr std::uint16_t kLocalPort = 23456;
constexpr int kResponseCapacity = static_cast<int>(kResponseBufferSize) - 1;

HttpResult exchangeFrom(std::uint32_t localAddress, std::uint16_t devicePort, const char* path,
                        std::span<char> buffer) {
    return httpExchange({localAddress, kLocalPort, kLoopbackAddress, devicePort}, path, buffer,
                        state.digest, state.deviceInfo);
}

bool classify(const char* response) {
    return classifyAnswer(response, state.digest) == AnswerKind::challenge;
}

constexpr char kChallenge[] =
    "HTTP/1.1 401 Unauthorized\r\n"
    "WWW-Authenticate: Digest realm=\"TOV\", nonce=\"n1\", qop=\"auth\"\r\n"
    "Content-Type: text/html\r\n\r\n"
    "<html><td>Product Name:</td><td>Not this</td></html>";

constexpr char kPage[] = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"
                         "<html><table>\r\n"
                         "<tr><td>Product Name:</td><td>TOV-3000</td></tr>\r\n"
                         "<tr><td>MAC Address:</td><td>00:0E:08:12:34:56</td></tr>\r\n"
                         "<tr><td>Software Version:</td><td>2.0.9(d)</td></tr>\r\n"
                         "<tr><td>Hardware Version:</td><td><b></b>1.1</td></tr>\r\n"
                         "<tr><td>Serial Number:</td><td>FM500123</td></tr>\r\n"
                         "</table></html>";

class HttpExchangeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(initSocketLibrary());
        state.digest = DigestChallenge{};
        state.deviceInfo = DeviceInfo{};
        seedRandom(1);
    }

    // The byte count, or -1 for a usable challenge.
    static int exchange(const LoopbackHttpServer& server, const char* path = "/admin/advanced") {
        const HttpResult result =
            exchangeFrom(kLoopbackAddress, server.port(), path, state.responseBuffer);
        EXPECT_TRUE(result.outcome == HttpOutcome::answered ||
                    result.outcome == HttpOutcome::challenged);
        return result.outcome == HttpOutcome::challenged ? -1 : result.received;
    }

    static void setDeviceInfo(const char* text) {
        DeviceInfo& info = state.deviceInfo;
        for (char* field : {info.deviceProductName, info.macAddress, info.softwareVersion,
                            info.hardwareVersion, info.serialNumber})
            copyText(std::span(field, sizeof info.macAddress), text);
    }

    static void expectDeviceInfoUnchanged(const char* text) {
        const DeviceInfo& info = state.deviceInfo;
        EXPECT_STREQ(info.deviceProductName, text);
        EXPECT_STREQ(info.macAddress, text);
        EXPECT_STREQ(info.softwareVersion, text);
        EXPECT_STREQ(info.hardwareVersion, text);
        EXPECT_STREQ(info.serialNumber, text);
    }
};

// ---- Requests on the wire -------------------------------------------------------------------

TEST_F(HttpExchangeTest, ChallengeThenAuthorizedRequestsCountUp) {
    LoopbackHttpServer server({kChallenge, kPage, "HTTP/1.1 200 OK\r\n\r\n"});
    ASSERT_NE(server.port(), 0);

    // Without a password: request line, Host line, blank line, nothing else.
    EXPECT_EQ(exchange(server), -1);
    EXPECT_EQ(state.digest.nonceCount, 0u);
    EXPECT_STREQ(state.digest.realm, "TOV");
    EXPECT_STREQ(state.digest.cnonce, "29");
    EXPECT_STREQ(state.deviceInfo.deviceProductName, "");

    copyText(state.digest.userName, "admin");
    copyText(state.digest.password, "secret");
    const int pageBytes = exchange(server);
    EXPECT_EQ(pageBytes, static_cast<int>(std::strlen(kPage)));
    EXPECT_EQ(state.digest.nonceCount, 1u);
    EXPECT_STREQ(state.responseBuffer, kPage);

    // The next request is authorized pre-emptively from the stored challenge.
    EXPECT_GT(exchange(server, "/admin/upgrade?tftp://127.0.0.1:69/tov29.bin"), 0);
    EXPECT_EQ(state.digest.nonceCount, 2u);

    const std::vector<std::string> requests = server.finish();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], "GET /admin/advanced HTTP/1.1\r\nHost: 192.168.2.110\r\n\r\n");
    // Digests computed independently with Python's hashlib.
    EXPECT_EQ(requests[1], "GET /admin/advanced HTTP/1.1\r\n"
                           "Host: 192.168.2.110\r\n"
                           "Authorization: Digest username=\"admin\",realm=\"TOV\",nonce=\"n1\","
                           "uri=\"\",algorithm=\"\",response=\"3ba42f8b022741eb47733e5867c4fcf1\","
                           "qop=auth,nc=000000001,cnonce=\"29\"\r\n"
                           "\r\n");
    EXPECT_EQ(requests[2], "GET /admin/upgrade?tftp://127.0.0.1:69/tov29.bin HTTP/1.1\r\n"
                           "Host: 192.168.2.110\r\n"
                           "Authorization: Digest username=\"admin\",realm=\"TOV\",nonce=\"n1\","
                           "uri=\"\",algorithm=\"\",response=\"586cf57341196dad9d925576f68b714d\","
                           "qop=auth,nc=000000002,cnonce=\"29\"\r\n"
                           "\r\n");
}

TEST_F(HttpExchangeTest, NoPasswordLeavesTheCountAlone) {
    LoopbackHttpServer server({"HTTP/1.1 200 OK\r\n\r\n"});
    ASSERT_NE(server.port(), 0);
    copyText(state.digest.userName, "admin");
    state.digest.nonceCount = 7;
    EXPECT_EQ(exchange(server), 19);
    EXPECT_EQ(state.digest.nonceCount, 7u);
    EXPECT_EQ(server.finish().at(0), "GET /admin/advanced HTTP/1.1\r\nHost: 192.168.2.110\r\n\r\n");
}

// ---- Classification and what it leaves behind --------------------------------------------

TEST_F(HttpExchangeTest, ChallengeWithoutNonceIsNeverThePage) {
    const std::string answer = "HTTP/1.1 401 Unauthorized\r\n"
                               "WWW-Authenticate: Digest realm=\"TOV\"\r\n\r\n"
                               "<td>MAC Address:</td><td>00:0E:08:AA:BB:CC</td>";
    LoopbackHttpServer server({answer});
    ASSERT_NE(server.port(), 0);
    setDeviceInfo("old");
    const HttpResult result =
        exchangeFrom(kLoopbackAddress, server.port(), "/admin/advanced", state.responseBuffer);
    EXPECT_EQ(result.outcome, HttpOutcome::authUnsupported);
    EXPECT_EQ(result.received, static_cast<int>(answer.size()));
    EXPECT_EQ(result.status, 401);
    expectDeviceInfoUnchanged("old");
}

TEST_F(HttpExchangeTest, InterimAnswerIsSkippedForTheFinalOne) {
    const std::string final = "HTTP/1.1 403 Forbidden\r\n\r\n<td>Serial Number:</td><td>S</td>";
    LoopbackHttpServer server({"HTTP/1.1 100 Continue\r\n\r\n" + final});
    ASSERT_NE(server.port(), 0);
    const HttpResult result =
        exchangeFrom(kLoopbackAddress, server.port(), "/admin/advanced", state.responseBuffer);
    EXPECT_EQ(result.outcome, HttpOutcome::answered);
    EXPECT_EQ(result.status, 403);
    EXPECT_EQ(std::string(state.responseBuffer), final);
    EXPECT_STREQ(state.deviceInfo.serialNumber, "S");
}

TEST_F(HttpExchangeTest, UsableChallengeLeavesDeviceInfoUntouched) {
    LoopbackHttpServer server({kChallenge});
    ASSERT_NE(server.port(), 0);
    setDeviceInfo("old");
    EXPECT_EQ(exchange(server), -1);
    expectDeviceInfoUnchanged("old");
}

TEST_F(HttpExchangeTest, AnyAnsweredPageFillsDeviceInfo) {
    const std::string http10 = std::string("HTTP/1.0 200 OK") + std::strchr(kPage, '\r');
    const std::string notFound = "HTTP/1.1 404 Not Found\r\n\r\n"
                                 "<td>Software Version:</td><td>9.9.9</td>";
    LoopbackHttpServer server({http10, notFound});
    ASSERT_NE(server.port(), 0);

    EXPECT_EQ(exchange(server), static_cast<int>(http10.size()));
    const DeviceInfo& info = state.deviceInfo;
    EXPECT_STREQ(info.deviceProductName, "TOV-3000");
    EXPECT_STREQ(info.macAddress, "00:0E:08:12:34:56");
    EXPECT_STREQ(info.softwareVersion, "2.0.9(d)");
    EXPECT_STREQ(info.hardwareVersion, "1.1");
    EXPECT_STREQ(info.serialNumber, "FM500123");

    // Only the label the 404 page carries changes.
    EXPECT_EQ(exchange(server), static_cast<int>(notFound.size()));
    EXPECT_STREQ(info.softwareVersion, "9.9.9");
    EXPECT_STREQ(info.deviceProductName, "TOV-3000");
    EXPECT_STREQ(info.serialNumber, "FM500123");
}

TEST_F(HttpExchangeTest, DeviceClosingWithoutAByteGivesZero) {
    LoopbackHttpServer server({""});
    ASSERT_NE(server.port(), 0);
    setDeviceInfo("old");
    EXPECT_EQ(exchange(server), 0);
    expectDeviceInfoUnchanged("old");
    EXPECT_EQ(server.finish().size(), 1u);
}

// ---- The buffer cap ---------------------------------------------------------------------------

std::string answerOfSize(std::size_t size) {
    std::string answer = "HTTP/1.1 200 OK\r\n\r\n<td>Serial Number:</td><td>SN42</td>";
    for (std::size_t i = answer.size(); i < size; ++i)
        answer.push_back(static_cast<char>('a' + i % 26));
    return answer;
}

TEST_F(HttpExchangeTest, AnswerOfExactlyTheCapacityFillsTheBuffer) {
    const std::string answer = answerOfSize(kResponseCapacity);
    LoopbackHttpServer server({answer});
    ASSERT_NE(server.port(), 0);
    std::memset(state.responseBuffer, 'x', sizeof state.responseBuffer);

    EXPECT_EQ(exchange(server), kResponseCapacity);
    EXPECT_EQ(std::string_view(state.responseBuffer, kResponseCapacity), answer);
    EXPECT_EQ(state.responseBuffer[kResponseCapacity], '\0');
    EXPECT_STREQ(state.deviceInfo.serialNumber, "SN42");
}

TEST_F(HttpExchangeTest, LongerAnswerIsCutAtTheCapacity) {
    const std::string answer = answerOfSize(kResponseCapacity + 5000);
    LoopbackHttpServer server({answer});
    ASSERT_NE(server.port(), 0);
    std::memset(state.responseBuffer, 'x', sizeof state.responseBuffer);

    EXPECT_EQ(exchange(server), kResponseCapacity);
    EXPECT_EQ(std::string_view(state.responseBuffer, kResponseCapacity),
              std::string_view(answer).substr(0, kResponseCapacity));
    EXPECT_EQ(state.responseBuffer[kResponseCapacity], '\0');
}

TEST_F(HttpExchangeTest, SmallCapacityStaysInsideTheBuffer) {
    // A caller granting 60 bytes: the answer stops there, the zero right after it.
    LoopbackHttpServer server({answerOfSize(200)});
    ASSERT_NE(server.port(), 0);
    char buffer[68];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(
        exchangeFrom(kLoopbackAddress, server.port(), "/admin/advanced", std::span(buffer, 61))
            .received,
        60);
    EXPECT_EQ(std::string_view(buffer, 60), answerOfSize(200).substr(0, 60));
    EXPECT_EQ(buffer[60], '\0');
    EXPECT_EQ(std::string(buffer + 61, 7), "xxxxxxx");
}

// ---- Connection set-up ------------------------------------------------------------------------

TEST_F(HttpExchangeTest, BindMovesToTheNextPortWhenTaken) {
    // An address of its own, so nothing else on the machine holds these ports.
    constexpr std::uint32_t kLocal = 0x7f000007; // 127.0.0.7
    SocketGuard holder(openTcpSocket());
    ASSERT_TRUE(bindSocket(holder.get(), kLocal, kLocalPort));

    // While the exchange is connected, the port after the taken one is its own.
    bool nextPortTaken = false;
    bool portAfterFree = false;
    LoopbackHttpServer server({"HTTP/1.1 200 OK\r\n\r\n"}, [&] {
        SocketGuard probe(openTcpSocket());
        nextPortTaken = !bindSocket(probe.get(), kLocal, kLocalPort + 1);
        SocketGuard probe2(openTcpSocket());
        portAfterFree = bindSocket(probe2.get(), kLocal, kLocalPort + 2);
    });
    ASSERT_NE(server.port(), 0);
    EXPECT_EQ(exchangeFrom(kLocal, server.port(), "/admin/advanced", state.responseBuffer).received,
              19);
    server.finish();
    EXPECT_TRUE(nextPortTaken);
    EXPECT_TRUE(portAfterFree);
}

TEST_F(HttpExchangeTest, ConnectionRefusedIsReported) {
    // A bound port with no listener refuses the connection.
    std::uint16_t port = 0;
    SocketGuard closedPort(bindFreeLoopbackPort(port));
    ASSERT_NE(closedPort.get(), kInvalidSocket);
    setDeviceInfo("before");
    const HttpResult result =
        exchangeFrom(kLoopbackAddress, port, "/admin/advanced", state.responseBuffer);
    EXPECT_EQ(result.outcome, HttpOutcome::cannotConnect);
    EXPECT_EQ(result.received, 0);
    expectDeviceInfoUnchanged("before");
}

TEST_F(HttpExchangeTest, AllHundredAndOnePortsTakenIsABindFailure) {
    constexpr std::uint32_t kLocal = 0x7f000008; // 127.0.0.8
    std::deque<SocketGuard> holders;
    for (int i = 0; i <= 100; ++i) {
        holders.emplace_back(openTcpSocket());
        bindSocket(holders.back().get(), kLocal, static_cast<std::uint16_t>(kLocalPort + i));
    }
    HttpOutcome failure = HttpOutcome::answered;
    EXPECT_EQ(openDeviceConnection({kLocal, kLocalPort, kLoopbackAddress, 1}, failure),
              kInvalidSocket);
    EXPECT_EQ(failure, HttpOutcome::cannotBindSocket);
}

#ifndef _WIN32
TEST(HttpExchangeDeathTest, NoSocketIsReported) {
    const auto exhaustAndConnect = [] {
        // A small descriptor limit, filled up, so no socket can be created.
        const rlimit few{32, 32};
        setrlimit(RLIMIT_NOFILE, &few);
        for (int i = 0; i < 32 && openTcpSocket() != kInvalidSocket; ++i) {
        }
        HttpOutcome failure = HttpOutcome::answered;
        const SocketHandle socket =
            openDeviceConnection({kLoopbackAddress, kLocalPort, kLoopbackAddress, 1}, failure);
        std::fprintf(stderr, "socket %s, cannot open %s\n",
                     socket == kInvalidSocket ? "none" : "made",
                     failure == HttpOutcome::cannotOpenSocket ? "yes" : "no");
        std::fflush(stderr);
        std::_Exit(0); // no static destructors in the death test's child
    };
    EXPECT_EXIT(exhaustAndConnect(), ::testing::ExitedWithCode(0), "socket none, cannot open yes");
}
#endif

TEST_F(HttpExchangeTest, HundredPortsTakenStillConnects) {
    constexpr std::uint32_t kLocal = 0x7f000009; // 127.0.0.9
    std::deque<SocketGuard> holders;
    for (int i = 0; i < 100; ++i) {
        holders.emplace_back(openTcpSocket());
        ASSERT_TRUE(
            bindSocket(holders.back().get(), kLocal, static_cast<std::uint16_t>(kLocalPort + i)));
    }
    LoopbackHttpServer server({"HTTP/1.1 200 OK\r\n\r\n"});
    ASSERT_NE(server.port(), 0);
    EXPECT_EQ(exchangeFrom(kLocal, server.port(), "/admin/advanced", state.responseBuffer).received,
              19);
}

// ---- Classification of the response text ---------------------------------------------------

TEST_F(HttpExchangeTest, ClassificationOfStatusLines) {
    const std::string challenge = "WWW-Authenticate: Digest realm=\"TOV\", nonce=\"n1\"\r\n\r\n";
    EXPECT_TRUE(classify(("HTTP/1.1 401 Unauthorized\r\n" + challenge).c_str()));
    EXPECT_TRUE(classify(("HTTP/1.1\t401\r\n" + challenge).c_str()));
    EXPECT_TRUE(classify(("HTTP/1.1  \t 401\r\n" + challenge).c_str()));
    // Header names are matched in any letter case.
    EXPECT_TRUE(
        classify("HTTP/1.1 401\r\nwww-authenticate: Digest realm=\"TOV\", nonce=\"n1\"\r\n\r\n"));
    // The header counts only in the head: a body cannot pose as a challenge.
    EXPECT_FALSE(classify(("HTTP/1.1 401\r\n\r\n<p>" + challenge).c_str()));

    EXPECT_FALSE(classify(("HTTP/1.0 401 Unauthorized\r\n" + challenge).c_str()));
    EXPECT_FALSE(classify(("http/1.1 401 Unauthorized\r\n" + challenge).c_str()));
    EXPECT_FALSE(classify(("HTTP/1.1 200 OK\r\n" + challenge).c_str()));
    EXPECT_FALSE(classify(("HTTP/1.1 403 Forbidden\r\n" + challenge).c_str()));
    EXPECT_FALSE(classify(("HTTP/1.1 40\r\n" + challenge).c_str()));
    EXPECT_FALSE(classify("HTTP/1.1 401 Unauthorized\r\n\r\n"));
    EXPECT_FALSE(classify(""));
    EXPECT_FALSE(classify("HTTP/1.1 401"));
}

TEST_F(HttpExchangeTest, OnlyADigestChallengeOfMd5IsAnswered) {
    const auto kind = [](const std::string& headers) {
        return classifyAnswer(("HTTP/1.1 401 Unauthorized\r\n" + headers + "\r\n").c_str(),
                              state.digest);
    };
    EXPECT_EQ(kind("WWW-Authenticate: Basic realm=\"TOV\"\r\n"), AnswerKind::unanswerableChallenge);
    EXPECT_EQ(kind(""), AnswerKind::unanswerableChallenge);
    EXPECT_EQ(
        kind("WWW-Authenticate: Digest realm=\"TOV\", nonce=\"n1\", algorithm=\"SHA-256\"\r\n"),
        AnswerKind::unanswerableChallenge);
    // A scheme word inside a quoted value is no challenge.
    EXPECT_EQ(kind("WWW-Authenticate: Basic realm=\"x, Digest realm=\", nonce=\"n1\"\r\n"),
              AnswerKind::unanswerableChallenge);
    EXPECT_STREQ(state.digest.nonce, "");

    // The Digest challenge's own values, whatever precedes it.
    EXPECT_EQ(
        kind("WWW-Authenticate: Basic realm=\"basic\"\r\n"
             "WWW-Authenticate: digest realm=\"TOV\", nonce=\"n1\", qop=\"auth-int,auth\"\r\n"),
        AnswerKind::challenge);
    EXPECT_STREQ(state.digest.realm, "TOV");
    EXPECT_STREQ(state.digest.qop, "auth");
    EXPECT_EQ(kind("WWW-Authenticate: Basic realm=\"basic\", Digest realm=\"TOV2\", nonce=\"n2\", "
                   "algorithm=\"md5-sess\"\r\n"),
              AnswerKind::challenge);
    EXPECT_STREQ(state.digest.realm, "TOV2");
    EXPECT_STREQ(state.digest.algorithm, "md5-sess");
}

TEST_F(HttpExchangeTest, ShortStatusLineStaysInsideTheText) {
    // The text ends right after the version; what lies beyond its zero must not be read.
    static constexpr char kText[] =
        "HTTP/1.1\0"
        "401\r\nWWW-Authenticate: Digest realm=\"TOV\", nonce=\"beyond\"\r\n";
    EXPECT_FALSE(classify(kText));
    EXPECT_STREQ(state.digest.nonce, "");
    EXPECT_FALSE(classify("HTTP/1.1 \t "));
}

TEST_F(HttpExchangeTest, ChallengeIsReadFromTheHeaderOnward) {
    ASSERT_TRUE(classify("HTTP/1.1 401 Unauthorized\r\n"
                         "X-Note: realm=\"decoy\" nonce=\"decoy\"\r\n"
                         "WWW-Authenticate: Digest realm=\"TOV\", nonce=\"n1\"\r\n\r\n"));
    EXPECT_STREQ(state.digest.realm, "TOV");
    EXPECT_STREQ(state.digest.nonce, "n1");
}

// ---- Value extraction -----------------------------------------------------------------------

struct Extraction {
    bool written;
    std::string value;
};

Extraction extract(const char* page, const char* label = "Product Name:") {
    char dest[200];
    std::memset(dest, '#', sizeof dest);
    copyText(dest, "previous");
    const bool written = extractPageValue(page, label, dest, 127);
    EXPECT_EQ(dest[sizeof dest - 1], '#') << "wrote past the limit";
    return {written, dest};
}

TEST(ExtractPageValue, StepsOverTagsToTheFirstText) {
    EXPECT_EQ(extract("<td>Product Name:</td><td>X1</td>").value, "X1");
    EXPECT_EQ(extract("<td>Product Name:</td><td></td><td>X</td>").value, "X");
    EXPECT_EQ(extract("<td>Product Name: 123<br>456</td>").value, "456");
    EXPECT_EQ(extract("<td>Product Name:</td><td>tail to the end").value, "tail to the end");
    // Copied verbatim: blanks, line breaks and references stay.
    EXPECT_EQ(extract("Product Name:</td><td> A &amp; B\r\n</td>").value, " A &amp; B\r\n");
    // The first occurrence of the label wins, matched case-sensitively with its colon.
    EXPECT_EQ(extract("product name:<b>no</b>Product Name<b>no</b>Product Name:<b>yes</b>"
                      "Product Name:<b>later</b>")
                  .value,
              "yes");
}

TEST(ExtractPageValue, EdgesOfTheText) {
    const Extraction atEnd = extract("<td>Product Name:>");
    EXPECT_TRUE(atEnd.written);
    EXPECT_EQ(atEnd.value, "");

    const Extraction tagsToTheEnd = extract("Product Name:</td><td><b>");
    EXPECT_TRUE(tagsToTheEnd.written);
    EXPECT_EQ(tagsToTheEnd.value, "");

    const Extraction openTag = extract("Product Name:</td><td><b");
    EXPECT_FALSE(openTag.written);
    EXPECT_EQ(openTag.value, "previous");

    const Extraction noTag = extract("Product Name: TOV-3000");
    EXPECT_FALSE(noTag.written);
    EXPECT_EQ(noTag.value, "previous");

    const Extraction missing = extract("<td>MAC Address:</td><td>1</td>");
    EXPECT_FALSE(missing.written);
    EXPECT_EQ(missing.value, "previous");
}

TEST(ExtractPageValue, LongValueIsCutAt127) {
    const std::string value(200, 'v');
    const Extraction cut =
        extract(("<td>Serial Number:</td><td>" + value + "</td>").c_str(), "Serial Number:");
    EXPECT_TRUE(cut.written);
    EXPECT_EQ(cut.value, value.substr(0, 127));
    EXPECT_EQ(extract(("Serial Number:<td>" + value.substr(0, 127) + "<").c_str(), "Serial Number:")
                  .value,
              value.substr(0, 127));
}

} // namespace
