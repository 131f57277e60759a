#pragma once

// What the command-line tool needs from the system's console, on Windows and
// on POSIX systems alike.

#include <string_view>

// Russian texts print right (Windows' console is set to UTF-8), and a closed
// standard output changes no result (no SIGPIPE).
void PrepareConsole();

// From now on Ctrl-C (and SIGTERM, or closing the console on Windows) only
// sets the flag that Interrupted() reads; the tool winds up by itself.
void CatchInterrupts();
bool Interrupted();

// Whether standard error is a terminal, where progress is drawn as a bar.
bool ErrorIsTerminal();

// What to check when a port cannot be opened, for this system.
std::string_view PortOpenHint();
