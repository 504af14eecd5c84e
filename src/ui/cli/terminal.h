// SPDX-License-Identifier: MIT
// The terminal the command-line program talks to: whether there is one, reading a line from it
// (with or without echo), and Ctrl-C. One file per platform.
#pragma once

#include <optional>
#include <string>

// Whether standard output is a terminal (progress lines then redraw in place).
bool outputIsTerminal();
// The terminal's width in columns; 0 when standard output is no terminal.
int terminalColumns();

// Reads one line (without its line end) from the controlling terminal, after showing `prompt`
// on it; none when there is no terminal, or on Ctrl-C or end of input.
// A SIGTERM or SIGHUP while echo is off turns it back on before the program ends.
std::optional<std::string> askTerminal(const char* prompt, bool echo);

// Keeps secrets out of core dumps and from other processes of the user (Linux: not dumpable, no
// core file). Called before any password is read.
void protectSecrets();

// From now on the first Ctrl-C (SIGINT, or the console's Ctrl-C or Ctrl-Break) only marks an
// interruption; a second one ends the program at once with `secondStatus`.
void watchInterrupts(int secondStatus);
bool interrupted();

// The first line of a password file. Refused (without blocking, whatever the path names) unless
// it is a regular file that only its owner may read (Linux: no group or other read bit; Windows
// guards files with access lists).
struct PasswordFile {
    enum class Status { read, refused, unreadable } status;
    std::string password; // when read
    std::string reason;   // when refused: what is wrong with it (N_(), to be translated)
};
PasswordFile readPasswordFile(const std::string& path);
