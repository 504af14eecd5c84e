// JSON lines.
#include "json_line.h"

#include <cstdio>

#include "ui/ansi_text.h"

JsonLine::JsonLine(std::string_view step) : text_("{\"step\":" + jsonString(step)) {}

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
