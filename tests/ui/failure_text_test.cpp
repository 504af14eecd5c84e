// SPDX-License-Identifier: MIT
// Every failure's error-box text, byte for byte as the Windows program shows it.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ui/failure.h"

namespace {

TEST(FailureText, EveryFailureHasTheDialogsText) {
    struct Row {
        Failure reason;
        const char* text;
    };
    const std::vector<Row> table = {
        {Failure::socketLibrary, "Upgrade Failed: Winsock init error"},
        {Failure::imageMissing, "Upgrade Failed: Firmware image missing"},
        {Failure::standInImage,
         "Upgrade Failed: This program carries a test image, not TOV firmware"},
        {Failure::cannotOpenHttpSocket, "Upgrade Failed: Can't open HTTP socket"},
        {Failure::cannotBindHttpSocket, "Upgrade Failed: Can't bind HTTP socket"},
        {Failure::cannotConnect, "Upgrade Failed: Can't connect to TOV"},
        {Failure::noResponse, "Upgrade Failed: No Response From TOV"},
        {Failure::authUnsupported,
         "Upgrade Failed: TOV asks for an authentication this program cannot give"},
        {Failure::upgradeRefused, "Upgrade Failed: TOV refused the upgrade request (HTTP 403)"},
        {Failure::userAbort, "Upgrade Failed: User Abort"},
        {Failure::passwordNotGiven, "Upgrade Failed: User Abort"},
        {Failure::passwordRefused, "Upgrade Failed: User Abort"},
        {Failure::listenerMemory, "Upgrade Failed: Can't malloc for TFTP listener"},
        {Failure::listenerSocket, "Upgrade Failed: Can't create TFTP listener socket"},
        {Failure::listenerBind, "Upgrade Failed: Can't bind TFTP listener socket"},
        {Failure::listenerThread, "Upgrade Failed: Can't start TFTP listener"},
        {Failure::imageTooLarge, "Upgrade Failed: Firmware image too large for TFTP"},
        {Failure::cancelledWhileInstalling, "Upgrade Failed: User Abort"},
        {Failure::uploadIncomplete, "Upgrade Failed: Firmware Upload Incomplete"},
        {Failure::notBack, "Upgrade Failed: TOV not responding after firmware upload"},
        {Failure::stillOldVersion, "Upgrade Failed: TOV still reports software version 2.0.9(a)"},
        {Failure::versionNotConfirmed,
         "Upgrade Failed: TOV reports software version 2.0.9(a), not the new one"},
        // Only the terminal and GTK programs take an image from a file.
        {Failure::imageNotCarried,
         "Upgrade Failed: This program carries no firmware image; choose an image file"},
        {Failure::imageUnreadable, "Upgrade Failed: Can't read firmware image file 2.0.9(a)"},
        {Failure::imageOversized, "Upgrade Failed: Firmware image larger than 65,535 TFTP blocks"},
        {Failure::imageTruncated, "Upgrade Failed: Firmware image truncated or damaged"},
        {Failure::imageUnknownMagic, "Upgrade Failed: Not a TOV2000 or TOV3000 firmware image"},
        {Failure::imageBadVersion, "Upgrade Failed: Firmware image carries no readable version"},
        {Failure::imageDigestMismatch,
         "Upgrade Failed: Firmware image's SHA-256 is not the one expected"},
        {Failure::deviceChecksRefused, "Upgrade Failed: User Abort"},
    };
    std::set<std::string> names;
    for (const Row& row : table) {
        UpgradeFailure failure = failureWithVersion(row.reason, "2.0.9(a)");
        failure.status = 403;
        EXPECT_STREQ(failureText(failure).data(), row.text) << failureName(row.reason);
        names.insert(failureName(row.reason));
    }
    // Each failure once, each with a name of its own.
    EXPECT_EQ(table.size(), static_cast<std::size_t>(Failure::deviceChecksRefused) + 1);
    EXPECT_EQ(names.size(), table.size());
    // Only the version failures and the refused request carry their argument into the text.
    EXPECT_STREQ(failureText(failureWithVersion(Failure::noResponse, "x")).data(),
                 "Upgrade Failed: No Response From TOV");
    EXPECT_STREQ(failureText(failureWithStatus(Failure::upgradeRefused, 404)).data(),
                 "Upgrade Failed: TOV refused the upgrade request (HTTP 404)");
}

TEST(FailureText, ReportedVersionIsCutAtItsBuffer) {
    const std::string huge(400, 'v');
    const FailureText text =
        failureText(failureWithVersion(Failure::stillOldVersion, huge.c_str()));
    EXPECT_EQ(std::string(text.data()), "Upgrade Failed: TOV still reports software version " +
                                            std::string(kFailureArgumentSize - 1, 'v'));
}

} // namespace
