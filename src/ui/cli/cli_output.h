// SPDX-License-Identifier: MIT
// What the terminal program prints, from both threads: plain lines and wrapped paragraphs on
// standard output (human mode), progress lines redrawn in place on a terminal, JSON lines
// (--json), and error lines on standard error. Every text is printed inert.
#pragma once

#include <string>
#include <string_view>

#include "json_line.h"
#include "ui/translation.h"

// A line of its own (human mode only).
void say(const std::string& line);
// A paragraph wrapped at spaces to the terminal's width (80 columns off a terminal).
void sayParagraph(std::string_view text);
// A progress line: redrawn in place on a terminal, fitted to its width; a line of its own
// otherwise.
void sayProgress(const std::string& text);
// Ends a progress line being redrawn, so what follows starts on a line of its own.
void endProgressLine();
// One JSON line (--json only).
void emit(const JsonLine& line);
// "tov-upgrade-cli: <text>" on standard error, in every mode.
void sayError(const std::string& text);

// A template (from translated()) with the values put in, as printf puts them.
std::string filled(const char* form, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The words of a paragraph broken into lines of at most `width` columns (a longer word stands
// alone on its line); "\r\n" and "\n" count as spaces.
std::string wrapParagraph(std::string_view text, std::size_t width);
// The line cut to at most `width` columns (counting UTF-8 characters).
std::string fitToWidth(const std::string& line, std::size_t width);
