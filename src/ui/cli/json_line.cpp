// SPDX-License-Identifier: MIT
// JSON lines.
#include "json_line.h"

#include <chrono>
#include <cstdio>
#include <mutex>

#include "ui/ansi_text.h"

namespace {

std::mutex addressMutex;
std::string jsonAddress;

// The civil date of a day counted from 1970-01-01 (the proleptic Gregorian calendar).
void civilDate(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2);
}

} // namespace

void setJsonAddress(std::string_view address) {
    std::lock_guard lock(addressMutex);
    jsonAddress = address;
}

std::string utcTimestamp() {
    using namespace std::chrono;
    const auto sinceEpoch =
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    const std::int64_t days = (sinceEpoch >= 0 ? sinceEpoch : sinceEpoch - 86399999) / 86400000;
    const std::int64_t inDay = sinceEpoch - days * 86400000;
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civilDate(days, year, month, day);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ",
                  static_cast<long long>(year), month, day, static_cast<long long>(inDay / 3600000),
                  static_cast<long long>(inDay / 60000 % 60),
                  static_cast<long long>(inDay / 1000 % 60), static_cast<long long>(inDay % 1000));
    return text;
}

JsonLine::JsonLine(std::string_view step) : text_("{\"step\":" + jsonString(step)) {
    number("schema", kJsonSchema);
    text("time", utcTimestamp());
    std::lock_guard lock(addressMutex);
    text("address", jsonAddress);
}

void JsonLine::key(std::string_view name) {
    text_ += ',';
    text_ += jsonString(name);
    text_ += ':';
}

JsonLine& JsonLine::text(std::string_view name, std::string_view value) {
    key(name);
    text_ += jsonString(value);
    return *this;
}

JsonLine& JsonLine::number(std::string_view name, std::int64_t value) {
    key(name);
    text_ += std::to_string(value);
    return *this;
}

std::string jsonString(std::string_view value) {
    std::string out = "\"";
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x7f) {
            // The device's texts are 8-bit: each byte is the character code page 1252 gives it,
            // as the Windows and GTK programs show it (all of them within the basic plane).
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x",
                          static_cast<unsigned>(ansiCharacter(byte)));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}
