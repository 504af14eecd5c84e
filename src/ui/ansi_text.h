// SPDX-License-Identifier: MIT
// The program's texts are 8-bit ANSI (Windows code page 1252), as the device and the Windows
// program use them; GTK, terminals and JSON want Unicode. One mapping for all of them.
#pragma once

#include <string>
#include <string_view>

// The character a byte of code page 1252 stands for; U+FFFD for the five bytes it leaves unused.
char32_t ansiCharacter(unsigned char byte);
// Appends the UTF-8 form of a character of the basic plane.
void appendUtf8(std::string& out, char32_t c);

// For display: code page 1252 to UTF-8, each "\r\n" becoming one line break.
std::string displayText(std::string_view ansi);

// What the user typed, back to code page 1252; a character the code page lacks becomes "?", as
// Windows does when it reads an entry field as ANSI text.
std::string ansiText(std::string_view utf8);

// For a terminal: a device's text made inert. Every control character (C0, DEL) and every byte
// the code page leaves unused becomes "?", the rest is UTF-8: nothing a device sends can move the
// cursor, retitle or clear the terminal, or reach its clipboard.
std::string terminalText(std::string_view ansi);
