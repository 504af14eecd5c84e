// The whole session: transfer, settling wait and outcome. The session ends the process, so each
// case runs in a death-test child, whose scripted device, web server and UI record what happened
// and print one summary line as the outcome is shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>

#include "app/context.h"
#include "app/text.h"
#include "fake_clock.h"
#include "scripted_ui.h"
#include "tftp/tftp_session.h"
#include "tftp_test_peer.h"

namespace {

enum class Web { none, answering, closing };

struct OutcomeRun {
    DeviceScript script;
    std::uint32_t imageSize = 3000;
    // Each case that connects gets addresses of its own, so no connection still closing from an
    // earlier case stands in the way: the local address of the closing request, and (except
    // under Wine, where every loopback datagram leaves from 127.0.0.1) the device's.
    std::uint32_t localAddress = kLoopback1;
    std::uint32_t deviceAddress = kLoopback1;
    void ownAddresses(std::uint32_t n) {
        localAddress = kLoopback1 + n;
#ifndef _WIN32
        deviceAddress = kLoopback1 + n;
#endif
    }
    Web web = Web::none;
    bool cancelWhileSettling = false;
};

// The child's world; it lives until the process ends.
std::vector<std::uint8_t> image;
ScriptedDevice* device = nullptr;
OneShotWebServer* web = nullptr;
// Set on the TFTP thread, read by whichever thread shows the last box (a worker, for one).
std::atomic<std::uint64_t> sleptAtRequest{0};
std::atomic<bool> requestStarted{false};

bool eventShown(const std::string& event) {
    const auto events = uiEvents();
    return std::find(events.begin(), events.end(), event) != events.end();
}

void printSummary(const char* outcome) {
    const auto events = uiEvents();
    const auto requests = std::count(events.begin(), events.end(), "open: connecting");
    const bool settling = eventShown("title: uploading: Updating Firmware to TOV@" +
                                     std::string(textIn(upgradeContext.deviceAddressText)));
    std::fprintf(stderr,
                 "summary: oacks=%d data=%d resends=%d image=%s settling=%s settled=%llu "
                 "requests=%d http=%s outcome=%s\n",
                 device->seen.oacks, device->seen.dataPackets, device->seen.resends,
                 device->seen.image == image ? "equal" : "differs", settling ? "yes" : "no",
                 static_cast<unsigned long long>(requestStarted ? sleptAtRequest.load()
                                                                : fakeSleptMilliseconds()),
                 static_cast<int>(requests), web ? web->request().c_str() : "none", outcome);
    std::fflush(stderr);
}

// Runs in the child and never returns: the session ends the process.
void runWholeSession(const OutcomeRun& run) {
    startWatchdog(30);
    resetScriptedUi();
    copyText(upgradeContext.deviceAddressText, "127.0.0.1");
    image = makeTestImage(std::min<std::uint32_t>(run.imageSize, 3000));
    upgradeContext.firmware.firmwareData = image.data();
    upgradeContext.firmware.firmwareSize = run.imageSize;

    static LoopbackUdp server;
    static ScriptedDevice scripted;
    static OneShotWebServer webServer;
    if (!server.bindFrom(kLoopback1, 41000) ||
        !scripted.open(run.deviceAddress, kLoopback1, server.port))
        std::fprintf(stderr, "test setup: no free loopback ports\n");
    scripted.script = run.script;
    device = &scripted;
    if (run.web != Web::none) {
        webServer.answer = run.web == Web::answering;
        if (!webServer.start(run.deviceAddress))
            std::fprintf(stderr, "test setup: port 80 not free\n");
        web = &webServer;
    }

    setFakeClock(1000);
    const bool cancelWhileSettling = run.cancelWhileSettling;
    scriptedUi().cancelProgress = [cancelWhileSettling](ProgressKind kind) {
        if (kind == ProgressKind::connecting && !requestStarted) {
            sleptAtRequest = fakeSleptMilliseconds();
            requestStarted = true;
        }
        if (kind != ProgressKind::uploading)
            return false;
        if (device->step())
            return true;
        return cancelWhileSettling && device->seen.lastBlockSeen &&
               eventShown("range: uploading: 0-1562");
    };
    scriptedUi().errorBox = [](const char* text) { printSummary(text); };
    scriptedUi().success = [] { printSummary("success"); };
    startTftpSession(server.socket.release(), run.localAddress, scripted.udp.address,
                     scripted.udp.port);
}

TEST(TftpSessionDeathTest, SilentDeviceStillGetsTheSettlingWaitThenIncomplete) {
    OutcomeRun run;
    run.script.silentFrom = 0; // not even the OACK is acknowledged
    EXPECT_EXIT(runWholeSession(run), ::testing::ExitedWithCode(0),
                "summary: oacks=30 data=0 resends=0 image=differs settling=yes settled=49984 "
                "requests=0 http=none outcome=Upgrade Failed: Firmware Upload Incomplete");
}

TEST(TftpSessionDeathTest, CancelDuringTheUploadEndsAtOnce) {
    OutcomeRun run;
    run.script.cancelAt = 3;
    EXPECT_EXIT(runWholeSession(run), ::testing::ExitedWithCode(0),
                "summary: oacks=1 data=3 resends=0 image=differs settling=no settled=0 "
                "requests=0 http=none outcome=Upgrade Failed: User Abort");
}

TEST(TftpSessionDeathTest, CancelWhileSettlingMakesNoPageRequest) {
    OutcomeRun run;
    run.cancelWhileSettling = true;
    EXPECT_EXIT(runWholeSession(run), ::testing::ExitedWithCode(0),
                "summary: oacks=1 data=6 resends=0 image=equal settling=yes settled=0 "
                "requests=0 http=none outcome=Upgrade Failed: User Abort");
}

TEST(TftpSessionDeathTest, ImageTooLargeForSixteenBitBlocksIsNeverOffered) {
    OutcomeRun run;
    run.imageSize = kTftpMaxImageSize + 1;
    EXPECT_EXIT(runWholeSession(run), ::testing::ExitedWithCode(0),
                "summary: oacks=0 data=0 .* requests=0 http=none "
                "outcome=Upgrade Failed: Firmware image too large for TFTP");
}

// The closing request goes to port 80, which only a private network namespace lends us.
class TftpSessionOutcomeDeathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!inPrivateNetwork())
            GTEST_SKIP() << "needs port 80: run inside scripts/netns-run.sh";
    }
};

TEST_F(TftpSessionOutcomeDeathTest, CompleteTransferAsksTheDeviceAgainAndShowsSuccess) {
    OutcomeRun run;
    run.ownAddresses(10);
    run.web = Web::answering;
    EXPECT_EXIT(runWholeSession(run), ::testing::ExitedWithCode(0),
                "summary: oacks=1 data=6 resends=0 image=equal settling=yes settled=49984 "
                "requests=1 http=GET /admin/advanced HTTP/1.1 outcome=success");
}

TEST_F(TftpSessionOutcomeDeathTest, DeviceThatClosesWithoutAnswerIsNotResponding) {
    OutcomeRun run;
    run.ownAddresses(11);
    run.web = Web::closing;
    EXPECT_EXIT(runWholeSession(run), ::testing::ExitedWithCode(0),
                "summary: oacks=1 data=6 resends=0 image=equal settling=yes settled=49984 "
                "requests=1 http=GET /admin/advanced HTTP/1.1 "
                "outcome=Upgrade Failed: TOV not responding after firmware upload");
}

TEST_F(TftpSessionOutcomeDeathTest, DeviceThatIsGoneCannotBeConnected) {
    OutcomeRun run;
    run.ownAddresses(12);
    EXPECT_EXIT(runWholeSession(run), ::testing::ExitedWithCode(0),
                "summary: oacks=1 data=6 .* settling=yes settled=49984 requests=1 http=none "
                "outcome=Upgrade Failed: Can't connect to TOV");
}

} // namespace
