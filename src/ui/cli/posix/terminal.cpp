// SPDX-License-Identifier: MIT
// The terminal on Linux: /dev/tty for questions, termios for a password, SIGINT for Ctrl-C.
#include "terminal.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/text.h"
#include "ui/translatable.h"

namespace {

std::atomic<bool> interruptSeen{false};
int secondInterruptStatus = 1;

// The terminal whose echo a password prompt turned off, and how it was; -1 when none is.
std::atomic<int> silencedTerminal{-1};
termios echoingSettings{};

void restoreEcho() {
    const int tty = silencedTerminal.exchange(-1);
    if (tty >= 0)
        ::tcsetattr(tty, TCSAFLUSH, &echoingSettings);
}

void onInterrupt(int) {
    if (interruptSeen.exchange(true)) {
        restoreEcho();
        ::_exit(secondInterruptStatus);
    }
}

// SIGTERM and SIGHUP end the program as they would have, once the echo is back on.
void onTermination(int signalNumber) {
    restoreEcho();
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

void endWithEchoRestored(int signalNumber) {
    struct sigaction action {};
    action.sa_handler = onTermination;
    sigemptyset(&action.sa_mask);
    ::sigaction(signalNumber, &action, nullptr);
}

} // namespace

bool outputIsTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}

int terminalColumns() {
    winsize size{};
    if (!outputIsTerminal() || ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

std::optional<std::string> askTerminal(const char* prompt, bool echo) {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0)
        return std::nullopt;
    termios saved{};
    const bool quiet = !echo && ::tcgetattr(tty, &saved) == 0;
    if (quiet) {
        echoingSettings = saved;
        endWithEchoRestored(SIGTERM);
        endWithEchoRestored(SIGHUP);
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        silencedTerminal = tty;
        ::tcsetattr(tty, TCSAFLUSH, &silent);
    }
    // Asked once echo is off, so nothing typed after the question is ever shown.
    [[maybe_unused]] const auto shown = ::write(tty, prompt, std::strlen(prompt));
    std::string line;
    line.reserve(1024); // never grown, so no copy of a password is left behind in freed memory
    bool ended = false;
    for (char c = 0;;) {
        const ssize_t n = ::read(tty, &c, 1);
        if (n <= 0 || interruptSeen) { // end of input, or Ctrl-C (EINTR)
            ended = true;
            break;
        }
        if (c == '\n')
            break;
        if (line.size() < 1024)
            line += c;
    }
    if (quiet) {
        restoreEcho();
        [[maybe_unused]] const auto newline = ::write(tty, "\n", 1);
    }
    ::close(tty);
    if (ended) {
        wipeText(line);
        return std::nullopt;
    }
    return line;
}

void watchInterrupts(int secondStatus) {
    secondInterruptStatus = secondStatus;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a read from the terminal returns at once
    ::sigaction(SIGINT, &action, nullptr);
}

bool interrupted() {
    return interruptSeen.load();
}

void protectSecrets() {
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
}

PasswordFile readPasswordFile(const std::string& path) {
    // Opened without blocking, so a FIFO or a device cannot hold the program here; what it is
    // is then asked of the open file itself.
    const int file = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0)
        return {PasswordFile::Status::unreadable, {}, {}};
    struct stat status {};
    PasswordFile result{PasswordFile::Status::read, {}, {}};
    if (::fstat(file, &status) != 0) {
        result.status = PasswordFile::Status::unreadable;
    } else if (!S_ISREG(status.st_mode)) {
        result = {PasswordFile::Status::refused, {}, N_("is not a regular file")};
    } else if ((status.st_mode & (S_IRGRP | S_IROTH)) != 0) {
        result = {PasswordFile::Status::refused,
                  {},
                  N_("can be read by others; refusing it (chmod go-r)")};
    } else {
        char buffer[1024];
        const ssize_t n = ::read(file, buffer, sizeof buffer);
        if (n <= 0) {
            result.status = PasswordFile::Status::unreadable;
        } else {
            std::string_view text(buffer, static_cast<std::size_t>(n));
            text = text.substr(0, text.find('\n'));
            if (!text.empty() && text.back() == '\r')
                text.remove_suffix(1);
            result.password.reserve(sizeof buffer);
            result.password.assign(text);
        }
        wipeText(std::span<char>(buffer));
    }
    ::close(file);
    return result;
}
