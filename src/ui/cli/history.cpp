// SPDX-License-Identifier: MIT
// The upgrade history: its lines, and --history's table.
#include "history.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <vector>

#include "base/text.h"
#include "exit_status.h"
#include "history_file.h"
#include "json_line.h"
#include "ui/ansi_text.h"
#include "ui/translation.h"

namespace {

using Fields = std::map<std::string, std::string>;

// A history line is shown as printable text only: anything else becomes "?".
void appendShown(std::string& out, char32_t c) {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0xFFFD)
        out += '?';
    else
        appendUtf8(out, c);
}

// A JSON string at `at` (its opening quote), its escapes decoded; none when malformed.
std::optional<std::string> readString(const std::string& line, std::size_t& at) {
    if (at >= line.size() || line[at] != '"')
        return std::nullopt;
    std::string out;
    for (++at; at < line.size(); ++at) {
        const char c = line[at];
        if (c == '"') {
            ++at;
            return out;
        }
        if (c != '\\') {
            appendShown(out, static_cast<unsigned char>(c));
            continue;
        }
        if (++at >= line.size())
            return std::nullopt;
        if (line[at] != 'u') {
            out += line[at] == 'n' ? '?' : line[at]; // \" \\ \/ and the like
            continue;
        }
        if (at + 4 >= line.size())
            return std::nullopt;
        unsigned code = 0;
        for (int i = 1; i <= 4; ++i) {
            const int digit = hexDigitValue(line[at + i]);
            if (digit < 0)
                return std::nullopt;
            code = code * 16 + static_cast<unsigned>(digit);
        }
        appendShown(out, code);
        at += 4;
    }
    return std::nullopt;
}

// A flat object of strings and numbers; none when the line is anything else.
std::optional<Fields> readObject(const std::string& line) {
    Fields fields;
    std::size_t at = 0;
    if (line.empty() || line[at++] != '{')
        return std::nullopt;
    while (at < line.size() && line[at] != '}') {
        if (!fields.empty() && line[at++] != ',')
            return std::nullopt;
        const auto key = readString(line, at);
        if (!key || at >= line.size() || line[at++] != ':')
            return std::nullopt;
        std::string value;
        if (at < line.size() && line[at] == '"') {
            const auto text = readString(line, at);
            if (!text)
                return std::nullopt;
            value = *text;
        } else {
            while (at < line.size() && ((line[at] >= '0' && line[at] <= '9') || line[at] == '-'))
                value += line[at++];
        }
        fields[*key] = value;
    }
    return fields;
}

std::string column(const std::string& text, std::size_t width) {
    std::string out = text;
    std::size_t columns = 0;
    for (const char c : out)
        columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (columns < width)
        out.append(width - columns, ' ');
    return out;
}

} // namespace

std::string historyLine(const UpgradeRecord& record) {
    return JsonLine("upgrade")
        .text("product_name", record.productName)
        .text("mac_address", record.macAddress)
        .text("serial_number", record.serialNumber)
        .text("version_before", record.versionBefore)
        .text("version_after", record.versionAfter)
        .text("image_version", record.imageVersion)
        .text("outcome", record.outcome)
        .number("status", record.exitStatus)
        .str();
}

bool appendToHistory(const UpgradeRecord& record) {
    const auto path = historyFilePath();
    return path && appendLineWhole(*path, historyLine(record));
}

int printHistory(bool json) {
    const auto path = historyFilePath();
    std::ifstream file(path.value_or(""));
    if (!path || !file) {
        if (!json)
            std::printf("%s\n", displayText(translated("No upgrades recorded yet.")).c_str());
        return kExitSuccess;
    }
    // The headings in the user's language; each column is as wide as before (the translations
    // fit), and the values below them, the outcomes among them, stay as recorded.
    const auto heading = [](const char* text) { return displayText(translated(text)); };
    if (!json)
        std::printf("%s\n", (column(heading(N_("TIME")), 25) + column(heading(N_("ADDRESS")), 16) +
                             column(heading(N_("PRODUCT")), 15) +
                             column(heading(N_("BEFORE")), 12) + column(heading(N_("AFTER")), 12) +
                             column(heading(N_("IMAGE")), 12) + heading(N_("OUTCOME")))
                                .c_str());
    std::string line;
    while (std::getline(file, line)) {
        bool printable = true;
        for (const char c : line)
            printable = printable && c >= 0x20 && c < 0x7F;
        const auto fields = printable ? readObject(line) : std::nullopt;
        if (!fields)
            continue; // not a line of ours
        if (json) {
            std::printf("%s\n", line.c_str());
            continue;
        }
        const auto field = [&](const char* name) {
            const auto found = fields->find(name);
            return found == fields->end() || found->second.empty() ? std::string("-")
                                                                   : found->second;
        };
        std::printf("%s\n",
                    (column(field("time"), 25) + column(field("address"), 16) +
                     column(field("product_name"), 15) + column(field("version_before"), 12) +
                     column(field("version_after"), 12) + column(field("image_version"), 12) +
                     field("outcome") + " (" + field("status") + ")")
                        .c_str());
    }
    return kExitSuccess;
}
