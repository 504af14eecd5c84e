// SPDX-License-Identifier: MIT
// The upgrade sequence's early paths through the scripted UI: quiet cancels that send nothing,
// the unanswered first request, the refused confirmation, and the upgrade path it sends once the
// listener is up (against a small device of the test's own on 127.0.0.2:80, in a private network
// namespace so port 80 and 69 are ours alone).
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include "private_loopback.h"
#endif

#include "app/settling_wait.h"
#include "app/upgrade_sequence.h"
#include "loopback_http_server.h"
#include "platform/platform.h"
#include "scripted_ui.h"
#include "ui/dialog_logic.h"

namespace {

constexpr std::uint32_t kDeviceAddress = 0x7f000002; // 127.0.0.2

class UpgradeSequenceTest : public ::testing::Test {
  protected:
    void SetUp() override { resetScriptedUi(); }

    static bool anyEventStartsWith(const std::string& prefix) {
        for (const std::string& event : uiEvents())
            if (event.rfind(prefix, 0) == 0)
                return true;
        return false;
    }
};

TEST_F(UpgradeSequenceTest, CancelAtNoticeEndsQuietlyWithoutAddressOrRequest) {
    scriptedUi().notice = [] { return false; };
    EXPECT_EQ(runUpgrade(nullptr), 0);
    EXPECT_EQ(shownValues().noticeProduct, "TOV-1000/2000"); // start-up ran first
    EXPECT_EQ(uiEvents(), std::vector<std::string>{"dialog: notice"});
}

TEST_F(UpgradeSequenceTest, CancelAtAddressEndsQuietlyWithoutRequest) {
    scriptedUi().address = [](const AddressDialogView&, AddressChoice&) { return false; };
    EXPECT_EQ(runUpgrade(nullptr), 0);
    EXPECT_EQ(uiEvents(), (std::vector<std::string>{"dialog: notice", "dialog: address"}));
}

TEST_F(UpgradeSequenceTest, NoDeviceAddressEndsQuietlyWithoutRequest) {
    // A dialog that returned OK without a usable address (0.0.0.0 parses to 0).
    scriptedUi().address = [](const AddressDialogView& view, AddressChoice& choice) {
        acceptAddressEntry("0.0.0.0", 0, view.localAddresses, choice);
        return true;
    };
    EXPECT_EQ(runUpgrade(nullptr), 0);
    EXPECT_EQ(uiEvents(), (std::vector<std::string>{"dialog: notice", "dialog: address"}));
    EXPECT_FALSE(anyEventStartsWith("error:"));
}

TEST(UpgradePath, FormsTheDeviceFetchRequest) {
    UpgradePath path = formatUpgradePath(0xc0a80005, 69, "/tov1a2b.bin");
    EXPECT_STREQ(path.data(), "/admin/upgrade?tftp://192.168.0.5:69/tov1a2b.bin");

    path = formatUpgradePath(0xffffffff, 65535, "/tov7fff.bin");
    EXPECT_STREQ(path.data(), "/admin/upgrade?tftp://255.255.255.255:65535/tov7fff.bin");
    EXPECT_EQ(std::strlen(path.data()), 55u); // the longest the program can form

    // A file name that could never come from the dialog is cut, never written past the buffer.
    const std::string huge(300, 'x');
    path = formatUpgradePath(0x7f000001, 69, huge.c_str());
    EXPECT_EQ(std::strlen(path.data()), kUpgradePathSize - 1);
}

// No request after the restart starts more than 30 s after the first, one every 2 s: the 15th, at
// 28 s, is the last. Across the millisecond clock's wrap too.
TEST(RestartGrace, LastRequestStartsWithin30Seconds) {
    EXPECT_TRUE(askAgainAfterRestart(5000, 5000));
    EXPECT_TRUE(askAgainAfterRestart(5000, 5000 + 28000));
    EXPECT_FALSE(askAgainAfterRestart(5000, 5000 + 28001));
    const std::uint32_t beforeWrap = 0xFFFFF000;
    EXPECT_TRUE(askAgainAfterRestart(beforeWrap, beforeWrap + 28000u));
    EXPECT_FALSE(askAgainAfterRestart(beforeWrap, beforeWrap + 28001u));
}

#if !defined(_WIN32)

// The device's web server on 127.0.0.2:80, inside the case's private namespace; runs in the
// death test's child, bounded by an alarm.
LoopbackHttpServer* device = nullptr;

void startDevice(std::vector<std::string> answers) {
    ::alarm(30); // a hang ends the child with a signal, which fails the test
    LoopbackHttpOptions options;
    options.address = kDeviceAddress;
    options.port = 80;
    options.waitMilliseconds = 10000;
    device = new LoopbackHttpServer(std::move(answers), options);
    if (device->port() == 0)
        std::_Exit(91);
}

// Exits 0 only when runUpgrade returned 0 with `expected` as the last UI event; prints the
// device's requests and the events.
[[noreturn]] void runAndExpectLastEvent(const std::string& expected) {
    const int result = runUpgrade(nullptr);
    for (const std::string& request : device->finish())
        std::fprintf(stderr, "device got: %s\n", request.substr(0, request.find("\r\n")).c_str());
    const std::vector<std::string> events = uiEvents();
    for (const std::string& event : events)
        std::fprintf(stderr, "ui: %s\n", event.c_str());
    std::fflush(stderr);
    std::_Exit(result == 0 && !events.empty() && events.back() == expected ? 0 : 92);
}

constexpr char kDevicePage[] = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"
                               "<tr><td>Product Name:</td><td>TOV-2000</td></tr>"
                               "<tr><td>Serial Number:</td><td>FM500123</td></tr>";

[[noreturn]] void silentDevice() {
    startDevice({""});                         // accepts, then closes without a byte
    runAndExpectLastEvent("offer: try-again"); // declined: the scripted UI's default
}

[[noreturn]] void refusedConfirmation() {
    startDevice({kDevicePage});
    scriptedUi().confirm = [] {
        // What the page said is in place when the confirmation opens.
        if (shownValues().device.find("serial=FM500123 ") == std::string::npos)
            std::_Exit(93);
        return false;
    };
    runAndExpectLastEvent("error: Upgrade Failed: User Abort");
}

[[noreturn]] void cancelWhileWaitingForTheDevice() {
    startDevice({kDevicePage, "HTTP/1.1 200 OK\r\n\r\n"});
    // Only once the upgrade request has been answered does the user cancel the waiting window.
    scriptedUi().cancelProgress = [](ProgressKind kind) {
        return kind == ProgressKind::waiting && device->served() >= 2;
    };
    runAndExpectLastEvent("error: Upgrade Failed: User Abort");
}

class UpgradeSequenceDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!inPrivateNetwork())
            GTEST_SKIP() << "needs ports 69 and 80: run inside scripts/netns-run.sh";
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        resetScriptedUi();
    }
};

TEST_F(UpgradeSequenceDeviceTest, SilentDeviceGivesNoResponseAndNoConfirmation) {
    EXPECT_EXIT(silentDevice(), ::testing::ExitedWithCode(0),
                "device got: GET /admin/advanced HTTP/1.1\n"
                "(.|\n)*ui: dialog: address\nui: open: connecting\nui: destroy: connecting\n"
                "ui: error: Upgrade Failed: No Response From TOV\nui: offer: try-again\n$");
}

TEST_F(UpgradeSequenceDeviceTest, RefusedConfirmationAbortsBeforeTheListener) {
    EXPECT_EXIT(refusedConfirmation(), ::testing::ExitedWithCode(0),
                "ui: dialog: confirm\nui: error: Upgrade Failed: User Abort\n$");
}

TEST_F(UpgradeSequenceDeviceTest, UpgradeRequestNamesTheBoundListenerAndTheDrawnFile) {
    // The listener is up (port 69 is free here) before the device is asked to fetch.
    EXPECT_EXIT(cancelWhileWaitingForTheDevice(), ::testing::ExitedWithCode(0),
                "device got: GET /admin/advanced HTTP/1.1\n(.|\n)*"
                "device got: GET /admin/upgrade\\?tftp://127\\.0\\.0\\.1:69/tov[0-9a-f]+\\.bin "
                "HTTP/1\\.1\n(.|\n)*ui: cancel: waiting\n(.|\n)*"
                "ui: error: Upgrade Failed: User Abort\n$");
}

#endif

} // namespace
