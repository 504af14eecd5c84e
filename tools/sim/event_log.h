// SPDX-License-Identifier: MIT
// The device's event log: one JSON object per line, flushed per line, so tests can follow it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Builds one event: {"t":<ms since start>,"us":<microseconds since start>,"event":"<name>",...}.
// "us" lets a benchmark time single TFTP blocks, which take well under a millisecond on loopback.
class Event {
  public:
    explicit Event(std::string_view name);
    Event& text(std::string_view key, std::string_view value);
    Event& number(std::string_view key, std::int64_t value);
    Event& flag(std::string_view key, bool value);
    Event& texts(std::string_view key, const std::vector<std::string>& values);
    std::string line() const { return json_ + "}"; }

  private:
    void key(std::string_view name);
    std::string json_;
};

// Appends a JSON string literal for arbitrary bytes: control bytes and bytes of 128 and above
// are written as \u00XX, so the line stays valid UTF-8 whatever the network sent.
void appendJsonString(std::string& out, std::string_view bytes);

// Opens the log file (truncating it); false when it cannot be opened. Without it, events vanish.
bool openEventLog(const std::string& path);
void logEvent(const Event& event);
void closeEventLog();
