// The few services this program needs that differ between operating systems.
// Everything platform-specific lives behind these functions.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace platform {

// Whether the standard error or output stream is an interactive terminal.
bool StandardErrorIsTerminal();
bool StandardOutputIsTerminal();
// The width of that terminal in columns, or 0 when it cannot be told.
int StandardErrorColumns();
// Whether the terminal is taken to show UTF-8: the user's locale's character
// set is UTF-8 (always, on Windows, whose console the program sets to UTF-8).
bool TerminalShowsUtf8();

// The operating system's version as one 32-bit value: the major version in the
// lowest byte, the minor version in the next, the build number above them.
// Only Windows has such a value; elsewhere this returns 0.
std::uint32_t SystemVersionValue();

// One of the program's arguments: on Unix-like systems the bytes as they were
// given (a name need not be valid UTF-8), on Windows UTF-8. On Windows the
// program expands wildcards ("*.bmp", "dir\*.bmp") itself, as its shells leave
// them; the names a wildcard gave are files, even one that looks like an option.
struct Argument
{
    std::string text;
    bool expandedName = false;
};
std::vector<Argument> NativeArguments(int argc, char **argv);

// Readies the standard streams before anything else is opened. Streams that
// were closed when the program started are opened on the null device,
// read-only: nothing the program opens can take their place (a picture read
// as standard input, an output written through standard output), and a write
// to a closed standard output still fails as it should. On Windows the
// console shows UTF-8, the encoding of every line the program writes.
void PrepareStandardStreams();

// What tells a stream apart from another, for a stream that can be read only
// once: standard input (an empty path) or a path naming a pipe, a terminal, a
// socket or a device; nothing for anything else (files are read afresh each
// time). Two names of one stream ("-" and /dev/stdin) give the same text.
std::optional<std::string> StreamIdentity(const std::string &path);

// How reading a stream ended.
enum class StreamRead { Complete, Failed, Interrupted };
// All of standard input (an empty path), or of a path that names something
// read from start to end only, as standard input is: a pipe (a named one,
// /dev/fd/N, a process substitution) or a terminal. Standard input that was
// closed when the program started cannot be read (Failed). Nothing, having read
// nothing, when the path names anything else (a regular file, a folder), which
// is opened as a file. The path is opened once, so a pipe's writer sees one
// reader. A Ctrl+C ends the read at once: a stream may never end.
std::optional<StreamRead> ReadStream(const std::string &path, std::string &bytes);
// The parts, one after the other, to standard output, unchanged, until an
// empty one; the reason when writing failed.
std::error_code WriteStandardOutput(const std::function<std::string_view()> &nextPart);

// A write past the process's file-size limit then fails like a write to a full
// disk, and is reported and cleaned up as one, instead of ending the program.
void IgnoreFileSizeSignal();

// The signals that end a program. Every signal whose default is to end it,
// TERM, HUP, QUIT, PIPE, ALRM and USR1 among them, ends it at once: the
// temporary files being written, if any, are removed, and the program then
// ends by that same signal, so that whoever started it sees how it ended.
// With Interrupt::StopsAtSafePoint the first Ctrl+C only asks the program to
// stop at its next safe point (InterruptRequested), and a second one ends it.
// A signal that was ignored when the program started (a background job of a
// script, nohup, a pipe's reader gone with SIGPIPE ignored) stays ignored.
// KILL cannot be caught, and the signals of the program's own faults are left
// to the system: those may leave a temporary file behind.
enum class Interrupt { EndsAtOnce, StopsAtSafePoint };
void CatchSignals(Interrupt interrupt);
bool InterruptRequested();

// Ends the program as an interrupted program ends, so that a shell running it
// in a loop stops as well and reports status 130.
[[noreturn]] void EndAsInterrupted();

} // namespace platform
