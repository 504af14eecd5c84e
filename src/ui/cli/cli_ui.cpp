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
    return path.empty() ? "the image this program carries" : path;
}

std::string failureWords(const UpgradeFailure& failure) {
    const CliSession& session = cliSession();
    switch (failure.reason) {
    case Failure::imageNotCarried:
        return "this program carries no firmware image; name one with --image FILE";
    case Failure::imageUnreadable:
        return "cannot read the firmware image " + session.options.imagePath +
               " (it must be a regular file this user may read)";
    case Failure::imageOversized:
        return imageName() + " is larger than 65,535 TFTP blocks (33,553,919 bytes): not a "
                             "TOV firmware image";
    case Failure::imageTruncated:
        return imageName() + " is truncated or damaged: its size is not the length its header "
                             "declares";
    case Failure::imageUnknownMagic:
        return imageName() + " is not a TOV2000 or TOV3000 firmware image (its first bytes); "
                             "--force sends it all the same";
    case Failure::imageBadVersion:
        return imageName() + " carries no readable version text in its header";
    case Failure::imageDigestMismatch:
        return imageName() + " has SHA-256 " + failure.version.data() + ", not the " +
               session.options.sha256.value_or("") + " given with --sha256";
    case Failure::deviceChecksRefused: {
        std::string words;
        for (const std::string& refusal : session.refusals)
            words += (words.empty() ? "" : "; ") + refusal;
        return words + "; nothing done";
    }
    case Failure::standInImage:
        if (!session.options.imagePath.empty())
            return session.options.imagePath +
                   " is the test image, not TOV firmware: it upgrades only simulated TOVs "
                   "on 127.0.0.0/8";
        break;
    case Failure::passwordRefused:
        return "the TOV refused the password for user " + cliSession().options.user;
    case Failure::passwordNotGiven:
        return "no password: the TOV asks for one; use --password-file or --password-stdin";
    case Failure::cancelledWhileInstalling:
        return "stopped waiting: the TOV holds the whole image and is installing it; its new "
               "version is not confirmed";
    case Failure::listenerBind:
        if (cliSession().options.tftpPort != 0)
            return std::string(failureText(failure).data()) + " (UDP port " +
                   std::to_string(cliSession().options.tftpPort) + " is taken or not allowed)";
        break;
    default:
        break;
    }
    return failureText(failure).data();
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
        return "the TOV did not ask for the firmware within " + limit + "; is UDP port " +
               std::to_string(session.tftpPort) + " open on this computer?";
    switch (window.stage) {
    case RequestStage::informationPage:
        return "the TOV at " + address + " did not answer within " + limit +
               "; is it switched on, and is " + address + " its address?";
    case RequestStage::upgradeRequest:
        return "the TOV at " + address + " did not answer the upgrade request within " + limit;
    case RequestStage::pageAfterRestart:
        break;
    }
    return "the TOV at " + address + " did not come back within " + limit +
           " after installing the firmware; its new version is not confirmed";
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
        return "Serving the firmware from " + cliSession().tftpEndpoint +
               "; telling the TOV to fetch it...";
    case RequestStage::pageAfterRestart:
        return "Asking the TOV for the version it now runs...";
    }
    return std::string(progressTitle(subject).data()) + "...";
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
    sayParagraph(kOpeningWarningText);
    say("");
    sayParagraph("An upgrade takes about a minute, most of it the TOV's restart.");
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
            sayError(*session.options.localAddress +
                     " is not an address of this computer (it has: " + known + "); see --help");
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
    say(std::string("The TOV at ") + session.options.address + " reports:");
    say(std::string("  Product Name:      ") + device.productName);
    say(std::string("  MAC Address:       ") + device.macAddress);
    say(std::string("  Software Version:  ") + device.softwareVersion);
    say(std::string("  Hardware Version:  ") + device.hardwareVersion);
    say(std::string("  Serial Number:     ") + device.serialNumber);
    say(std::string("This program will upgrade it to version ") + imageVersion + ".");
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
    const auto answer = askTerminal("Upgrade? [y/N] ", true);
    noteProgress(); // the time the user took is no wait for the TOV
    if (!answer) {
        if (!interrupted())
            sayError("no terminal to ask for confirmation; use --yes");
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
        words.push_back({"the TOV already runs version " + device + ", the image's",
                         "--allow-reinstall", o.allowReinstall});
        break;
    case VersionOrder::older:
        words.push_back({"the image's version " + image + " is older than the TOV's " + device,
                         "--allow-older", o.allowOlder});
        break;
    case VersionOrder::unknown:
        words.push_back({"the TOV's software version \"" + device +
                             "\" cannot be compared with the image's " + image,
                         "--force", o.force, true});
        break;
    case VersionOrder::newer:
        break;
    }
    switch (f.model) {
    case ModelMatch::mismatch:
        words.push_back({std::string("the image is for the ") + f.imageProduct +
                             ", but the TOV reports product name \"" + f.deviceProduct + "\"",
                         "--force", o.force});
        break;
    case ModelMatch::unnamed:
        words.push_back({std::string("the TOV reports no product name to check the image (for "
                                     "the ") +
                             f.imageProduct + ") against",
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
            say("Note: " + w.finding + " (" + w.override + ")");
        } else if (asked && w.askable) {
            say("Warning: " + w.finding +
                ": the version is unknown; answer only if you are sure (" + w.override +
                " with --yes)");
        } else {
            session.refusals.push_back(w.finding + "; " + w.override + " upgrades it all the same");
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
            say("Refused: " + refusal);
        say(session.refusals.empty() ? "Checks: the upgrade would go ahead."
                                     : "Checks: the upgrade would be refused (status 7).");
        session.exitStatus = session.refusals.empty() ? kExitSuccess : kExitNothingDone;
    } else if (findings.clear()) {
        say(std::string("Checks: the image is newer than the TOV's version and made for the ") +
            findings.imageProduct + ".");
    }
    return session.refusals.empty() && !interrupted();
}

void sayImageDetails(const ImageLines& image) {
    std::string line = "Firmware image: version " + image.version + " for the " + image.product;
    line += image.testImage ? ", the test image (for simulated TOVs on 127.0.0.0/8 only)" : "";
    line += image.file.empty() ? ", carried by this program" : ", from " + image.file;
    say(line);
    say("  SHA-256: " + image.sha256);
    if (image.size != 0)
        say("  Size:    " + std::to_string(image.size) + " bytes");
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
        const std::string prompt =
            std::string(asked == 1 ? "" : "The TOV refused the password.\n") + "Password of user " +
            session.options.user + " on the TOV at " + session.options.address + ": ";
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
    say(std::string("Upgrade successful: the TOV at ") + deviceAddressText +
        " now reports software version " + softwareVersion + ".");
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
            session.tftpEndpoint = std::string(addressText(subject.tftpAddress).data()) +
                                   ", UDP port " + std::to_string(subject.tftpPort);
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
        say("Waiting for the TOV to ask for the firmware...");
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
    std::string line = "Uploading: " + std::to_string(bytes) + "/" + std::to_string(total) +
                       " bytes, " + std::to_string(percent) + " %, " + std::to_string(perSecond) +
                       " blocks/s";
    if (bytes > 0 && bytes < total && elapsed > 0) {
        const std::uint64_t left = std::uint64_t{total - bytes} * elapsed / bytes;
        line += ", " + std::to_string((left + 999) / 1000) + " s left";
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
        say("The TOV is installing the firmware and restarting.");
    }
    const std::uint32_t left = progress.elapsedMilliseconds < progress.totalMilliseconds
                                   ? progress.totalMilliseconds - progress.elapsedMilliseconds
                                   : 0;
    const int remaining = static_cast<int>(left / 1000);
    if (remaining == window->lastRemaining)
        return;
    const bool firstOrTenth = window->lastRemaining < 0 || remaining % 10 == 0;
    window->lastRemaining = remaining;
    const std::string line = "Waiting for the TOV to restart: " + std::to_string(remaining) + " s";
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
