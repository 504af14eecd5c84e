// SPDX-License-Identifier: MIT
// One JSON object a line, for scripts (--json) and the upgrade history. Every line of a run
// carries the schema version, the time and the address it is about, so lines of several runs
// interleaved (xargs -P) still say which TOV each is about.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr int kJsonSchema = 1;

// The address every line names from now on (the TOV, as typed).
void setJsonAddress(std::string_view address);

class JsonLine {
  public:
    // {"step":..,"schema":1,"time":..,"address":..
    explicit JsonLine(std::string_view step);
    JsonLine& text(std::string_view key, std::string_view value);
    JsonLine& number(std::string_view key, std::int64_t value);
    // The finished object, without the newline.
    std::string str() const { return text_ + "}"; }

  private:
    void key(std::string_view name);
    std::string text_;
};

// The value as a JSON string, quotes included: every byte that is not printable ASCII is
// escaped (by code page 1252), so any device text stays one line of valid JSON.
std::string jsonString(std::string_view value);

// Now, as RFC 3339 in UTC with milliseconds: "2026-12-08T03:28:07.123Z".
std::string utcTimestamp();
