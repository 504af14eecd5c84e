// SPDX-License-Identifier: MIT
// The terminal on Windows: the console (CONIN$/CONOUT$) for questions, its input mode for a
// password, the console's control handler for Ctrl-C.
#include "terminal.h"

#include "base/text.h"

#include <windows.h>

#include <io.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

std::atomic<bool> interruptSeen{false};
int secondInterruptStatus = 1;

BOOL WINAPI onControl(DWORD kind) {
    if (kind != CTRL_C_EVENT && kind != CTRL_BREAK_EVENT)
        return FALSE;
    if (interruptSeen.exchange(true))
        ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(secondInterruptStatus));
    return TRUE;
}

} // namespace

bool outputIsTerminal() {
    return ::_isatty(::_fileno(stdout)) != 0;
}

int terminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!outputIsTerminal() ||
        !::GetConsoleScreenBufferInfo(::GetStdHandle(STD_OUTPUT_HANDLE), &info))
        return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

std::optional<std::string> askTerminal(const char* prompt, bool echo) {
    HANDLE in = ::CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    HANDLE out = ::CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE) {
        if (in != INVALID_HANDLE_VALUE)
            ::CloseHandle(in);
        if (out != INVALID_HANDLE_VALUE)
            ::CloseHandle(out);
        return std::nullopt;
    }
    DWORD written = 0;
    ::WriteConsoleA(out, prompt, static_cast<DWORD>(std::strlen(prompt)), &written, nullptr);
    DWORD saved = 0;
    const bool quiet = !echo && ::GetConsoleMode(in, &saved);
    if (quiet)
        ::SetConsoleMode(in, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    std::string line;
    bool ended = false;
    for (;;) {
        char c = 0;
        DWORD read = 0;
        if (!::ReadConsoleA(in, &c, 1, &read, nullptr) || read == 0 || interruptSeen) {
            ended = true;
            break;
        }
        if (c == '\n')
            break;
        if (c != '\r' && line.size() < 1024)
            line += c;
    }
    if (quiet) {
        ::SetConsoleMode(in, saved);
        ::WriteConsoleA(out, "\r\n", 2, &written, nullptr);
    }
    ::CloseHandle(in);
    ::CloseHandle(out);
    if (ended)
        return std::nullopt;
    return line;
}

void watchInterrupts(int secondStatus) {
    secondInterruptStatus = secondStatus;
    ::SetConsoleCtrlHandler(onControl, TRUE);
}

bool interrupted() {
    return interruptSeen.load();
}

// Core dumps are not written for console programs unless the user set that up.
void protectSecrets() {}

// Windows guards files with access lists rather than mode bits; a user's own folders are
// private to the user already.
PasswordFile readPasswordFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return {error ? PasswordFile::Status::unreadable : PasswordFile::Status::refused,
                {},
                "is not a regular file"};
    std::ifstream file(path, std::ios::binary);
    PasswordFile result{PasswordFile::Status::read, {}, {}};
    result.password.reserve(1024);
    if (!file || !std::getline(file, result.password)) {
        wipeText(result.password);
        return {PasswordFile::Status::unreadable, {}, {}};
    }
    if (!result.password.empty() && result.password.back() == '\r')
        result.password.pop_back();
    return result;
}
