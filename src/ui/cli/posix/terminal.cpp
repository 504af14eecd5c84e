// The terminal on Linux: /dev/tty for questions, termios for a password, SIGINT for Ctrl-C.
#include "terminal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::atomic<bool> interruptSeen{false};
int secondInterruptStatus = 1;

void onInterrupt(int) {
    if (interruptSeen.exchange(true))
        ::_exit(secondInterruptStatus);
}

} // namespace

bool outputIsTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}

std::optional<std::string> askTerminal(const char* prompt, bool echo) {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0)
        return std::nullopt;
    [[maybe_unused]] const auto shown = ::write(tty, prompt, std::strlen(prompt));
    termios saved{};
    const bool quiet = !echo && ::tcgetattr(tty, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(tty, TCSAFLUSH, &silent);
    }
    std::string line;
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
        ::tcsetattr(tty, TCSAFLUSH, &saved);
        [[maybe_unused]] const auto newline = ::write(tty, "\n", 1);
    }
    ::close(tty);
    if (ended)
        return std::nullopt;
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

bool readableByOthers(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && (status.st_mode & S_IROTH) != 0;
}
