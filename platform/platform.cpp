#include "platform.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace platform {

bool StandardErrorIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

int StandardErrorColumns()
{
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
#else
    winsize size{};
    return ioctl(fileno(stderr), TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
#endif
}

std::uint32_t SystemVersionValue()
{
#ifdef _WIN32
    return std::uint32_t(GetVersion());
#else
    return 0;
#endif
}

std::vector<std::string> NativeArguments(int argc, char **argv)
{
#ifdef _WIN32
    // The arguments in argv are in the ANSI code page, which cannot hold every
    // name; the wide command line can.
    (void)argv;
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 0; wide && i < count; ++i) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string argument(size_t(bytes > 0 ? bytes - 1 : 0), '\0');
        if (bytes > 1)
            WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argument.data(), bytes, nullptr, nullptr);
        arguments.push_back(std::move(argument));
    }
    LocalFree(wide);
    return arguments.empty() ? std::vector<std::string>(argv, argv + argc) : arguments;
#else
    return std::vector<std::string>(argv, argv + argc);
#endif
}

bool ReadStandardInput(std::string &bytes)
{
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    char buffer[1 << 16];
    bytes.clear();
    for (;;) {
        const size_t got = std::fread(buffer, 1, sizeof buffer, stdin);
        bytes.append(buffer, got);
        if (got < sizeof buffer)
            return std::ferror(stdin) == 0;
    }
}

bool WriteStandardOutput(std::string_view bytes)
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
}

void IgnoreFileSizeSignal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

namespace {

volatile std::sig_atomic_t interruptRequested = 0;

extern "C" void OnInterrupt(int)
{
    if (interruptRequested) {
        // The second Ctrl+C: the default action ends the program once this
        // handler returns. Outputs are written atomically, so none is damaged.
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
    }
    interruptRequested = 1;
}

} // namespace

void CatchInterrupt()
{
#ifdef _WIN32
    std::signal(SIGINT, OnInterrupt);
#else
    struct sigaction action = {};
    sigaction(SIGINT, nullptr, &action);
    if (action.sa_handler == SIG_IGN)
        return;
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
#endif
}

bool InterruptRequested()
{
    return interruptRequested != 0;
}

void EndAsInterrupted()
{
    std::fflush(nullptr);
#ifndef _WIN32
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
#endif
    std::_Exit(130);
}

} // namespace platform
