// The terminal the command-line program talks to: whether there is one, reading a line from it
// (with or without echo), and Ctrl-C. One file per platform.
#pragma once

#include <optional>
#include <string>

// Whether standard output is a terminal (progress lines then redraw in place).
bool outputIsTerminal();

// Reads one line (without its line end) from the controlling terminal, after showing `prompt`
// on it; none when there is no terminal, or on Ctrl-C or end of input.
std::optional<std::string> askTerminal(const char* prompt, bool echo);



// From now on the first Ctrl-C (SIGINT, or the console's Ctrl-C or Ctrl-Break) only marks an
// interruption; a second one ends the program at once with `secondStatus`.
void watchInterrupts(int secondStatus);
bool interrupted();

// Whether users other than the file's owner may read it (a password file must not be).
bool readableByOthers(const std::string& path);
