// The platform services on Windows; posix.cpp has them for Unix-like
// systems. Names are UTF-8 inside the program and UTF-16 at the system's calls.
#include "bmp24to8/platform.h"

#include "filecalls.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>

namespace platform {

namespace {

std::string Utf8(const wchar_t *wide)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string text(size_t(bytes > 0 ? bytes - 1 : 0), '\0');
    if (bytes > 1)
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), bytes, nullptr, nullptr);
    return text;
}

bool IsConsole(DWORD which)
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

// The files a wildcard argument names, sorted, with the folder part kept as
// it was typed; none when nothing matches.
std::vector<std::string> Expanded(const std::wstring &pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    const size_t slash = pattern.find_last_of(L"/\\:");
    const std::string folder = Utf8(pattern.substr(0, slash == std::wstring::npos ? 0 : slash + 1).c_str());
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(folder + Utf8(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::atomic<bool> interruptRequested = false;
std::atomic<bool> interruptStopsGently = false;
// The temporary files being written, each by its place, removed by the
// console's handler, which runs on a thread of its own: the mutex makes
// creating or renaming a file and setting it here one step for the handler.
std::mutex filesToRemoveLock;
std::map<int, std::wstring> filesToRemove;
int nextPlace = 0;

// The console's output code page as the program found it, given back as it ends.
UINT foundOutputCodePage = 0;

void RestoreCodePage()
{
    if (foundOutputCodePage != 0)
        SetConsoleOutputCP(foundOutputCodePage);
}

} // namespace

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    if (event == CTRL_C_EVENT && interruptStopsGently && !interruptRequested.exchange(true))
        return TRUE;
    {
        std::lock_guard<std::mutex> held(filesToRemoveLock);
        for (const auto &[place, path] : filesToRemove)
            DeleteFileW(path.c_str());
        filesToRemove.clear();
    }
    std::fflush(nullptr);
    RestoreCodePage();
    ExitProcess(130);
}

std::wstring Wide(const std::string &utf8)
{
    const int count = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(size_t(std::max(count, 0)), L'\0');
    if (count > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), count);
    return wide;
}

bool StandardErrorIsTerminal()
{
    return IsConsole(STD_ERROR_HANDLE);
}

bool StandardOutputIsTerminal()
{
    return IsConsole(STD_OUTPUT_HANDLE);
}

int StandardErrorColumns()
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

bool TerminalShowsUtf8()
{
    return true;
}

std::vector<Argument> NativeArguments(int argc, char **argv)
{
    // The arguments in argv are in the ANSI code page, which cannot hold every
    // name; the wide command line can.
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<Argument> arguments;
    if (!wide) {
        for (int i = 0; i < argc; ++i)
            arguments.push_back({argv[i]});
        return arguments;
    }
    for (int i = 0; i < count; ++i) {
        const std::wstring argument = wide[i];
        const bool wildcard = i > 0 && !argument.starts_with(L"-") && argument.find_first_of(L"*?") != std::wstring::npos;
        const std::vector<std::string> names = wildcard ? Expanded(argument) : std::vector<std::string>();
        if (names.empty())
            arguments.push_back({Utf8(argument.c_str())});
        for (const std::string &name : names)
            arguments.push_back({name, true});
    }
    LocalFree(wide);
    return arguments;
}

void PrepareStandardStreams()
{
    foundOutputCodePage = GetConsoleOutputCP();
    if (foundOutputCodePage != 0 && foundOutputCodePage != CP_UTF8) {
        SetConsoleOutputCP(CP_UTF8);
        std::atexit(RestoreCodePage);
    }
}

std::optional<std::string> StreamIdentity(const std::string &path)
{
    if (!path.empty())
        return std::nullopt;
    return std::string("standard input");
}

std::optional<StreamRead> ReadStream(const std::string &path, std::string &bytes)
{
    if (!path.empty())
        return std::nullopt;
    _setmode(_fileno(stdin), _O_BINARY);
    char buffer[1 << 16];
    bytes.clear();
    for (;;) {
        const size_t got = std::fread(buffer, 1, sizeof buffer, stdin);
        bytes.append(buffer, got);
        if (InterruptRequested())
            return StreamRead::Interrupted;
        if (got < sizeof buffer)
            return std::ferror(stdin) == 0 ? StreamRead::Complete : StreamRead::Failed;
    }
}

std::error_code WriteStandardOutput(const std::function<std::string_view()> &nextPart)
{
    _setmode(_fileno(stdout), _O_BINARY);
    for (std::string_view part = nextPart(); !part.empty(); part = nextPart()) {
        if (std::fwrite(part.data(), 1, part.size(), stdout) != part.size())
            return {errno != 0 ? errno : EIO, std::generic_category()};
    }
    if (std::fflush(stdout) != 0)
        return {errno != 0 ? errno : EIO, std::generic_category()};
    return {};
}

void IgnoreFileSizeSignal()
{
}

void CatchSignals(Interrupt interrupt)
{
    interruptStopsGently = interrupt == Interrupt::StopsAtSafePoint;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool InterruptRequested()
{
    return interruptRequested;
}

void HoldEndingSignals()
{
    // The console's handler runs on a thread of its own already.
}

void WithSignalsHeld(const std::function<void()> &step)
{
    std::lock_guard<std::mutex> held(filesToRemoveLock);
    step();
}

// Called inside WithSignalsHeld, which holds the lock.
int RemoveOnSignal(const std::wstring &path)
{
    const int place = nextPlace++;
    filesToRemove[place] = path;
    return place;
}

void ForgetOnSignal(int place)
{
    filesToRemove.erase(place);
}

void EndAsInterrupted()
{
    std::fflush(nullptr);
    RestoreCodePage();
    std::_Exit(130);
}

} // namespace platform
