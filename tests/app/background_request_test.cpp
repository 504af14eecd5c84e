// SPDX-License-Identifier: MIT
// The request runner against a small device of the test's own: one attempt when no password is
// demanded, the password prompt, the silent repetition on a fresh nonce, and the ends by Cancel.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "app/background_request.h"
#include "base/random.h"
#include "base/text.h"
#include "loopback_http_server.h"
#include "scripted_ui.h"
#include "ui/dialog_logic.h"

namespace {

constexpr char kPage[] = "HTTP/1.1 200 OK\r\n\r\n<td>Software Version:</td><td>2.0.9</td>";

std::string challenge(const char* nonce) {
    return std::string("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"TOV\", "
                       "nonce=\"") +
           nonce + "\", qop=\"auth\"\r\n\r\n";
}

// The state the runner is handed, as the upgrade sequence hands it its own.
DigestChallenge digest;
DeviceInfo deviceInfo;

class BackgroundRequestTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(initSocketLibrary());
        digest = DigestChallenge{};
        deviceInfo = DeviceInfo{};
        seedRandom(1);
        resetScriptedUi();
    }

    // Each prompt answers with the next password of the list.
    void answerPasswords(std::vector<std::string> passwords) {
        auto queue = std::make_shared<std::deque<std::string>>(passwords.begin(), passwords.end());
        scriptedUi().password = [queue](Credentials& credentials) {
            if (queue->empty())
                return false;
            storeCredentials("admin", queue->front(), credentials);
            queue->pop_front();
            return true;
        };
    }

    static RequestResult requestFrom(std::uint16_t port) {
        const DeviceRequest request{{kLoopbackAddress, kHttpLocalPort, kLoopbackAddress, port},
                                    "/admin/advanced",
                                    {ProgressKind::connecting, ""}};
        return runBackgroundRequest(request, digest, deviceInfo);
    }
    // The byte count of an answered request.
    static int request(const LoopbackHttpServer& server) {
        const RequestResult result = requestFrom(server.port());
        EXPECT_EQ(result.status, RequestStatus::answered);
        return result.received;
    }
    static void giveCredentials(const char* userName, const char* password) {
        copyText(digest.userName, userName);
        copyText(digest.password, password);
    }

    static long countEvents(const std::string& line) {
        const auto events = uiEvents();
        return std::count(events.begin(), events.end(), line);
    }
};

bool carriesCredentials(const std::string& request, const char* nc) {
    return request.find("Authorization: Digest username=\"admin\"") != std::string::npos &&
           request.find(std::string("nc=") + nc) != std::string::npos;
}

TEST_F(BackgroundRequestTest, NoPasswordDemandedMeansOneAttemptAndNoPrompt) {
    LoopbackHttpServer server({kPage});
    EXPECT_EQ(request(server), static_cast<int>(sizeof kPage - 1));
    EXPECT_EQ(server.finish().size(), 1u);
    EXPECT_EQ(countEvents("dialog: password"), 0);
    EXPECT_EQ(countEvents("open: connecting"), 1);
    EXPECT_EQ(countEvents("destroy: connecting"), 1);
    EXPECT_STREQ(deviceInfo.softwareVersion, "2.0.9");
}

TEST_F(BackgroundRequestTest, ChallengeBeforeAnyPasswordPromptsThenRepeats) {
    answerPasswords({"secret"});
    LoopbackHttpServer server({challenge("n1"), kPage});
    EXPECT_GT(request(server), 0);
    const auto requests = server.finish();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].find("Authorization"), std::string::npos);
    EXPECT_TRUE(carriesCredentials(requests[1], "000000001"));
    EXPECT_EQ(countEvents("dialog: password"), 1);
    EXPECT_EQ(countEvents("open: connecting"), 2); // a window of its own for each attempt
}

TEST_F(BackgroundRequestTest, RefusedPasswordPromptsAgainAsOftenAsTheUserTries) {
    answerPasswords({"wrong1", "wrong2", "secret"});
    LoopbackHttpServer server({challenge("n1"), challenge("n1"), challenge("n1"), kPage});
    EXPECT_GT(request(server), 0);
    const auto requests = server.finish();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_TRUE(carriesCredentials(requests[1], "000000001"));
    EXPECT_TRUE(carriesCredentials(requests[2], "000000002"));
    EXPECT_TRUE(carriesCredentials(requests[3], "000000003"));
    EXPECT_EQ(countEvents("dialog: password"), 3);
}

TEST_F(BackgroundRequestTest, FreshNonceEarnsOneSilentRepetitionOnly) {
    answerPasswords({"secret", "secret", "secret"});
    // Prompted once; then the device changes its nonce: one repetition without asking; it
    // changes it again straight away: now the user is asked.
    LoopbackHttpServer server(
        {challenge("n1"), challenge("n2"), challenge("n3"), challenge("n3"), kPage});
    // The fourth answer repeats n3, so the credentials under n3 were refused: prompt again.
    EXPECT_GT(request(server), 0);
    const auto requests = server.finish();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_TRUE(carriesCredentials(requests[1], "000000001")); // after the first prompt
    EXPECT_TRUE(carriesCredentials(requests[2], "000000001")); // silent, under n2
    EXPECT_TRUE(carriesCredentials(requests[3], "000000001")); // after the second prompt, n3
    EXPECT_TRUE(carriesCredentials(requests[4], "000000002")); // after the third prompt
    EXPECT_EQ(countEvents("dialog: password"), 3);
}

TEST_F(BackgroundRequestTest, KnownPasswordAndFreshNonceRepeatsWithoutAsking) {
    giveCredentials("admin", "secret");
    digest.nonceCount = 4; // credentials in use under an older nonce
    LoopbackHttpServer server({challenge("n9"), kPage});
    EXPECT_GT(request(server), 0);
    ASSERT_EQ(server.finish().size(), 2u);
    EXPECT_EQ(countEvents("dialog: password"), 0);
}

TEST_F(BackgroundRequestTest, EmptyPasswordSendsNoCredentialsAndPromptsAgain) {
    answerPasswords({"", "secret"});
    LoopbackHttpServer server({challenge("n1"), challenge("n1"), kPage});
    EXPECT_GT(request(server), 0);
    const auto requests = server.finish();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].find("Authorization"), std::string::npos);
    EXPECT_TRUE(carriesCredentials(requests[2], "000000001"));
    EXPECT_EQ(countEvents("dialog: password"), 2);
}

TEST_F(BackgroundRequestTest, NoAnswerIsReturnedAsZero) {
    LoopbackHttpServer server({""});
    EXPECT_EQ(request(server), 0);
}

TEST_F(BackgroundRequestTest, RequestsFromTwoThreadsNeverOverlap) {
    // The upgrade request (main thread) is slow to finish; the closing request of the transfer
    // (TFTP thread) must not start its exchange until it has, as both share one buffer.
    std::atomic<bool> firstClosed{false};
    std::atomic<bool> secondSawFirstOpen{false};
    LoopbackHttpServer slow({kPage}, [&firstClosed] {
        sleepMilliseconds(300);
        firstClosed = true;
    });
    LoopbackHttpServer quick({kPage}, [&firstClosed, &secondSawFirstOpen] {
        if (!firstClosed)
            secondSawFirstOpen = true;
    });
    std::thread first([&slow] { request(slow); });
    sleepMilliseconds(50); // the first exchange is under way
    std::thread second([&quick] { request(quick); });
    first.join();
    second.join();
    EXPECT_EQ(slow.finish().size(), 1u);
    EXPECT_EQ(quick.finish().size(), 1u);
    EXPECT_FALSE(secondSawFirstOpen);
}

TEST_F(BackgroundRequestTest, CancelledPasswordPromptIsACancel) {
    // Credentials already in use under the device's current nonce: a refusal asks the user.
    giveCredentials("admin", "old");
    std::strcpy(digest.lastNonce, "n1");
    std::strcpy(digest.nonce, "n1");
    digest.nonceCount = 1;
    scriptedUi().password = [](Credentials&) { return false; };
    LoopbackHttpServer server({challenge("n1")});
    const RequestResult result = requestFrom(server.port());
    EXPECT_EQ(result.status, RequestStatus::cancelled);
    EXPECT_TRUE(result.atPasswordPrompt);
    EXPECT_TRUE(result.passwordRefused);  // "old" went out and was answered with a challenge
    EXPECT_STREQ(digest.password, "old"); // the earlier credentials stay
}

TEST_F(BackgroundRequestTest, CancelWhileTheDeviceNeverAnswersEndsTheWaitAtOnce) {
    // A device that takes the connection and never answers: the worker stays in its read.
    std::uint16_t port = 0;
    SocketGuard silent(bindFreeLoopbackPort(port));
    listenSocket(silent.get(), 1);
    int polls = 0;
    scriptedUi().cancelProgress = [&polls](ProgressKind kind) {
        return kind == ProgressKind::connecting && ++polls == 20;
    };
    EXPECT_EQ(requestFrom(port).status, RequestStatus::cancelled);
    const auto events = uiEvents();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[events.size() - 2], "cancel: connecting");
    EXPECT_EQ(events.back(), "destroy: connecting");
}

} // namespace
