// SPDX-License-Identifier: MIT
// The history file on Linux: under $XDG_STATE_HOME, or ~/.local/state.
#include "history_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

bool makeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

} // namespace

std::optional<std::string> historyFilePath() {
    std::string state;
    const char* xdg = std::getenv("XDG_STATE_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        state = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] != '/')
            return std::nullopt;
        state = std::string(home) + "/.local";
        if (!makeFolder(state))
            return std::nullopt;
        state += "/state";
    }
    const std::string folder = state + "/tov-upgrade";
    if (!makeFolder(state) || !makeFolder(folder))
        return std::nullopt;
    return folder + "/history.jsonl";
}

bool appendLineWhole(const std::string& path, const std::string& line) {
    const int file = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (file < 0)
        return false;
    ::flock(file, LOCK_EX);
    const std::string whole = line + "\n";
    const bool written =
        ::write(file, whole.data(), whole.size()) == static_cast<ssize_t>(whole.size());
    ::fsync(file);
    ::close(file);
    return written;
}
