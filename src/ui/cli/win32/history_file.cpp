// SPDX-License-Identifier: MIT
// The history file on Windows: under %LOCALAPPDATA%.
#include "history_file.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>

std::optional<std::string> historyFilePath() {
    const char* local = std::getenv("LOCALAPPDATA");
    if (local == nullptr || local[0] == '\0')
        return std::nullopt;
    const std::filesystem::path folder = std::filesystem::path(local) / "tov-upgrade";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        return std::nullopt;
    return (folder / "history.jsonl").string();
}

bool appendLineWhole(const std::string& path, const std::string& line) {
    // Opened for appending, shared with nobody while the line goes out in one write.
    HANDLE file = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    for (int tries = 0; file == INVALID_HANDLE_VALUE && tries < 50; ++tries) {
        ::Sleep(20); // another run is writing its line
        file = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const std::string whole = line + "\n";
    DWORD written = 0;
    const bool ok =
        ::WriteFile(file, whole.data(), static_cast<DWORD>(whole.size()), &written, nullptr) != 0 &&
        written == whole.size();
    ::FlushFileBuffers(file);
    ::CloseHandle(file);
    return ok;
}
