// SPDX-License-Identifier: MIT
// JSON-lines event log shared by the web server and the TFTP thread.
#include "event_log.h"

#include <chrono>
#include <cstdio>
#include <mutex>

namespace {

std::mutex logMutex;
std::FILE* logFile = nullptr;
const auto startTime = std::chrono::steady_clock::now();

std::chrono::steady_clock::duration sinceStart() {
    return std::chrono::steady_clock::now() - startTime;
}

} // namespace

void appendJsonString(std::string& out, std::string_view bytes) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b >= 0x7f) {
            out += "\\u00";
            out += hex[b >> 4];
            out += hex[b & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

Event::Event(std::string_view name) {
    // Both from one reading of the clock, so "us" refines "t" and never contradicts it.
    using std::chrono::duration_cast;
    const auto since = sinceStart();
    json_ = "{\"t\":" + std::to_string(duration_cast<std::chrono::milliseconds>(since).count());
    json_ += ",\"us\":" + std::to_string(duration_cast<std::chrono::microseconds>(since).count());
    text("event", name);
}

void Event::key(std::string_view name) {
    json_ += ',';
    appendJsonString(json_, name);
    json_ += ':';
}

Event& Event::text(std::string_view name, std::string_view value) {
    key(name);
    appendJsonString(json_, value);
    return *this;
}

Event& Event::number(std::string_view name, std::int64_t value) {
    key(name);
    json_ += std::to_string(value);
    return *this;
}

Event& Event::flag(std::string_view name, bool value) {
    key(name);
    json_ += value ? "true" : "false";
    return *this;
}

Event& Event::texts(std::string_view name, const std::vector<std::string>& values) {
    key(name);
    json_ += '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            json_ += ',';
        appendJsonString(json_, values[i]);
    }
    json_ += ']';
    return *this;
}

bool openEventLog(const std::string& path) {
    std::lock_guard lock(logMutex);
    logFile = std::fopen(path.c_str(), "w");
    return logFile != nullptr;
}

void logEvent(const Event& event) {
    std::lock_guard lock(logMutex);
    if (logFile == nullptr)
        return;
    const std::string line = event.line() + "\n";
    std::fwrite(line.data(), 1, line.size(), logFile);
    std::fflush(logFile);
}

void closeEventLog() {
    std::lock_guard lock(logMutex);
    if (logFile != nullptr)
        std::fclose(logFile);
    logFile = nullptr;
}
