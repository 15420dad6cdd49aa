// The few services this program needs that differ between operating systems.
// Everything platform-specific lives behind these functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Whether the standard error stream is an interactive terminal.
bool StandardErrorIsTerminal();
// The width of that terminal in columns, or 0 when it cannot be told.
int StandardErrorColumns();

// The operating system's version as one 32-bit value: the major version in the
// lowest byte, the minor version in the next, the build number above them.
// Only Windows has such a value; elsewhere this returns 0.
std::uint32_t SystemVersionValue();

// The program's arguments as file names: on Unix-like systems the bytes as
// they were given (a name need not be valid UTF-8), on Windows UTF-8.
std::vector<std::string> NativeArguments(int argc, char **argv);

// All of standard input, and all of `bytes` to standard output, unchanged;
// false when reading or writing failed.
bool ReadStandardInput(std::string &bytes);
bool WriteStandardOutput(std::string_view bytes);

// A write past the process's file-size limit then fails like a write to a full
// disk, and is reported and cleaned up as one, instead of ending the program.
void IgnoreFileSizeSignal();

// Ctrl+C: the first one asks the program to stop at its next safe point, a
// second one ends it at once. An interrupt that was ignored when the program
// started (a background job of a script) stays ignored.
void CatchInterrupt();
bool InterruptRequested();
// Ends the program as an interrupted program ends, so that a shell running it
// in a loop stops as well and reports status 130.
[[noreturn]] void EndAsInterrupted();

} // namespace platform
