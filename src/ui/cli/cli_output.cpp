// SPDX-License-Identifier: MIT
// Printing for the terminal program; one lock, since lines come from the main and TFTP threads.
#include "cli_output.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

#include "cli_session.h"
#include "terminal.h"
#include "ui/ansi_text.h"

namespace {

std::mutex outputMutex;
std::size_t drawnProgress = 0; // columns of the progress line being redrawn; 0 when none

OutputMode mode() {
    return cliSession().options.output;
}

std::size_t width() {
    const int columns = terminalColumns();
    return columns > 0 ? static_cast<std::size_t>(columns) : 80;
}

// Under outputMutex.
void closeProgressLine() {
    if (drawnProgress > 0)
        std::fputs("\n", stdout);
    drawnProgress = 0;
}

std::size_t columnsOf(const std::string& text) {
    std::size_t columns = 0;
    for (const char c : text)
        columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80; // UTF-8 lead bytes
    return columns;
}

} // namespace

std::string wrapParagraph(std::string_view text, std::size_t lineWidth) {
    std::string out;
    std::size_t lineLength = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\r' || text[at] == '\n'))
            ++at;
        std::size_t end = at;
        while (end < text.size() && text[end] != ' ' && text[end] != '\r' && text[end] != '\n')
            ++end;
        if (end == at)
            break;
        const std::string_view word = text.substr(at, end - at);
        if (lineLength > 0 && lineLength + 1 + word.size() > lineWidth) {
            out += '\n';
            lineLength = 0;
        } else if (lineLength > 0) {
            out += ' ';
            ++lineLength;
        }
        out += word;
        lineLength += word.size();
        at = end;
    }
    return out;
}

std::string fitToWidth(const std::string& line, std::size_t lineWidth) {
    std::string out;
    std::size_t columns = 0;
    for (const char c : line) {
        const bool lead = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        if (lead && ++columns > lineWidth)
            break;
        out += c;
    }
    return out;
}

namespace {

// Under outputMutex: the text's lines, each inert.
void printLines(const std::string& wrapped) {
    std::size_t at = 0;
    while (at <= wrapped.size()) {
        const std::size_t end = std::min(wrapped.find('\n', at), wrapped.size());
        std::fputs((terminalText(wrapped.substr(at, end - at)) + "\n").c_str(), stdout);
        at = end + 1;
    }
}

} // namespace

void say(const std::string& line) {
    if (mode() != OutputMode::human)
        return;
    // On a terminal a line too long for it breaks at spaces, not wherever the width falls.
    const int columns = terminalColumns();
    const bool wrap = columns > 0 && line.size() > static_cast<std::size_t>(columns);
    std::lock_guard lock(outputMutex);
    closeProgressLine();
    printLines(wrap ? wrapParagraph(line, static_cast<std::size_t>(columns)) : line);
    std::fflush(stdout);
}

void sayParagraph(std::string_view text) {
    if (mode() != OutputMode::human)
        return;
    const std::string wrapped = wrapParagraph(text, width());
    std::lock_guard lock(outputMutex);
    closeProgressLine();
    printLines(wrapped); // line by line: the breaks stay breaks, the rest goes out inert
    std::fflush(stdout);
}

void sayProgress(const std::string& text) {
    if (mode() != OutputMode::human)
        return;
    std::lock_guard lock(outputMutex);
    if (!outputIsTerminal()) {
        std::fputs((terminalText(text) + "\n").c_str(), stdout);
        std::fflush(stdout);
        return;
    }
    // One column short of the width, so the terminal never wraps the line; the rest of a longer
    // line drawn before is blanked.
    const std::string line = fitToWidth(terminalText(text), width() - 1);
    const std::size_t columns = columnsOf(line);
    std::string drawn = "\r" + line;
    if (columns < drawnProgress)
        drawn.append(drawnProgress - columns, ' ');
    std::fputs(drawn.c_str(), stdout);
    drawnProgress = std::max<std::size_t>(columns, 1);
    std::fflush(stdout);
}

void endProgressLine() {
    std::lock_guard lock(outputMutex);
    closeProgressLine();
    std::fflush(stdout);
}

void emit(const JsonLine& line) {
    if (mode() != OutputMode::json)
        return;
    std::lock_guard lock(outputMutex);
    std::fputs((line.str() + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void sayError(const std::string& text) {
    std::lock_guard lock(outputMutex);
    closeProgressLine();
    std::fflush(stdout);
    std::fprintf(stderr, "tov-upgrade-cli: %s\n", terminalText(text).c_str());
    std::fflush(stderr);
}

std::string filled(const char* form, ...) {
    va_list values;
    va_start(values, form);
    va_list again;
    va_copy(again, values);
    const int length = std::vsnprintf(nullptr, 0, form, values);
    va_end(values);
    std::vector<char> text(length > 0 ? static_cast<std::size_t>(length) + 1 : 1);
    if (length > 0)
        std::vsnprintf(text.data(), text.size(), form, again);
    va_end(again);
    return text.data();
}
