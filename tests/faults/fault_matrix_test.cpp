// SPDX-License-Identifier: MIT
// The fault matrix: every fault option of the simulated device, the exhausted port ranges, a
// refused connection, over-long and hostile answers, and Cancel at each window, each asserting
// what the user sees (exact texts), the exit status 0 and the bytes the device stored.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "platform/platform.h"
#include "scenario.h"
#include "scripted_ui.h"
#include "ui/dialog_logic.h"

namespace {

const std::string kUploaded =
    "title: uploading: Uploading Firmware to TOV@127.0.0.2 725912/725912 Bytes";
const std::string kSettling = "title: uploading: Updating Firmware to TOV@127.0.0.2";
const std::string kConfirmTitle = "confirm title: Confirm Upgrade to Ver. 2.0.10(e)";
const std::string kCannotAuthenticate =
    "Upgrade Failed: TOV asks for an authentication this program cannot give";
const std::string kConfirmShows = "confirm shows: serial=FM2000A123456 mac=00:0E:08:12:34:56 "
                                  "software=2.0.9(a) hardware=1.2 product=TOV-2000";
// On the scaled clock the settling wait lasts 1.6 s: the device finishes its TFTP dally and its
// restart well within it.
const std::vector<std::string> kQuickDevice = {"--tftp-timeout-ms", "500", "--restart-ms", "100"};

Scenario withSim(std::vector<std::string> args) {
    Scenario s;
    s.simArgs = kQuickDevice;
    s.simArgs.insert(s.simArgs.end(), args.begin(), args.end());
    return s;
}

Scenario withoutDevice() {
    Scenario s;
    s.startSim = false;
    return s;
}

Scenario withOwnDevice(std::vector<std::string> answers) {
    Scenario s;
    s.startSim = false;
    s.ownDeviceAnswers = std::move(answers);
    return s;
}

void expectEndedCleanly(const Outcome& o) {
    EXPECT_TRUE(o.exited) << "the program did not end by itself";
    EXPECT_EQ(o.exitStatus, 0);
}

// The device got the whole image, byte for byte, and installed it.
void expectImageStored(const Outcome& o) {
    ASSERT_TRUE(o.stored) << "the device stored no image";
    EXPECT_TRUE(o.storedImage == carriedImage())
        << "stored " << o.storedImage.size() << " bytes, carried " << carriedImage().size();
    EXPECT_EQ(o.deviceEvents("tftp_end", {"\"complete\":true", "\"bytes\":725912"}).size(), 1u);
    EXPECT_EQ(o.deviceEvents("image_check", {"\"accepted\":true"}).size(), 1u);
}

void expectNothingStored(const Outcome& o) {
    EXPECT_FALSE(o.stored) << "the device stored an image";
    EXPECT_TRUE(o.deviceEvents("image_check").empty());
}

// A whole upgrade: the transfer shown complete, the settling caption, the success dialog with
// the version the device now reports, no error box.
void expectSuccess(const Outcome& o) {
    expectEndedCleanly(o);
    EXPECT_TRUE(o.errors().empty()) << "error box: " << o.errors().front();
    EXPECT_TRUE(o.saw(kConfirmTitle));
    EXPECT_TRUE(o.saw(kUploaded));
    EXPECT_TRUE(o.saw(kSettling));
    EXPECT_TRUE(o.saw("dialog: success"));
    EXPECT_TRUE(o.saw("success title: TOV@127.0.0.2 Upgrade Successful!"));
    EXPECT_TRUE(o.saw("success shows: 2.0.10(e)"));
    expectImageStored(o);
}

// Exactly one error box, with this text, and no success. Another try is never offered once the
// device may have been told to fetch the image.
void expectFailure(const Outcome& o, const std::string& text) {
    expectEndedCleanly(o);
    EXPECT_EQ(o.errors(), std::vector<std::string>{text});
    EXPECT_FALSE(o.saw("dialog: success"));
    if (o.saw("offer: try-again")) {
        EXPECT_FALSE(o.saw("open: waiting"));
        EXPECT_TRUE(o.deviceEvents("upgrade_request").empty());
    }
}

// Cancel in a progress window of this kind once `when` holds at one of its message calls.
void cancelWhen(ProgressKind kind, std::function<bool()> when) {
    scriptedUi().cancelProgress = [kind, when](ProgressKind k) { return k == kind && when(); };
}

// Cancel in a progress window of this kind after `calls` of its message-handling calls.
void cancelAfter(ProgressKind kind, int calls) {
    auto count = std::make_shared<int>(0);
    cancelWhen(kind, [count, calls] { return ++*count > calls; });
}

// An answer of exactly `total` bytes: status line, head, filler, tail.
std::string longAnswer(std::size_t total, const std::string& head, const std::string& tail) {
    std::string page = "HTTP/1.1 200 OK\r\n\r\n" + head;
    page.append(total - page.size() - tail.size(), 'x');
    return page + tail;
}

int connections(const Outcome& o) {
    return static_cast<int>(o.deviceEvents("http_connection").size());
}

// The settling wait, seen from the device: from the end of its transfer (after its dally) to
// the program's closing request.
long settlingGap(const Outcome& o) {
    const auto ends = o.deviceEvents("tftp_end");
    const auto conns = o.deviceEvents("http_connection");
    if (ends.empty() || conns.empty())
        return -1;
    return Outcome::eventTime(conns.back()) - Outcome::eventTime(ends.front());
}

void answerPassword(std::vector<std::string> passwords) {
    auto next = std::make_shared<std::size_t>(0);
    scriptedUi().password = [passwords, next](Credentials& credentials) {
        if (*next >= passwords.size())
            return false; // Cancel
        storeCredentials("admin", passwords[(*next)++], credentials);
        return true;
    };
}

// The connections of the closing request and its repetitions: every one after the upgrade
// request's.
std::vector<std::string> closingConnections(const Outcome& o) {
    auto all = o.deviceEvents("http_connection");
    all.erase(all.begin(),
              all.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(all.size(), 2)));
    return all;
}

int shownCount(const std::string& prefix) {
    int n = 0;
    for (const std::string& line : uiEvents())
        n += line.rfind(prefix, 0) == 0;
    return n;
}

} // namespace

// ---- the device's own behaviour ------------------------------------------------------------

TEST(Faults, CompleteUpgradeWithoutPassword) {
    const Outcome o = runScenario(withSim({}));
    expectSuccess(o);
    EXPECT_TRUE(o.saw(kConfirmShows));
    EXPECT_EQ(o.count("dialog: password"), 0);
    EXPECT_EQ(o.errors().size(), 0u);
    // 1,562 ticks of the program's 32 ms (scaled: 1.56 s), less the device's 0.5 s dally; without
    // the wait the closing request would come before the dally ends (a negative gap).
    EXPECT_GE(settlingGap(o), 500);
    EXPECT_LE(settlingGap(o), 6000);
    EXPECT_EQ(connections(o), 3);
}

TEST(Faults, PasswordAskedOnceAndSentWithEveryRequest) {
    const Outcome o = runScenario(withSim({"--password", "secret", "--qop", "auth", "--algorithm",
                                           "MD5-sess", "--opaque", "op4que"}));
    expectSuccess(o);
    EXPECT_EQ(o.count("dialog: password"), 1);
    EXPECT_EQ(o.deviceEvents("auth", {"\"accepted\":true"}).size(), 3u);
}

TEST(Faults, RefusedPasswordIsAskedForAgain) {
    Scenario s = withSim({"--password", "secret"});
    s.prepare = [] { answerPassword({"wrong", "also wrong", "secret"}); };
    const Outcome o = runScenario(s);
    expectSuccess(o);
    EXPECT_EQ(o.count("dialog: password"), 3);
    // None, wrong, also wrong; then the restarted device's fresh nonce at the closing request,
    // which is retried without asking.
    EXPECT_EQ(o.deviceEvents("auth", {"\"accepted\":false"}).size(), 4u);
}

TEST(Faults, NonceKeptAcrossTheRestartCountsOn) {
    const Outcome o =
        runScenario(withSim({"--password", "secret", "--qop", "auth", "--keep-nonce-on-restart"}));
    expectSuccess(o);
    EXPECT_EQ(o.count("dialog: password"), 1);
    EXPECT_EQ(o.deviceEvents("auth", {"\"accepted\":true", "\"nc\":\"000000003\""}).size(), 1u);
}

TEST(Faults, FreshNonceIsRetriedWithoutAsking) {
    const Outcome o = runScenario(withSim({"--password", "secret", "--nonce-uses", "1"}));
    expectSuccess(o);
    EXPECT_EQ(o.count("dialog: password"), 1);
}

TEST(Faults, CancelledPasswordPromptAbortsBeforeAnything) {
    Scenario s = withSim({"--password", "secret"});
    s.prepare = [] { answerPassword({}); };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: User Abort");
    EXPECT_FALSE(o.saw("dialog: confirm"));
    EXPECT_TRUE(o.deviceEvents("upgrade_request").empty());
    expectNothingStored(o);
}

TEST(Faults, LostAckIsRecoveredByResending) {
    const Outcome o = runScenario(withSim({"--fault-drop-ack", "700"}));
    expectSuccess(o);
    EXPECT_EQ(o.deviceEvents("tftp_ack_dropped", {"\"block\":700"}).size(), 1u);
}

TEST(Faults, EveryHundredthAckLost) {
    const Outcome o = runScenario(withSim({"--fault-drop-ack-every", "100"}));
    expectSuccess(o);
    EXPECT_EQ(o.deviceEvents("tftp_ack_dropped").size(), 14u);
}

TEST(Faults, LostOptionAckIsRecoveredByResendingTheOack) {
    const Outcome o = runScenario(withSim({"--fault-drop-oack-ack"}));
    expectSuccess(o);
}

TEST(Faults, DuplicatedAcksSendNothingTwice) {
    const Outcome o = runScenario(withSim({"--fault-duplicate-acks"}));
    expectSuccess(o);
}

TEST(Faults, RefusedOackEndsIncompleteAfterTheSettlingWait) {
    const Outcome o = runScenario(withSim({"--fault-oack-error"}));
    expectFailure(o, "Upgrade Failed: Firmware Upload Incomplete");
    EXPECT_TRUE(o.saw(kSettling));
    EXPECT_FALSE(o.saw(kUploaded));
    EXPECT_EQ(connections(o), 2); // no closing request after an incomplete transfer
    expectNothingStored(o);
}

TEST(Faults, StrayDatagramFromAnotherPortIsIgnored) {
    const Outcome o = runScenario(withSim({"--fault-stray-datagram", "5"}));
    expectSuccess(o);
    EXPECT_EQ(o.deviceEvents("fault", {"stray-datagram"}).size(), 1u);
}

TEST(Faults, RepeatedReadRequestDoesNotDisturbTheTransfer) {
    const Outcome o = runScenario(withSim({"--fault-repeat-rrq", "5"}));
    expectSuccess(o);
}

TEST(Faults, WrongFileNameIsNotServed) {
    const Outcome o = runScenario(withSim({"--fault-wrong-name-first"}));
    expectSuccess(o);
    EXPECT_TRUE(o.deviceEvents("tftp_end", {"\"unexpected\":true"}).empty());
}

TEST(Faults, DeviceAcceptingOnlyTheExactServerAddress) {
    // The answers leave from the address the device was told (the listener is bound to it).
    const Outcome o = runScenario(withSim({"--strict-source"}));
    expectSuccess(o);
}

TEST(Faults, ReadRequestWithoutOptions) {
    const Outcome o = runScenario(withSim({"--tftp-no-options"}));
    expectSuccess(o);
}

TEST(Faults, DeviceThatNeverComesBackCannotBeConnected) {
    const Outcome o = runScenario(withSim({"--fault-never-return"}));
    expectFailure(o, "Upgrade Failed: Can't connect to TOV");
    EXPECT_TRUE(o.saw(kUploaded));
    expectImageStored(o); // the device has it; the program only cannot confirm it
}

TEST(Faults, FirstRequestClosedWithoutAnswer) {
    const Outcome o = runScenario(withSim({"--fault-close", "1"}));
    expectFailure(o, "Upgrade Failed: No Response From TOV");
    EXPECT_FALSE(o.saw("dialog: confirm"));
    EXPECT_EQ(connections(o), 1);
    expectNothingStored(o);
}

TEST(Faults, UpgradeRequestClosedLeavesTheWaitToTheUser) {
    Scenario s = withSim({"--fault-close", "2"});
    s.prepare = [] {
        cancelWhen(ProgressKind::waiting, [] { return shownCount("destroy: connecting") >= 2; });
    };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: User Abort");
    EXPECT_TRUE(o.saw("cancel: waiting"));
    EXPECT_FALSE(o.saw("open: uploading"));
    expectNothingStored(o);
}

TEST(Faults, ClosingRequestClosedWithoutAnswer) {
    const Outcome o = runScenario(withSim({"--fault-close", "3"}));
    expectFailure(o, "Upgrade Failed: TOV not responding after firmware upload");
    EXPECT_TRUE(o.saw(kSettling));
    expectImageStored(o);
}

TEST(Faults, HangingFirstRequestIsCancelled) {
    Scenario s = withSim({"--fault-hang", "1"});
    s.prepare = [] { cancelAfter(ProgressKind::connecting, 300); };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: User Abort");
    EXPECT_TRUE(o.saw("cancel: connecting"));
    EXPECT_FALSE(o.saw("dialog: confirm"));
    expectNothingStored(o);
}

TEST(Faults, HangingClosingRequestIsCancelled) {
    Scenario s = withSim({"--fault-hang", "3"});
    s.prepare = [] {
        cancelWhen(ProgressKind::connecting, [] {
            static int calls = 0;
            return shownCount("open: connecting") == 3 && ++calls > 300;
        });
    };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: User Abort");
    EXPECT_FALSE(o.saw("dialog: success"));
    expectImageStored(o);
}

TEST(Faults, HangingUpgradeRequestCanBeCancelledInEitherWindow) {
    // Both windows are up: the runner's connecting window and the listener's waiting window.
    for (const ProgressKind kind : {ProgressKind::connecting, ProgressKind::waiting}) {
        Scenario s = withSim({"--fault-hang", "2"});
        s.prepare = [kind] {
            cancelWhen(kind, [] {
                static int calls = 0;
                return shownCount("open: connecting") == 2 && uiShowed("open: waiting") &&
                       ++calls > 200;
            });
        };
        const Outcome o = runScenario(s);
        expectFailure(o, "Upgrade Failed: User Abort");
        EXPECT_TRUE(
            o.saw(kind == ProgressKind::connecting ? "cancel: connecting" : "cancel: waiting"));
        expectNothingStored(o);
    }
}

TEST(Faults, NotFoundPageCountsAsAnAnswer) {
    const Outcome o = runScenario(withSim({"--fault-404", "1"}));
    expectSuccess(o);
    EXPECT_TRUE(o.saw("confirm shows: serial= mac= software= hardware= product="));
}

// A 401 the program cannot answer ends the upgrade at once: no prompt, no further request.
void expectUnanswerableChallenge(const Outcome& o) {
    expectFailure(o, kCannotAuthenticate);
    EXPECT_FALSE(o.saw("dialog: password"));
    EXPECT_FALSE(o.saw("dialog: confirm"));
    EXPECT_EQ(connections(o), 1);
    EXPECT_TRUE(o.deviceEvents("http_request", {"Authorization"}).empty());
    expectNothingStored(o);
}

TEST(Faults, ChallengeWithoutNonceEndsTheUpgrade) {
    // Once counted as the page (the confirmation showed five empty values): a 401 never is.
    expectUnanswerableChallenge(
        runScenario(withSim({"--password", "secret", "--fault-401-no-nonce", "1"})));
}

TEST(Faults, PageWithoutSerialNumberLeavesItEmpty) {
    const Outcome o = runScenario(withSim({"--fault-no-serial", "1"}));
    expectSuccess(o);
    EXPECT_TRUE(o.saw("confirm shows: serial= mac=00:0E:08:12:34:56 software=2.0.9(a) "
                      "hardware=1.2 product=TOV-2000"));
}

TEST(Faults, BasicChallengeAloneEndsTheUpgrade) {
    // The password never leaves the program in another form.
    expectUnanswerableChallenge(
        runScenario(withSim({"--password", "secret", "--basic-challenge", "only"})));
}

TEST(Faults, BasicChallengeBeforeTheDigestOneLendsItNothing) {
    // The Basic challenge names another realm: taken for the Digest one, every request is refused.
    const Outcome o = runScenario(withSim({"--password", "secret", "--basic-challenge", "first"}));
    expectSuccess(o);
    EXPECT_EQ(o.count("dialog: password"), 1);
    EXPECT_EQ(o.deviceEvents("auth", {"\"accepted\":true"}).size(), 3u);
}

TEST(Faults, LowerCaseChallengeHeaderAsksForThePassword) {
    const Outcome o = runScenario(withSim({"--password", "secret", "--challenge-lower-case"}));
    expectSuccess(o);
    EXPECT_TRUE(o.saw(kConfirmShows));
    EXPECT_EQ(o.count("dialog: password"), 1);
    EXPECT_EQ(o.deviceEvents("auth", {"\"accepted\":true"}).size(), 3u);
}

TEST(Faults, QopListIsAnsweredWithAuth) {
    const Outcome o = runScenario(withSim({"--password", "secret", "--qop", "auth,auth-int"}));
    expectSuccess(o);
    EXPECT_EQ(o.count("dialog: password"), 1);
    // Every authorized request answers with the one value (the closing one twice: the restart
    // brought a fresh nonce).
    const auto authorized = o.deviceEvents("http_request", {"Authorization: Digest"});
    EXPECT_EQ(authorized.size(), 4u);
    EXPECT_EQ(o.deviceEvents("http_request", {",qop=auth,nc=00000000"}).size(), authorized.size());
    EXPECT_EQ(o.deviceEvents("auth", {"\"accepted\":true"}).size(), 3u);
}

TEST(Faults, InterimContinueBeforeEveryAnswerIsSkipped) {
    const Outcome o = runScenario(withSim({"--password", "secret", "--continue-first"}));
    expectSuccess(o);
    EXPECT_TRUE(o.saw(kConfirmShows));
    EXPECT_EQ(o.count("dialog: password"), 1);
}

TEST(Faults, ChunkedAnswersOnAConnectionLeftOpenAreDecodedToTheirLastChunk) {
    // Chunks of 7 bytes split labels and values; the device never closes: the program ends each
    // answer at its last chunk and closes.
    const Outcome o = runScenario(withSim({"--chunked", "7", "--keep-alive"}));
    expectSuccess(o);
    EXPECT_TRUE(o.saw(kConfirmShows));
    EXPECT_EQ(o.deviceEvents("http_client_closed").size(), 3u);
}

TEST(Faults, RefusedUpgradeRequestEndsTheWait) {
    // The device answers the upgrade request with 403 and never asks for the image: 5 s on the
    // program's clock after the answer the wait ends, the TFTP thread stopped before the box.
    Scenario s = withSim({"--fault-upgrade-status", "403"});
    s.prepare = [] {
        auto answeredAt = std::make_shared<std::atomic<std::uint32_t>>(0);
        auto seen = std::make_shared<std::atomic<bool>>(false);
        scriptedUi().cancelProgress = [answeredAt, seen](ProgressKind kind) {
            if (kind == ProgressKind::waiting && !*seen && shownCount("destroy: connecting") >= 2) {
                *answeredAt = millisecondClock();
                *seen = true;
            }
            return false;
        };
        scriptedUi().errorBox = [answeredAt](const char*) {
            recordShown("box after: " + std::to_string(millisecondClock() - *answeredAt));
        };
    };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: TOV refused the upgrade request (HTTP 403)");
    EXPECT_EQ(o.deviceEvents("http_response", {"\"n\":2", "\"status\":403"}).size(), 1u);
    EXPECT_TRUE(o.deviceEvents("upgrade_request").empty());
    EXPECT_TRUE(o.deviceEvents("tftp_send").empty());
    EXPECT_EQ(connections(o), 2);
    expectNothingStored(o);
    // The waiting window is gone before the box, and the box came after the 5 s.
    const auto& shown = o.shown;
    const auto waitingGone = std::find(shown.begin(), shown.end(), "destroy: waiting");
    const auto box = std::find_if(shown.begin(), shown.end(),
                                  [](const std::string& l) { return l.starts_with("error: "); });
    EXPECT_LT(waitingGone, box);
    const auto after = std::find_if(shown.begin(), shown.end(), [](const std::string& l) {
        return l.starts_with("box after: ");
    });
    ASSERT_NE(after, shown.end());
    EXPECT_GE(std::stol(after->substr(11)), 4900);
}

TEST(Faults, AbandonedUpgradeRequestStillCountsItsNonce) {
    // The upgrade request goes out with nc 2 and is never answered; the device keeps its nonce
    // across the restart: the closing request carries nc 3 (a repeated 2 is refused as a replay).
    const Outcome o =
        runScenario(withSim({"--password", "secret", "--qop", "auth", "--keep-nonce-on-restart",
                             "--fault-upgrade-unanswered"}));
    expectSuccess(o);
    EXPECT_EQ(o.count("dialog: password"), 1);
    EXPECT_EQ(o.deviceEvents("auth", {"\"accepted\":false"}).size(), 1u); // the first request
    EXPECT_EQ(o.deviceEvents("auth", {"\"accepted\":true", "\"nc\":\"000000003\""}).size(), 1u);
}

// ---- the computer's resources --------------------------------------------------------------

TEST(Faults, AllHttpPortsTaken) {
    Scenario s = withSim({});
    s.prepare = [] { holdPorts(true, 23456, 23556); };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: Can't bind HTTP socket");
    EXPECT_EQ(connections(o), 0);
    expectNothingStored(o);
}

TEST(Faults, LastHttpPortStillServes) {
    Scenario s = withSim({});
    s.prepare = [] { holdPorts(true, 23456, 23555); };
    const Outcome o = runScenario(s);
    expectSuccess(o);
    EXPECT_EQ(o.deviceEvents("http_connection", {"\"peer\":\"127.0.0.1:23556\""}).size(), 3u);
}

TEST(Faults, TftpPort69TakenUses70AndNamesIt) {
    Scenario s = withSim({});
    s.prepare = [] { holdPorts(false, 69, 69); };
    const Outcome o = runScenario(s);
    expectSuccess(o);
    EXPECT_EQ(o.deviceEvents("upgrade_request", {"\"server\":\"127.0.0.1\"", "\"port\":70"}).size(),
              1u);
    EXPECT_EQ(o.deviceEvents("http_request", {"tftp://127.0.0.1:70/tov"}).size(), 1u);
}

TEST(Faults, LastTftpPortStillServes) {
    Scenario s = withSim({});
    s.prepare = [] { holdPorts(false, 69, 167); };
    const Outcome o = runScenario(s);
    expectSuccess(o);
    EXPECT_EQ(o.deviceEvents("upgrade_request", {"\"port\":168"}).size(), 1u);
}

TEST(Faults, AllTftpPortsTaken) {
    Scenario s = withSim({});
    s.prepare = [] { holdPorts(false, 69, 168); };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: Can't bind TFTP listener socket");
    EXPECT_TRUE(o.deviceEvents("upgrade_request").empty());
    expectNothingStored(o);
}

TEST(Faults, ConnectionRefused) {
    const Outcome o = runScenario(withoutDevice());
    expectFailure(o, "Upgrade Failed: Can't connect to TOV");
    EXPECT_FALSE(o.saw("dialog: confirm"));
}

// ---- answers no device should send ---------------------------------------------------------

TEST(Faults, AnswerLongerThanTheBufferIsCut) {
    // The serial number's value begins beyond byte 131,071: it is not read.
    Scenario s = withOwnDevice({longAnswer(200000, "<td>Product Name:</td><td>LONG</td>",
                                           "<td>Serial Number:</td><td>LATE</td>")});
    s.prepare = [] { scriptedUi().confirm = [] { return false; }; };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: User Abort");
    EXPECT_TRUE(o.saw("confirm shows: serial= mac= software= hardware= product=LONG"));
}

TEST(Faults, AnswerFillingTheBufferExactly) {
    // 131,071 bytes; the last value runs to the very last byte.
    Scenario s = withOwnDevice(
        {longAnswer(131071, "<td>Product Name:</td><td>FULL</td>", "<td>Serial Number:</td>END")});
    s.prepare = [] { scriptedUi().confirm = [] { return false; }; };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: User Abort");
    EXPECT_TRUE(o.saw("confirm shows: serial=END mac= software= hardware= product=FULL"));
}

TEST(Faults, OverlongAnswerOnAConnectionLeftOpenIsNotWaitedFor) {
    // Once the buffer is full the program reads no further: it goes on although the device
    // never closes the connection.
    Scenario s = withOwnDevice({longAnswer(200000, "<td>Product Name:</td><td>OPEN</td>", "")});
    s.ownDeviceHoldSeconds = 60;
    s.prepare = [] { scriptedUi().confirm = [] { return false; }; };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: User Abort");
    EXPECT_TRUE(o.saw("confirm shows: serial= mac= software= hardware= product=OPEN"));
    EXPECT_LT(o.seconds, 10.0);
}

// The serial number's value runs to the answer's last byte. Read to the device's close, and with
// Content-Length on a connection the device leaves open: then the answer ends at its length
// exactly (one byte short would cut the value, one byte long would wait for the close). Each case
// is a test of its own: the test's own device takes port 80 once per namespace.
void answerInSmallPiecesIsReadWhole(bool leftOpen) {
    const std::string body = "<tr><td>Product Name:</td><td>TOV-2000</td>"
                             "<td>MAC Address:</td><td>00:0E:08:12:34:56</td>"
                             "<td>Software Version:</td><td>2.0.9(a)</td>"
                             "<td>Hardware Version:</td><td>1.2</td>"
                             "<td>Serial Number:</td><td>FM2000A123456";
    // Blanks before the page make the last byte come alone, in a piece of its own.
    std::string answer;
    for (std::string page = body; answer.size() % 7 != 1; page.insert(0, " "))
        answer = (leftOpen ? "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(page.size()) +
                                 "\r\n\r\n"
                           : std::string("HTTP/1.1 200 OK\r\n\r\n")) +
                 page;
    Scenario s = withOwnDevice({answer});
    s.ownDeviceChunk = 7;
    s.ownDeviceHoldSeconds = leftOpen ? 60 : 0;
    s.prepare = [] { scriptedUi().confirm = [] { return false; }; };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: User Abort");
    EXPECT_TRUE(o.saw(kConfirmShows));
    EXPECT_LT(o.seconds, 30.0);
}

TEST(Faults, AnswerInSmallPiecesIsReadWhole) {
    answerInSmallPiecesIsReadWhole(false);
}

TEST(Faults, AnswerInSmallPiecesWithItsLengthIsReadToItsLastByte) {
    answerInSmallPiecesIsReadWhole(true);
}

TEST(Faults, BinaryAnswerCountsAsAnAnswer) {
    std::string junk;
    for (int i = 0; i < 5000; ++i)
        junk += static_cast<char>((i * 37 + 11) & 0xff);
    Scenario s = withOwnDevice({junk});
    s.prepare = [] { scriptedUi().confirm = [] { return false; }; };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: User Abort");
    EXPECT_TRUE(o.saw("dialog: confirm"));
}

TEST(Faults, OversizedChallengeIsCutAndAskedAgain) {
    const std::string huge(5000, 'n');
    const std::string challenge = "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"" +
                                  huge + "\", nonce=\"" + huge + "\", qop=\"" + huge +
                                  "\", opaque=\"" + huge + "\"\r\n\r\n";
    Scenario s = withOwnDevice({challenge, challenge});
    s.prepare = [] { answerPassword({"secret"}); }; // the second prompt is cancelled
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: User Abort");
    EXPECT_EQ(o.count("dialog: password"), 2); // same (cut) nonce: the password was refused
}

// ---- the user's Cancel ---------------------------------------------------------------------

TEST(Faults, CancelAtNoticeOrAddressEndsQuietly) {
    for (const bool atNotice : {true, false}) {
        Scenario s = withSim({});
        s.prepare = [atNotice] {
            if (atNotice)
                scriptedUi().notice = [] { return false; };
            else
                scriptedUi().address = [](const AddressDialogView&, AddressChoice&) {
                    return false;
                };
        };
        const Outcome o = runScenario(s);
        expectEndedCleanly(o);
        EXPECT_TRUE(o.errors().empty());
        EXPECT_TRUE(o.saw("runUpgrade returned 0"));
        EXPECT_EQ(connections(o), 0);
    }
}

TEST(Faults, CancelAtConfirmation) {
    Scenario s = withSim({});
    s.prepare = [] { scriptedUi().confirm = [] { return false; }; };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: User Abort");
    EXPECT_FALSE(o.saw("offer: try-again")); // the confirmation's Cancel means quit
    EXPECT_TRUE(o.saw(kConfirmShows));
    EXPECT_EQ(connections(o), 1);
    expectNothingStored(o);
}

// A mistyped address, then a refused password: each time "Try Again" goes back to the address
// with what was typed, the notice is not shown again, and the third try upgrades the device.
TEST(Faults, TryAgainGoesBackToTheAddressAsTyped) {
    Scenario s = withSim({"--password", "secret"});
    s.prepare = [] {
        // A second address of this computer, chosen at the first try and kept for the others.
        if (std::system("ip addr add 127.0.0.5/8 dev lo") != 0)
            std::_Exit(94);
        auto typed = std::make_shared<std::vector<std::string>>();
        scriptedUi().address = [typed](const AddressDialogView& view, AddressChoice& choice) {
            recordShown(std::string("address starts with: ") +
                        (view.typedAddress ? view.typedAddress : "(nothing)") + ", local " +
                        addressText(view.localAddresses[view.selectedAddress]).data());
            const char* next = typed->empty() ? "127.0.0.3" : "127.0.0.2";
            const int local =
                typed->empty() ? static_cast<int>(view.localAddresses.size()) - 1 : -1;
            typed->push_back(next);
            return acceptAddressEntry(next, local, view.localAddresses, choice);
        };
        auto asked = std::make_shared<int>(0);
        scriptedUi().password = [asked](Credentials& credentials) {
            const int n = ++*asked;
            if (n == 2)
                return false; // Cancel after "wrong" was refused
            storeCredentials("admin", n == 1 ? "wrong" : "secret", credentials);
            return true;
        };
        scriptedUi().tryAgain = [](const UpgradeFailure&) { return true; };
    };
    const Outcome o = runScenario(s);
    expectEndedCleanly(o);
    EXPECT_EQ(o.errors(), (std::vector<std::string>{"Upgrade Failed: Can't connect to TOV",
                                                    "Upgrade Failed: User Abort"}));
    EXPECT_EQ(o.count("offer: try-again"), 2);
    EXPECT_EQ(o.count("dialog: notice"), 1);
    EXPECT_TRUE(o.saw("address starts with: (nothing), local 127.0.0.1"));
    EXPECT_TRUE(o.saw("address starts with: 127.0.0.3, local 127.0.0.5"));
    EXPECT_TRUE(o.saw("address starts with: 127.0.0.2, local 127.0.0.5"));
    EXPECT_TRUE(o.saw("success shows: 2.0.10(e)"));
    expectImageStored(o);
    // The refused password went once: the next try starts without it.
    EXPECT_EQ(o.deviceEvents("auth", {"\"reason\":\"wrong response\""}).size(), 1u);
}

TEST(Faults, CancelDuringTheTransfer) {
    Scenario s = withSim({});
    s.prepare = [] {
        // Once the device holds 500 blocks (256,000 bytes).
        cancelWhen(ProgressKind::uploading, [] {
            return deviceLogged({"\"event\":\"tftp_recv\"", "\"op\":\"DATA\""}) >= 500;
        });
    };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: User Abort");
    EXPECT_FALSE(o.saw(kUploaded));
    EXPECT_EQ(connections(o), 2);
    expectNothingStored(o);
}

TEST(Faults, CancelDuringTheSettlingWait) {
    Scenario s = withSim({});
    s.prepare = [] { cancelWhen(ProgressKind::uploading, [] { return uiShowed(kSettling); }); };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: User Abort");
    EXPECT_EQ(connections(o), 2); // no closing request
    expectImageStored(o);
}

// ---- a hostile network and a device that misbehaves ---------------------------------------

TEST(Faults, HostAskingForEveryNameGetsNothing) {
    // 32,768 read requests from 127.0.0.9 arrive before the device's own: none is answered, the
    // device gets the image and the closing request goes to the typed address.
    const Outcome o = runScenario(withSim({"--fault-hijacker", "127.0.0.9"}));
    expectSuccess(o);
    EXPECT_EQ(o.deviceEvents("hijack_sent", {"\"count\":32768"}).size(), 1u);
    EXPECT_TRUE(o.deviceEvents("hijack_received").empty()) << "a datagram reached the other host";
    EXPECT_EQ(connections(o), 3);
}

TEST(Faults, FloodNeitherHurriesNorEndsTheTransfer) {
    // Thousands of junk datagrams from another port and another host during the transfer.
    const Outcome o =
        runScenario(withSim({"--fault-flood-after-block", "200", "--fault-flood-ms", "1500"}));
    expectSuccess(o);
    const auto floods = o.deviceEvents("flood_end");
    ASSERT_EQ(floods.size(), 1u);
    EXPECT_EQ(floods[0].find("\"sent\":0,"), std::string::npos);
    // The junk brought no resend: were each datagram counted as silence, thousands would have
    // come. (A resend or two stays possible: on this scaled clock 100 ms of silence is 3 ms.)
    EXPECT_LE(o.deviceEvents("tftp_recv", {"\"op\":\"DATA\""}).size(), 1418u + 2);
}

TEST(Faults, CancelActsAtOnceWhileDatagramsPourIn) {
    // An 8 s flood while the program waits for the device's request; the user cancels as it
    // begins, and the program is gone long before the flood ends.
    Scenario s = withSim({"--fault-flood-while-waiting", "8000"});
    s.prepare = [] {
        cancelWhen(ProgressKind::waiting,
                   [] { return deviceLogged({"\"event\":\"flood_begin\""}) > 0; });
    };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: User Abort");
    EXPECT_TRUE(o.saw("cancel: waiting"));
    EXPECT_LT(o.seconds, 5.0);
    expectNothingStored(o);
}

TEST(Faults, UpgradeRequestNeverAnsweredIsLeftBehind) {
    // The device fetches the image but never answers or closes the upgrade request: once the
    // transfer is over the program stops waiting for it, and the closing request is its own.
    const Outcome o = runScenario(withSim({"--fault-upgrade-unanswered"}));
    expectSuccess(o);
    EXPECT_EQ(o.deviceEvents("fault", {"upgrade-unanswered"}).size(), 1u);
}

TEST(Faults, AnswerOnAConnectionLeftOpenEndsAtItsLength) {
    // Every answer carries Content-Length and the device never closes: the program closes.
    const Outcome o = runScenario(withSim({"--keep-alive"}));
    expectSuccess(o);
    EXPECT_EQ(o.deviceEvents("http_client_closed").size(), 3u);
    EXPECT_LT(o.seconds, 20.0);
}

TEST(Faults, CancelInTheConnectingWindowStopsTheTransferFirst) {
    // The upgrade request is still waiting for its answer while the image goes out; the user
    // cancels its window. No block may leave after the box.
    Scenario s = withSim({"--fault-upgrade-unanswered"});
    s.prepare = [] {
        cancelWhen(ProgressKind::connecting, [] {
            return deviceLogged({"\"event\":\"tftp_recv\"", "\"op\":\"DATA\""}) >= 300;
        });
        scriptedUi().errorBox = [](const char*) {
            const int atBox = deviceLogged({"\"event\":\"tftp_recv\"", "\"op\":\"DATA\""});
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            const int later = deviceLogged({"\"event\":\"tftp_recv\"", "\"op\":\"DATA\""});
            recordShown("blocks after the box: " + std::to_string(later - atBox));
        };
    };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: User Abort");
    EXPECT_TRUE(o.saw("cancel: connecting"));
    EXPECT_TRUE(o.saw("blocks after the box: 0"));
    EXPECT_FALSE(o.saw(kUploaded));
    expectNothingStored(o);
}

TEST(Faults, ClosingAnswerWithoutTheVersionIsNoSuccess) {
    // After its restart the device answers with a page that carries no values: asked again for
    // 30 s (1 s here), then the failure; nothing stale is shown.
    const Outcome o = runScenario(withSim({"--fault-no-page-from", "3"}));
    expectFailure(o, "Upgrade Failed: TOV not responding after firmware upload");
    EXPECT_TRUE(o.saw(kUploaded));
    EXPECT_GE(connections(o), 4); // the closing request was repeated
    expectImageStored(o);
    // Every 2 s (63 ms on this clock) as the device saw it, so at most 16 in the 30 s (0.94 s).
    const auto closing = closingConnections(o);
    ASSERT_GE(closing.size(), 2u);
    EXPECT_LE(closing.size(), 16u);
    long closest = 1000000;
    for (std::size_t i = 1; i < closing.size(); ++i)
        closest =
            std::min(closest, Outcome::eventTime(closing[i]) - Outcome::eventTime(closing[i - 1]));
    EXPECT_GE(closest, 60);
    EXPECT_LE(Outcome::eventTime(closing.back()) - Outcome::eventTime(closing.front()), 1000);
}

TEST(Faults, DeviceStillOnItsOldVersionRefusedTheImage) {
    const Outcome o = runScenario(withSim({"--fault-keep-old-version"}));
    expectFailure(o, "Upgrade Failed: TOV still reports software version 2.0.9(a)");
    EXPECT_TRUE(o.saw(kUploaded));
    EXPECT_EQ(o.deviceEvents("image_check", {"\"accepted\":false"}).size(), 1u);
    EXPECT_FALSE(o.stored);
}

TEST(Faults, LinesInsideAChallengeAreNeverSent) {
    // The nonce carries CR LF and header lines: the program cuts it at the CR.
    const Outcome o =
        runScenario(withSim({"--password", "secret", "--qop", "auth", "--fault-challenge-crlf"}));
    expectSuccess(o);
    EXPECT_GE(o.deviceEvents("fault", {"challenge-crlf"}).size(), 1u);
    EXPECT_TRUE(o.deviceEvents("injected_header").empty());
    for (const std::string& request : o.deviceEvents("http_request"))
        EXPECT_EQ(request.find("X-Injected"), std::string::npos) << request;
}

TEST(Faults, StandInImageNeverGoesToARealDevice) {
    // An address off loopback: the stand-in image this build carries is refused before any
    // request (nothing could leave this namespace anyway).
    Scenario s = withSim({});
    s.prepare = [] {
        scriptedUi().address = [](const AddressDialogView& view, AddressChoice& choice) {
            return acceptAddressEntry("192.0.2.10", 0, view.localAddresses, choice);
        };
    };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: This program carries a test image, not TOV firmware");
    EXPECT_FALSE(o.saw("open: connecting"));
    EXPECT_EQ(connections(o), 0);
}

// ---- on the real clock: the full 49,984 ms --------------------------------------------------

TEST(FaultsRealClock, CompleteUpgrade) {
    Scenario s;
    s.childSeconds = 150;
    const Outcome o = runScenario(s);
    expectSuccess(o);
    // 49,984 ms less the device's 1 s dally.
    EXPECT_GE(settlingGap(o), 48000);
    EXPECT_LE(settlingGap(o), 60000);
}

TEST(FaultsRealClock, SilentDeviceEndsIncomplete) {
    Scenario s;
    s.simArgs = {"--fault-oack-error"};
    s.childSeconds = 150;
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: Firmware Upload Incomplete");
    EXPECT_TRUE(o.saw(kSettling));
    EXPECT_GE(o.seconds, 49.9 + 3.0); // 27.5 s of backed-off resends, then the wait
    expectNothingStored(o);
}

// ---- only what the device is seen to do counts -------------------------------------------

TEST(Faults, UnknownVersionBeforeAndTheOldOneAfterIsNoSuccess) {
    // The first page carries no software version; the device turns the image down and comes
    // back on its old one. Nothing shows that it changed: no success.
    const Outcome o = runScenario(withSim({"--fault-no-version", "1", "--fault-keep-old-version"}));
    expectFailure(o, "Upgrade Failed: TOV reports software version 2.0.9(a), not the new one");
    EXPECT_TRUE(o.saw("confirm shows: serial=FM2000A123456 mac=00:0E:08:12:34:56 software= "
                      "hardware=1.2 product=TOV-2000"));
    EXPECT_TRUE(o.saw(kUploaded));
    EXPECT_EQ(o.deviceEvents("tftp_end", {"\"complete\":true", "\"bytes\":725912"}).size(), 1u);
    EXPECT_EQ(o.deviceEvents("image_check", {"\"accepted\":false"}).size(), 1u);
    EXPECT_FALSE(o.stored);
    EXPECT_EQ(connections(o), 3); // the closing request was answered with a version: asked once
}

TEST(Faults, ImagesVersionInTheDevicesOwnFormIsASuccess) {
    // No version before either, but the device reports the image's in its own spelling.
    const Outcome o =
        runScenario(withSim({"--fault-no-version", "1", "--installed-version", "2.0.10E"}));
    expectEndedCleanly(o);
    EXPECT_TRUE(o.errors().empty()) << "error box: " << o.errors().front();
    EXPECT_TRUE(o.saw("success title: TOV@127.0.0.2 Upgrade Successful!"));
    EXPECT_TRUE(o.saw("success shows: 2.0.10E"));
    expectImageStored(o);
    EXPECT_EQ(o.deviceEvents("restart_end", {"\"software_version\":\"2.0.10E\""}).size(), 1u);
}

TEST(Faults, DeviceWritingItsFlashGetsItsWholeImage) {
    // Before the ACK of block 700 the device falls silent for 250 ms, 8 s on the program's
    // clock: longer than the OACK's 5 s, well within the 27.5 s the transfer waits. The resends
    // meanwhile back off: a dozen, where one every 100 ms would have been 80.
    const Outcome o =
        runScenario(withSim({"--fault-ack-pause", "700", "--fault-ack-pause-ms", "250"}));
    expectSuccess(o);
    EXPECT_EQ(o.deviceEvents("fault", {"\"kind\":\"ack-pause\"", "\"block\":700"}).size(), 1u);
    const auto copies = o.deviceEvents("tftp_recv", {"\"op\":\"DATA\"", "\"block\":700,"});
    EXPECT_GE(copies.size(), 5u);
    EXPECT_LE(copies.size(), 16u);
}

TEST(Faults, CancelWhileThePasswordPromptIsOpenSendsNothingFurther) {
    // The first page is a 404 (no password asked); the upgrade request is challenged. While its
    // prompt is open the user cancels the waiting window, then gives the password at the prompt:
    // the upgrade request is not sent again.
    Scenario s = withSim({"--password", "secret", "--fault-404", "1"});
    s.prepare = [] {
        cancelWhen(ProgressKind::waiting, [] { return uiShowed("dialog: password"); });
        scriptedUi().password = [](Credentials& credentials) {
            for (int i = 0; i < 500 && !uiShowed("destroy: waiting"); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the TFTP thread ends
            recordShown(uiShowed("destroy: waiting") ? "prompt answered after the Cancel"
                                                     : "prompt answered, no Cancel seen");
            storeCredentials("admin", "secret", credentials);
            return true;
        };
    };
    const Outcome o = runScenario(s);
    expectFailure(o, "Upgrade Failed: User Abort");
    EXPECT_TRUE(o.saw("cancel: waiting"));
    EXPECT_TRUE(o.saw("prompt answered after the Cancel"));
    EXPECT_EQ(o.count("dialog: password"), 1);
    EXPECT_EQ(o.deviceEvents("http_request").size(), 2u); // the page and the challenged request
    EXPECT_TRUE(o.deviceEvents("auth", {"\"accepted\":true"}).empty());
    EXPECT_TRUE(o.deviceEvents("upgrade_request").empty());
    EXPECT_TRUE(o.deviceEvents("tftp_send").empty());
    expectNothingStored(o);
}

TEST(Faults, DeviceElsewhereOnLoopbackIsUpgraded) {
    // The stand-in image goes to any address of 127.0.0.0/8, not only to 127.0.0.x: a device on
    // 127.1.2.3 (the one on 127.0.0.2 is left alone).
    Scenario s = withSim({});
    s.moreDevices = {"127.1.2.3"};
    s.prepare = [] {
        scriptedUi().address = [](const AddressDialogView& view, AddressChoice& choice) {
            return acceptAddressEntry("127.1.2.3", 0, view.localAddresses, choice);
        };
    };
    const Outcome o = runScenario(s);
    expectEndedCleanly(o);
    EXPECT_TRUE(o.errors().empty()) << "error box: " << o.errors().front();
    EXPECT_TRUE(o.saw("title: uploading: Uploading Firmware to TOV@127.1.2.3 725912/725912 Bytes"));
    EXPECT_TRUE(o.saw("success title: TOV@127.1.2.3 Upgrade Successful!"));
    EXPECT_TRUE(o.saw("success shows: 2.0.10(e)"));
    ASSERT_EQ(o.moreDevicesStoredTheImage.size(), 1u);
    EXPECT_TRUE(o.moreDevicesStoredTheImage[0]);
    EXPECT_EQ(connections(o), 0);
    expectNothingStored(o);
}
