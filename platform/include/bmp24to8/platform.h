// The operating system's services, as the program needs them: everything that
// differs between systems lives behind these functions, in posix.cpp and
// windows.cpp (and the system's calls of the writer, in replacefile.cpp).
// Paths are as the system spells them: bytes on Unix-like systems, where a
// name need not be valid UTF-8, and UTF-8 on Windows.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace platform {

// ---- The terminal, the standard streams and signals

// Whether the standard error or output stream is an interactive terminal.
bool StandardErrorIsTerminal();
bool StandardOutputIsTerminal();
// The width of that terminal in columns, or 0 when it cannot be told.
int StandardErrorColumns();
// Whether the terminal is taken to show UTF-8: the user's locale's character
// set is UTF-8 (always, on Windows, whose console the program sets to UTF-8).
bool TerminalShowsUtf8();

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
// For a thread of the program's own: the signals that end the program are
// handled by the program's first thread instead (Ctrl+C still ends a wait for
// a stream on any thread).
void HoldEndingSignals();

// Ends the program as an interrupted program ends, so that a shell running it
// in a loop stops as well and reports status 130.
[[noreturn]] void EndAsInterrupted();

// ---- Paths

// Whether anything stands under the path (a dangling link too).
bool Exists(const std::string &path);
// Whether the path names a folder (following links).
bool IsFolder(const std::string &path);

#ifndef _WIN32
// For the window's lists; the window is built for Unix-like systems only.
// Whether the path names a regular file (following links).
bool IsRegularFile(const std::string &path);
// Whether it names a folder whose entries can be listed and opened.
bool IsReadableFolder(const std::string &path);
// The names in a folder that are not hidden (no leading dot): the regular
// files, or the subfolders (links followed), unsorted. Empty when the folder
// cannot be read.
enum class EntryKind { Files, Folders };
std::vector<std::string> FolderEntries(const std::string &folder, EntryKind kind);
#endif

// The path made absolute and without "." and ".." parts, and on Windows in one
// letter case as its file systems fold case (all of Unicode, not only ASCII),
// so that two paths to the same file give the same text.
std::string ComparablePath(const std::string &path);
// The file that writing to the path would create or replace, as comparable
// text: an existing link is followed as the writer follows it, and a link to
// a file not written yet leads to that file's name, so two paths that would
// write the same file, now or once the other is written, give the same text.
std::string WrittenPath(const std::string &path);

// ---- Reading and writing files

// A regular file opened for reading, unbuffered; closed when it is destroyed.
class InputFile
{
public:
    // Anything but a regular file (a folder, a pipe, a device) gives nullptr
    // without waiting for it, as does a file that cannot be opened.
    static std::unique_ptr<InputFile> Open(const std::string &path);
    ~InputFile();
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    // The bytes the file holds now, or -1 when that cannot be told.
    std::int64_t size();
    // Up to `count` bytes at the present position; how many, 0 at the end, -1
    // when reading failed.
    std::int64_t read(char *to, std::int64_t count);
    bool seek(std::int64_t offset);
    std::int64_t position();

private:
    explicit InputFile(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_;   // a descriptor, or on Windows a FILE *
};

// Hands out the bytes to write, part after part; an empty part after the last.
using NextBytes = std::function<std::string_view()>;

// Writes the parts, one after the other, as the file at `path`, and returns no
// error when every byte is on disk under that name, else the reason it is not.
// The path is as the system spells it: bytes on Unix-like systems, UTF-8 on
// Windows.
//
// The bytes go to a hidden temporary file in the same folder whose name is
// short whatever the destination's length; it is synced, closed and renamed
// over the destination, and then the folder is synced. On Unix-like systems
// every step works relative to the folder, opened once, so that a path near
// the system's length limit is written and the folder cannot be swapped
// between the steps. Any failure on the way removes the temporary file and
// leaves an existing destination exactly as it was (a failed folder sync, the
// last step, leaves the complete new file behind).
//
// An existing destination is only replaced when it is a regular file, or a
// link to one (the file the link points to is replaced, the link stays). Device
// nodes, pipes, sockets, folders, dangling links and files that nobody may
// write are refused untouched. A replaced file keeps what it carried besides
// its bytes: its owner, group and mode bits where the process may set them,
// its access list and its other extended attributes (on Windows, its
// attributes, creation time and security descriptor). An access list or an
// attribute that cannot be kept fails the write, so that replacing a file never
// changes who may read it. The new file is a new file: other hard links to the
// old one keep the old content.
//
// `size`, when the caller knows how many bytes the parts come to, is taken on
// the disk before anything is written (on Linux): a disk without room for them
// fails the write at once.
std::error_code ReplaceFile(const std::string &path, const NextBytes &nextPart, std::int64_t size = -1);
std::error_code ReplaceFile(const std::string &path, std::initializer_list<std::string_view> parts);

// ReplaceFile in two halves, for a caller that lets the slow half, making the
// bytes durable, go on while it turns to other work: Begin writes the parts to
// the hidden temporary (or gives the reason it could not, leaving nothing
// behind), finish syncs it, puts it in the destination's place and syncs the
// folder. A replacement dropped unfinished removes its temporary. Either half
// may run on any thread.
class Replacement
{
public:
    static std::unique_ptr<Replacement> Begin(const std::string &path, const NextBytes &nextPart, std::error_code &error,
                                              std::int64_t size = -1);
    std::error_code finish();
    ~Replacement();
    Replacement(const Replacement &) = delete;
    Replacement &operator=(const Replacement &) = delete;

private:
    struct State;
    explicit Replacement(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// The reason an existing destination is refused when it is not a regular file.
std::error_code NotRegularFile();

// ---- Text of names

// The length of the valid UTF-8 sequence at the start of `bytes` (not empty),
// with its code point; 0 when it is not one (overlong forms, surrogates and
// code points beyond U+10FFFF included).
inline int Utf8Sequence(std::string_view bytes, char32_t &codePoint)
{
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    const int length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                     : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || bytes.size() < size_t(length))
        return 0;
    codePoint = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(bytes[size_t(i)]);
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = codePoint << 6 | (next & 0x3F);
    }
    static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint < smallest[length] || surrogate || codePoint > 0x10FFFF ? 0 : length;
}

} // namespace platform
