// The program's texts are 8-bit ANSI (Windows code page 1252), as the device and the Windows
// program use them; GTK wants UTF-8. These convert between the two.
#pragma once

#include <string>
#include <string_view>

// For display: code page 1252 to UTF-8, each "\r\n" becoming one line break.
std::string displayText(std::string_view ansi);

// What the user typed, back to code page 1252; a character the code page lacks becomes "?", as
// Windows does when it reads an entry field as ANSI text.
std::string ansiText(std::string_view utf8);
