// The user-interface seam in a terminal: the dialogs become lines and questions, the progress
// windows progress lines (redrawn in place on a terminal, a line every 10 % otherwise), and
// Ctrl-C is every window's Cancel.
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

#include "base/text.h"
#include "cli_session.h"
#include "json_line.h"
#include "platform/platform.h"
#include "terminal.h"
#include "ui/ansi_text.h"
#include "ui/dialog_texts.h"
#include "ui/messages.h"
#include "ui/ui.h"

namespace {

// Lines come from the main thread and the TFTP thread.
std::mutex outputMutex;
bool progressLineOpen = false; // a line being redrawn in place on the terminal

OutputMode mode() {
    return cliSession().options.output;
}

// Ends a line being redrawn, so what follows starts on a line of its own. Under outputMutex.
void closeProgressLine() {
    if (progressLineOpen)
        std::fputs("\n", stdout);
    progressLineOpen = false;
}

// Every line goes out inert: the device's values are in many of them.
void say(const std::string& line) {
    if (mode() != OutputMode::human)
        return;
    std::lock_guard lock(outputMutex);
    closeProgressLine();
    std::fputs((terminalText(line) + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void emit(const JsonLine& line) {
    if (mode() != OutputMode::json)
        return;
    std::lock_guard lock(outputMutex);
    std::fputs((line.str() + "\n").c_str(), stdout);
    std::fflush(stdout);
}

// A progress line: redrawn in place on a terminal; a line of its own otherwise.
void sayProgress(const std::string& text) {
    if (mode() != OutputMode::human)
        return;
    std::lock_guard lock(outputMutex);
    if (outputIsTerminal()) {
        std::fputs(("\r" + text + "    ").c_str(), stdout);
        progressLineOpen = true;
    } else {
        std::fputs((text + "\n").c_str(), stdout);
    }
    std::fflush(stdout);
}

// The program's texts carry their own line breaks for the dialogs; a terminal wraps by itself.
std::string oneParagraph(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r')
            continue;
        out += text[i] == '\n' ? ' ' : text[i];
    }
    return out;
}

// A password prompt ended by Ctrl-C is the user's Cancel, whatever the device said before.
Failure asTheUserSawIt(Failure reason) {
    const bool atPasswordPrompt =
        reason == Failure::passwordNotGiven || reason == Failure::passwordRefused;
    return atPasswordPrompt && interrupted() ? Failure::userAbort : reason;
}

// What the terminal says of a failure: the dialog's words, or clearer ones where the dialog's
// "User Abort" would hide what happened.
std::string failureWords(const UpgradeFailure& failure) {
    switch (failure.reason) {
    case Failure::passwordRefused:
        return "the TOV refused the password for user admin";
    case Failure::passwordNotGiven:
        return "no password: the TOV asks for one; use --password-file or --password-stdin";
    case Failure::cancelledWhileInstalling:
        return "stopped waiting: the TOV holds the whole image and is installing it; its new "
               "version is not confirmed";
    default:
        break;
    }
    return failureText(failure).data();
}

} // namespace

struct ProgressWindowState {
    ProgressKind kind;
    bool settling = false;
    std::uint32_t uploadStart = 0;
    int nextDecile = 0;     // the next tenth of the upload to report off a terminal
    int lastRemaining = -1; // seconds of the settling wait last shown
};

CliSession& cliSession() {
    static CliSession session;
    return session;
}

void initUiControls() {}

void showErrorBox(const UpgradeFailure& failure) {
    CliSession& session = cliSession();
    UpgradeFailure seen = failure;
    seen.reason = asTheUserSawIt(failure.reason);
    session.exitStatus = exitStatusFor(seen.reason);
    const std::string words = failureWords(seen);
    if (mode() == OutputMode::json) {
        emit(JsonLine("failure")
                 .text("message", words)
                 .text("reason", failureName(seen.reason))
                 .number("status", session.exitStatus));
        return;
    }
    std::lock_guard lock(outputMutex);
    closeProgressLine();
    std::fflush(stdout);
    std::fprintf(stderr, "tov-upgrade-cli: %s\n", terminalText(words).c_str());
    std::fflush(stderr);
}

bool runNoticeDialog(const char*) {
    say(oneParagraph(kOpeningWarningText));
    say("");
    emit(JsonLine("notice").text("text", oneParagraph(kOpeningWarningText)));
    return !interrupted();
}

bool runAddressDialog(const AddressDialogView& view, AddressChoice& choice) {
    CliSession& session = cliSession();
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
            std::fprintf(stderr,
                         "tov-upgrade-cli: %s is not an address of this computer (it has: %s)\n",
                         session.options.localAddress->c_str(), known.c_str());
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
    const CliSession& session = cliSession();
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
             .text("image_version", imageVersion));
    if (interrupted())
        return false;
    if (session.options.yes)
        return true;
    const auto answer = askTerminal("Upgrade? [y/N] ", true);
    if (!answer) {
        if (!interrupted())
            std::fputs("tov-upgrade-cli: no terminal to ask for confirmation; use --yes\n", stderr);
        return false;
    }
    return !answer->empty() && (answer->front() == 'y' || answer->front() == 'Y');
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
        const std::string prompt = std::string(asked == 1 ? "" : "The TOV refused the password. ") +
                                   "Administrator password for the TOV at " +
                                   session.options.address + ": ";
        password = askTerminal(prompt.c_str(), false);
    }
    if (!password)
        return false;
    storeCredentials("admin", *password, credentials);
    wipeText(*password);
    return true;
}

void runSuccessDialog(const char* deviceAddressText, const char* softwareVersion) {
    cliSession().exitStatus = kExitSuccess;
    say(std::string("Upgrade successful: the TOV at ") + deviceAddressText +
        " now reports software version " + softwareVersion + ".");
    emit(JsonLine("success").text("software_version", softwareVersion));
}

ProgressWindow openProgressWindow(const ProgressSubject& subject) {
    auto* window = new ProgressWindowState{subject.kind};
    switch (subject.kind) {
    case ProgressKind::connecting: {
        const DialogTitle title = progressTitle(subject);
        say(std::string(title.data()) + "...");
        emit(JsonLine("connecting").text("title", title.data()));
        break;
    }
    case ProgressKind::waiting:
        say("Waiting for the TOV to ask for the firmware...");
        emit(JsonLine("waiting"));
        break;
    case ProgressKind::uploading:
        window->uploadStart = millisecondClock();
        break;
    }
    return window;
}

void showUploadProgress(ProgressWindow window, const UploadProgress& progress) {
    const std::uint32_t bytes = progress.bytesAcknowledged;
    const std::uint32_t total = progress.imageSize;
    const int percent = total == 0 ? 100 : static_cast<int>(std::uint64_t{bytes} * 100 / total);
    const std::uint32_t elapsed = millisecondClock() - window->uploadStart;
    const std::uint64_t blocks = progress.blocksAcknowledged;
    const auto perSecond = static_cast<std::int64_t>(elapsed == 0 ? 0 : blocks * 1000 / elapsed);
    const std::string line = "Uploading: " + std::to_string(bytes) + "/" + std::to_string(total) +
                             " bytes, " + std::to_string(percent) + " %, " +
                             std::to_string(perSecond) + " blocks/s";
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

bool progressCancelled(ProgressWindow) {
    return interrupted();
}

void destroyProgressWindow(ProgressWindow window) {
    if (window->kind == ProgressKind::uploading) {
        std::lock_guard lock(outputMutex);
        closeProgressLine();
    }
    delete window;
}
