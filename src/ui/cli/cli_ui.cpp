// SPDX-License-Identifier: MIT
// The user-interface seam in a terminal: the dialogs become lines and questions, the progress
// windows progress lines (redrawn in place on a terminal, a line every 10 % otherwise), Ctrl-C is
// every window's Cancel, and --timeout cancels a wait for the TOV that makes no progress.
#include <algorithm>
#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "cli_output.h"
#include "cli_session.h"
#include "image_lines.h"
#include "json_line.h"
#include "platform/platform.h"
#include "terminal.h"
#include "ui/ansi_text.h"
#include "ui/dialog_texts.h"
#include "ui/messages.h"
#include "ui/ui.h"

namespace {

// The last sign of life of the TOV on the program's clock: a window opening, an ACK, a tick of
// the settling wait. A wait is given up once --timeout passes without one.
std::atomic<std::uint32_t> lastProgress{0};
// The last connecting stage printed: one line per stage, however many attempts it takes.
std::atomic<int> lastStageShown{-1};

void noteProgress() {
    lastProgress = millisecondClock();
}

std::string seconds(std::uint32_t count) {
    return std::to_string(count) + " s";
}

// What the user is told when `window` waited too long.
std::string timeoutWords(const ProgressWindowState& window);

// A password prompt ended by Ctrl-C is the user's Cancel, whatever the device said before.
Failure asTheUserSawIt(Failure reason) {
    const bool atPasswordPrompt =
        reason == Failure::passwordNotGiven || reason == Failure::passwordRefused;
    return atPasswordPrompt && interrupted() ? Failure::userAbort : reason;
}

// What the terminal says of a failure: the dialog's words, or clearer ones where the dialog's
// "User Abort" would hide what happened.
// The image as the user named it.
std::string imageName() {
    const std::string& path = cliSession().options.imagePath;
    return path.empty() ? translated("the image this program carries") : path;
}

std::string failureWords(const UpgradeFailure& failure) {
    const CliSession& session = cliSession();
    switch (failure.reason) {
    case Failure::imageNotCarried:
        return translated("this program carries no firmware image; name one with --image FILE");
    case Failure::imageUnreadable:
        return filled(translated("cannot read the firmware image %s (it must be a regular file "
                                 "this user may read)"),
                      session.options.imagePath.c_str());
    case Failure::imageOversized:
        return filled(translated("%s is larger than 65,535 TFTP blocks (33,553,919 bytes): not a "
                                 "TOV firmware image"),
                      imageName().c_str());
    case Failure::imageTruncated:
        return filled(translated("%s is truncated or damaged: its size is not the length its "
                                 "header declares"),
                      imageName().c_str());
    case Failure::imageUnknownMagic:
        return filled(translated("%s is not a TOV2000 or TOV3000 firmware image (its first "
                                 "bytes); --force sends it all the same"),
                      imageName().c_str());
    case Failure::imageBadVersion:
        return filled(translated("%s carries no readable version text in its header"),
                      imageName().c_str());
    case Failure::imageDigestMismatch:
        return filled(translated("%s has SHA-256 %s, not the %s given with --sha256"),
                      imageName().c_str(), failure.version.data(),
                      session.options.sha256.value_or("").c_str());
    case Failure::deviceChecksRefused: {
        std::string words;
        for (const std::string& refusal : session.refusals)
            words += (words.empty() ? "" : "; ") + refusal;
        return filled(translated("%s; nothing done"), words.c_str());
    }
    case Failure::standInImage:
        if (!session.options.imagePath.empty())
            return filled(translated("%s is the test image, not TOV firmware: it upgrades only "
                                     "simulated TOVs on 127.0.0.0/8"),
                          session.options.imagePath.c_str());
        break;
    case Failure::passwordRefused:
        return filled(translated("the TOV refused the password for user %s"),
                      cliSession().options.user.c_str());
    case Failure::passwordNotGiven:
        return translated(
            "no password: the TOV asks for one; use --password-file or --password-stdin");
    case Failure::cancelledWhileInstalling:
        return translated("stopped waiting: the TOV holds the whole image and is installing it; "
                          "its new version is not confirmed");
    case Failure::listenerBind:
        if (cliSession().options.tftpPort != 0)
            return filled(translated("%s (UDP port %d is taken or not allowed)"),
                          failureText(failure, translated).data(),
                          static_cast<int>(cliSession().options.tftpPort));
        break;
    default:
        break;
    }
    return failureText(failure, translated).data();
}

// The versions and the image, on the lines that end a run.
JsonLine& withVersions(JsonLine& line) {
    const UpgradeRecord& record = cliSession().record;
    return line.text("version_before", record.versionBefore)
        .text("version_after", record.versionAfter)
        .text("image_version", record.imageVersion)
        .text("image_sha256", cliSession().imageSha256);
}

} // namespace

struct ProgressWindowState {
    ProgressKind kind;
    RequestStage stage;
    std::string deviceAddressText;
    std::uint32_t openedAt = 0;
    bool settling = false;
    std::uint32_t uploadStart = 0;
    int nextDecile = 0;     // the next tenth of the upload to report off a terminal
    int lastRemaining = -1; // seconds of the settling wait last shown
};

namespace {

std::string timeoutWords(const ProgressWindowState& window) {
    const CliSession& session = cliSession();
    const std::string limit = seconds(session.options.timeoutSeconds);
    const std::string& address = session.options.address;
    if (window.kind == ProgressKind::waiting)
        return filled(translated("the TOV did not ask for the firmware within %s; is UDP port %d "
                                 "open on this computer?"),
                      limit.c_str(), static_cast<int>(session.tftpPort));
    switch (window.stage) {
    case RequestStage::informationPage:
        return filled(translated("the TOV at %s did not answer within %s; is it switched on, and "
                                 "is %s its address?"),
                      address.c_str(), limit.c_str(), address.c_str());
    case RequestStage::upgradeRequest:
        return filled(translated("the TOV at %s did not answer the upgrade request within %s"),
                      address.c_str(), limit.c_str());
    case RequestStage::pageAfterRestart:
        break;
    }
    return filled(translated("the TOV at %s did not come back within %s after installing the "
                             "firmware; its new version is not confirmed"),
                  address.c_str(), limit.c_str());
}

// Whether `window`'s wait for the TOV has gone on too long; the first one to do so is recorded.
bool timedOut(const ProgressWindowState& window) {
    CliSession& session = cliSession();
    const std::uint32_t limit = session.options.timeoutSeconds;
    if (limit == 0 || window.kind == ProgressKind::uploading) // the transfer has its own rule
        return false;
    const std::uint32_t now = millisecondClock();
    const std::uint32_t since = std::min(now - window.openedAt, now - lastProgress.load());
    if (since < limit * 1000)
        return false;
    std::lock_guard lock(session.timeoutMutex);
    if (session.timeoutMessage.empty())
        session.timeoutMessage = timeoutWords(window);
    return true;
}

std::string stageLine(const ProgressSubject& subject) {
    switch (subject.stage) {
    case RequestStage::informationPage:
        break;
    case RequestStage::upgradeRequest:
        return filled(translated("Serving the firmware from %s; telling the TOV to fetch it..."),
                      cliSession().tftpEndpoint.c_str());
    case RequestStage::pageAfterRestart:
        return translated("Asking the TOV for the version it now runs...");
    }
    return std::string(progressTitle(subject, translated).data()) + "...";
}

} // namespace

CliSession& cliSession() {
    static CliSession session;
    return session;
}

void initUiControls() {}

void showErrorBox(const UpgradeFailure& failure) {
    CliSession& session = cliSession();
    UpgradeFailure seen = failure;
    seen.reason = asTheUserSawIt(failure.reason);
    std::string words = failureWords(seen);
    std::string reason = failureName(seen.reason);
    session.exitStatus = exitStatusFor(seen.reason);
    {
        std::lock_guard lock(session.timeoutMutex);
        if (!session.timeoutMessage.empty() && !interrupted()) {
            words = session.timeoutMessage;
            reason = "timeout";
            session.exitStatus = kExitUnreachable;
        }
    }
    if (seen.reason == Failure::stillOldVersion || seen.reason == Failure::versionNotConfirmed)
        session.record.versionAfter = seen.version.data();
    session.record.outcome = reason;
    session.record.exitStatus = session.exitStatus;
    JsonLine line("failure");
    line.text("message", words).text("reason", reason).number("status", session.exitStatus);
    emit(withVersions(line));
    if (session.options.output != OutputMode::json)
        sayError(words);
}

// A script wants the failure and its status, not a second try.
bool offerTryAgain(const UpgradeFailure& failure) {
    showErrorBox(failure);
    return false;
}

bool runNoticeDialog(const char*) {
    sayParagraph(translated(kOpeningWarningText));
    say("");
    sayParagraph(translated("An upgrade takes about a minute, most of it the TOV's restart."));
    say("");
    // The dialog's text carries its own line breaks: one line here, each break a space.
    std::string notice;
    for (const char c : std::string_view(kOpeningWarningText))
        if (c != '\r')
            notice += c == '\n' ? ' ' : c;
    emit(JsonLine("notice").text("text", notice));
    return !interrupted();
}

bool runAddressDialog(const AddressDialogView& view, AddressChoice& choice) {
    CliSession& session = cliSession();
    session.record.imageVersion = view.imageVersion;
    if (view.imageSha256) {
        session.imageSha256 = view.imageSha256;
        sayImageDetails({view.imageVersion, view.productName, view.imageSha256,
                         view.imageFile ? view.imageFile : "", view.testImage, 0});
    }
    int selected = view.localAddresses.empty() ? -1 : 0;
    if (session.options.localAddress) {
        selected = -1;
        for (std::size_t i = 0; i < view.localAddresses.size(); ++i)
            if (addressText(view.localAddresses[i]).data() == *session.options.localAddress)
                selected = static_cast<int>(i);
        if (selected < 0) {
            std::string known;
            for (const std::uint32_t address : view.localAddresses)
                known += std::string(known.empty() ? "" : ", ") + addressText(address).data();
            sayError(filled(translated("%s is not an address of this computer (it has: %s); see "
                                       "--help"),
                            session.options.localAddress->c_str(), known.c_str()));
            session.exitStatus = kExitUsage;
            return false;
        }
    }
    if (!acceptAddressEntry(session.options.address, selected, view.localAddresses, choice)) {
        session.exitStatus = kExitUsage; // the command line was checked: not reached
        return false;
    }
    return !interrupted();
}

bool runConfirmDialog(const DeviceValues& device, const char* imageVersion) {
    CliSession& session = cliSession();
    UpgradeRecord& record = session.record;
    record.productName = device.productName;
    record.macAddress = device.macAddress;
    record.serialNumber = device.serialNumber;
    record.versionBefore = device.softwareVersion;
    record.imageVersion = imageVersion;
    say(filled(translated("The TOV at %s reports:"), session.options.address.c_str()));
    // Each caption padded so that the values stand in one column.
    say(filled(translated("  Product Name:      %s"), device.productName));
    say(filled(translated("  MAC Address:       %s"), device.macAddress));
    say(filled(translated("  Software Version:  %s"), device.softwareVersion));
    say(filled(translated("  Hardware Version:  %s"), device.hardwareVersion));
    say(filled(translated("  Serial Number:     %s"), device.serialNumber));
    say(filled(translated("This program will upgrade it to version %s."), imageVersion));
    emit(JsonLine("device")
             .text("product_name", device.productName)
             .text("mac_address", device.macAddress)
             .text("software_version", device.softwareVersion)
             .text("hardware_version", device.hardwareVersion)
             .text("serial_number", device.serialNumber)
             .text("image_version", imageVersion)
             .text("image_sha256", session.imageSha256));
    if (interrupted())
        return false;
    if (session.options.yes)
        return true;
    // The answer is y or Y in every language; the prompt, written as it stands, in UTF-8.
    const auto answer = askTerminal(displayText(translated("Upgrade? [y/N] ")).c_str(), true);
    noteProgress(); // the time the user took is no wait for the TOV
    if (!answer) {
        if (!interrupted())
            sayError(translated("no terminal to ask for confirmation; use --yes"));
        return false;
    }
    return !answer->empty() && (answer->front() == 'y' || answer->front() == 'Y');
}

namespace {

struct CheckWords {
    std::string finding;  // what the check found
    const char* override; // the option that lifts it
    bool allowed;         // by the options given
    bool askable = false; // a user at the question may judge it (a version that cannot be ordered)
};

// Each finding of the checks against the TOV, and whether the options let the upgrade go on.
// The same or an older version, another model or none: refused unless its option lifts it. A
// version that cannot be ordered: shown as unknown when the user is asked, refused with --yes
// (or --check) unless --force.
std::vector<CheckWords> checkWords(const ImageFindings& f) {
    const CliOptions& o = cliSession().options;
    const std::string device = f.deviceVersion;
    const std::string image = f.imageVersion;
    std::vector<CheckWords> words;
    switch (f.version) {
    case VersionOrder::same:
        words.push_back(
            {filled(translated("the TOV already runs version %s, the image's"), device.c_str()),
             "--allow-reinstall", o.allowReinstall});
        break;
    case VersionOrder::older:
        words.push_back({filled(translated("the image's version %s is older than the TOV's %s"),
                                image.c_str(), device.c_str()),
                         "--allow-older", o.allowOlder});
        break;
    case VersionOrder::unknown:
        words.push_back({filled(translated("the TOV's software version \"%s\" cannot be "
                                           "compared with the image's %s"),
                                device.c_str(), image.c_str()),
                         "--force", o.force, true});
        break;
    case VersionOrder::newer:
        break;
    }
    switch (f.model) {
    case ModelMatch::mismatch:
        words.push_back({filled(translated("the image is for the %s, but the TOV reports "
                                           "product name \"%s\""),
                                f.imageProduct, f.deviceProduct),
                         "--force", o.force});
        break;
    case ModelMatch::unnamed:
        words.push_back({filled(translated("the TOV reports no product name to check the image "
                                           "(for the %s) against"),
                                f.imageProduct),
                         "--force", o.force});
        break;
    case ModelMatch::matches:
        break;
    }
    return words;
}

const char* orderName(VersionOrder order) {
    switch (order) {
    case VersionOrder::newer:
        return "newer";
    case VersionOrder::same:
        return "same";
    case VersionOrder::older:
        return "older";
    case VersionOrder::unknown:
        break;
    }
    return "unknown";
}

const char* modelName(ModelMatch model) {
    switch (model) {
    case ModelMatch::matches:
        return "matches";
    case ModelMatch::mismatch:
        return "mismatch";
    case ModelMatch::unnamed:
        break;
    }
    return "unnamed";
}

} // namespace

bool runImageCheckWarning(const ImageFindings& findings) {
    CliSession& session = cliSession();
    const std::vector<CheckWords> words = checkWords(findings);
    session.refusals.clear();
    const bool asked = !session.options.yes && !session.options.check;
    for (const CheckWords& w : words) {
        if (w.allowed) {
            say(filled(translated("Note: %s (%s)"), w.finding.c_str(), w.override));
        } else if (asked && w.askable) {
            say(filled(translated("Warning: %s: the version is unknown; answer only if you are "
                                  "sure (%s with --yes)"),
                       w.finding.c_str(), w.override));
        } else {
            session.refusals.push_back(filled(translated("%s; %s upgrades it all the same"),
                                              w.finding.c_str(), w.override));
        }
    }
    if (!findings.clear() || session.options.check)
        emit(JsonLine("checks")
                 .text("version", orderName(findings.version))
                 .text("model", modelName(findings.model))
                 .text("software_version", findings.deviceVersion)
                 .text("product_name", findings.deviceProduct)
                 .text("image_version", findings.imageVersion)
                 .text("image_sha256", session.imageSha256)
                 .number("refused", static_cast<std::int64_t>(session.refusals.size())));
    if (session.options.check) {
        for (const std::string& refusal : session.refusals)
            say(filled(translated("Refused: %s"), refusal.c_str()));
        say(session.refusals.empty()
                ? translated("Checks: the upgrade would go ahead.")
                : translated("Checks: the upgrade would be refused (status 7)."));
        session.exitStatus = session.refusals.empty() ? kExitSuccess : kExitNothingDone;
    } else if (findings.clear()) {
        say(filled(translated("Checks: the image is newer than the TOV's version and made for the "
                              "%s."),
                   findings.imageProduct));
    }
    return session.refusals.empty() && !interrupted();
}

void sayImageDetails(const ImageLines& image) {
    std::string line = filled(translated("Firmware image: version %s for the %s"),
                              image.version.c_str(), image.product.c_str());
    line += image.testImage
                ? translated(", the test image (for simulated TOVs on 127.0.0.0/8 only)")
                : "";
    line += image.file.empty() ? std::string(translated(", carried by this program"))
                               : filled(translated(", from %s"), image.file.c_str());
    say(line);
    say("  SHA-256: " + image.sha256);
    if (image.size != 0)
        say(filled(translated("  Size:    %s bytes"), std::to_string(image.size).c_str()));
}

bool runPasswordDialog(Credentials& credentials) {
    CliSession& session = cliSession();
    static int asked = 0;
    ++asked;
    std::optional<std::string> password;
    if (session.options.passwordFile || session.options.passwordStdin) {
        // The one password given; asked again, the device has refused it.
        if (asked == 1 && session.password) {
            password = *session.password;
            wipeText(*session.password);
            session.password.reset();
        }
    } else if (asked <= 3) {
        // The words in UTF-8 as the terminal shows them, the names as they were given.
        const std::string prompt =
            (asked == 1 ? std::string()
                        : displayText(translated("The TOV refused the password.\n"))) +
            filled(displayText(translated("Password of user %s on the TOV at %s: ")).c_str(),
                   session.options.user.c_str(), session.options.address.c_str());
        endProgressLine();
        password = askTerminal(prompt.c_str(), false);
    }
    noteProgress(); // the time the user took is no wait for the TOV
    if (!password)
        return false;
    storeCredentials(session.options.user, *password, credentials);
    wipeText(*password);
    return true;
}

void runSuccessDialog(const char* deviceAddressText, const char* softwareVersion) {
    CliSession& session = cliSession();
    session.exitStatus = kExitSuccess;
    session.record.versionAfter = softwareVersion;
    session.record.outcome = "success";
    session.record.exitStatus = kExitSuccess;
    say(filled(translated("Upgrade successful: the TOV at %s now reports software version %s."),
               deviceAddressText, softwareVersion));
    JsonLine line("success");
    line.text("software_version", softwareVersion);
    emit(withVersions(line));
}

ProgressWindow openProgressWindow(const ProgressSubject& subject) {
    CliSession& session = cliSession();
    auto* window = new ProgressWindowState{
        subject.kind, subject.stage, subject.deviceAddressText ? subject.deviceAddressText : ""};
    window->openedAt = millisecondClock();
    switch (subject.kind) {
    case ProgressKind::connecting: {
        session.reachedDevice = true;
        if (subject.tftpPort != 0) {
            session.tftpPort = subject.tftpPort;
            session.tftpEndpoint =
                filled(translated("%s, UDP port %d"), addressText(subject.tftpAddress).data(),
                       static_cast<int>(subject.tftpPort));
        }
        if (lastStageShown.exchange(static_cast<int>(subject.stage)) !=
            static_cast<int>(subject.stage))
            say(stageLine(subject));
        JsonLine line("connecting");
        line.text("title", progressTitle(subject).data());
        line.text("stage", subject.stage == RequestStage::informationPage  ? "information_page"
                           : subject.stage == RequestStage::upgradeRequest ? "upgrade_request"
                                                                           : "page_after_restart");
        if (subject.tftpPort != 0)
            line.text("tftp_address", addressText(subject.tftpAddress).data())
                .number("tftp_port", subject.tftpPort);
        emit(line);
        break;
    }
    case ProgressKind::waiting:
        say(translated("Waiting for the TOV to ask for the firmware..."));
        emit(JsonLine("waiting"));
        break;
    case ProgressKind::uploading:
        window->uploadStart = window->openedAt;
        noteProgress();
        break;
    }
    return window;
}

void showUploadProgress(ProgressWindow window, const UploadProgress& progress) {
    noteProgress();
    const std::uint32_t bytes = progress.bytesAcknowledged;
    const std::uint32_t total = progress.imageSize;
    const int percent = total == 0 ? 100 : static_cast<int>(std::uint64_t{bytes} * 100 / total);
    const std::uint32_t elapsed = millisecondClock() - window->uploadStart;
    const std::uint64_t blocks = progress.blocksAcknowledged;
    const auto perSecond = static_cast<std::int64_t>(elapsed == 0 ? 0 : blocks * 1000 / elapsed);
    std::string line = filled(translated("Uploading: %s/%s bytes, %d %%, %s blocks/s"),
                              std::to_string(bytes).c_str(), std::to_string(total).c_str(), percent,
                              std::to_string(perSecond).c_str());
    if (bytes > 0 && bytes < total && elapsed > 0) {
        const std::uint64_t left = std::uint64_t{total - bytes} * elapsed / bytes;
        line += filled(translated(", %s s left"), std::to_string((left + 999) / 1000).c_str());
    }
    if (outputIsTerminal())
        sayProgress(line);
    if (percent >= window->nextDecile) {
        window->nextDecile = percent / 10 * 10 + 10;
        if (!outputIsTerminal())
            sayProgress(line);
        emit(JsonLine("upload")
                 .number("bytes", bytes)
                 .number("total", total)
                 .number("percent", percent)
                 .number("blocks_per_second", perSecond));
    }
}

void showSettlingProgress(ProgressWindow window, const SettlingProgress& progress) {
    noteProgress();
    if (!window->settling) {
        window->settling = true;
        say(translated("The TOV is installing the firmware and restarting."));
    }
    const std::uint32_t left = progress.elapsedMilliseconds < progress.totalMilliseconds
                                   ? progress.totalMilliseconds - progress.elapsedMilliseconds
                                   : 0;
    const int remaining = static_cast<int>(left / 1000);
    if (remaining == window->lastRemaining)
        return;
    const bool firstOrTenth = window->lastRemaining < 0 || remaining % 10 == 0;
    window->lastRemaining = remaining;
    const std::string line = filled(translated("Waiting for the TOV to restart: %d s"), remaining);
    if (outputIsTerminal() || firstOrTenth)
        sayProgress(line);
    if (firstOrTenth)
        emit(JsonLine("restart").number("remaining_seconds", remaining));
}

// The bars are drawn as lines from the values above.
void setProgressRange(ProgressWindow, int, int) {}
void setProgressPosition(ProgressWindow, int) {}
void handleAllProgressMessages(ProgressWindow) {}

bool progressCancelled(ProgressWindow window) {
    return interrupted() || timedOut(*window);
}

void destroyProgressWindow(ProgressWindow window) {
    if (window->kind == ProgressKind::uploading)
        endProgressLine();
    delete window;
}
