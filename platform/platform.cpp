#include "platform.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <new>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <sys/mman.h>
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

quint32 SystemVersionValue()
{
#ifdef _WIN32
    return quint32(GetVersion());
#else
    return 0;
#endif
}

void *AllocateLarge(qint64 bytes)
{
    void *memory = nullptr;
#ifdef MADV_HUGEPAGE
    constexpr qint64 kHugePage = 2 * 1024 * 1024;
    if (bytes >= kHugePage) {
        // Whole huge pages from their first byte; the unused end is never touched.
        const qint64 rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        memory = std::aligned_alloc(size_t(kHugePage), size_t(rounded));
        if (memory)
            madvise(memory, size_t(rounded), MADV_HUGEPAGE);
    } else
#endif
    {
        memory = std::malloc(size_t(qMax<qint64>(bytes, 1)));
    }
    if (!memory)
        throw std::bad_alloc();
    return memory;
}

void FreeLarge(void *memory)
{
    std::free(memory);
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
