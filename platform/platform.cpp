#include "platform.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
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

bool StandardOutputIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(fileno(stdout)) != 0;
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

#ifdef _WIN32

void ReserveStandardStreams() {}

StreamRead ReadStream(const std::string &path, std::string &bytes)
{
    if (!path.empty())
        return StreamRead::Failed;
    _setmode(_fileno(stdin), _O_BINARY);
    char buffer[1 << 16];
    bytes.clear();
    for (;;) {
        const size_t got = std::fread(buffer, 1, sizeof buffer, stdin);
        bytes.append(buffer, got);
        if (got < sizeof buffer)
            return InterruptRequested() ? StreamRead::Interrupted
                 : std::ferror(stdin) == 0 ? StreamRead::Complete : StreamRead::Failed;
    }
}

bool IsStream(const std::string &)
{
    return false;
}

bool WriteStandardOutput(std::string_view bytes)
{
    _setmode(_fileno(stdout), _O_BINARY);
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
}

#else

void ReserveStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            ::close(null);
        }
    }
}

namespace {

// Reads `fd` to its end. Ctrl+C is held back except while waiting for data,
// so that it cannot slip in between the check and the wait.
StreamRead ReadToEnd(int fd, std::string &bytes)
{
    sigset_t interrupt, unheld;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    pthread_sigmask(SIG_BLOCK, &interrupt, &unheld);
    sigdelset(&unheld, SIGINT);
    char buffer[1 << 16];
    bytes.clear();
    StreamRead result = StreamRead::Complete;
    for (;;) {
        if (InterruptRequested()) {
            result = StreamRead::Interrupted;
            break;
        }
        pollfd ready{fd, POLLIN, 0};
        if (ppoll(&ready, 1, nullptr, &unheld) < 0) {
            if (errno == EINTR)
                continue;
            result = StreamRead::Failed;
            break;
        }
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            bytes.append(buffer, size_t(got));
        } else if (got == 0) {
            break;
        } else if (errno != EINTR && errno != EAGAIN) {
            result = StreamRead::Failed;
            break;
        }
    }
    pthread_sigmask(SIG_UNBLOCK, &interrupt, nullptr);
    return result;
}

// Opens a pipe or a terminal without waiting for a pipe's writer: the wait is
// the reading's, where Ctrl+C ends it.
int OpenStream(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat status;
    if (fstat(fd, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode) || isatty(fd)))
        return fd;
    ::close(fd);
    return -1;
}

} // namespace

StreamRead ReadStream(const std::string &path, std::string &bytes)
{
    if (path.empty())
        return ReadToEnd(STDIN_FILENO, bytes);
    const int fd = OpenStream(path);
    if (fd < 0)
        return StreamRead::Failed;
    const StreamRead result = ReadToEnd(fd, bytes);
    ::close(fd);
    return result;
}

bool IsStream(const std::string &path)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode) || S_ISDIR(status.st_mode) || S_ISBLK(status.st_mode))
        return false;
    const int fd = OpenStream(path);
    if (fd >= 0)
        ::close(fd);
    return fd >= 0;
}

bool WriteStandardOutput(std::string_view bytes)
{
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
}

#endif

void IgnoreFileSizeSignal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

namespace {

volatile std::sig_atomic_t interruptRequested = 0;
volatile std::sig_atomic_t interruptStopsGently = 0;
// The temporary file being written: its path, kept here while it is set, and
// changed only while the signals are held. The pointer is atomic because a
// program with threads may take the signal on another thread.
std::string fileToRemoveOnSignal;
std::atomic<const char *> fileToRemove = nullptr;
static_assert(std::atomic<const char *>::is_always_lock_free);

#ifndef _WIN32
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t EndingSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : kEndingSignals)
        sigaddset(&signals, signal);
    return signals;
}
#endif

extern "C" void OnEndingSignal(int signal)
{
    if (signal == SIGINT && interruptStopsGently && !interruptRequested) {
        interruptRequested = 1;
        return;
    }
    // Only async-signal-safe calls from here on. The signal stays blocked
    // until the handler returns, and is then delivered with its default
    // action, which ends the program.
    if (const char *path = fileToRemove) {
#ifdef _WIN32
        std::remove(path);
#else
        unlink(path);
#endif
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

void CatchSignals(Interrupt interrupt)
{
    interruptStopsGently = interrupt == Interrupt::StopsAtSafePoint;
#ifdef _WIN32
    std::signal(SIGINT, OnEndingSignal);
#else
    for (const int signal : kEndingSignals) {
        struct sigaction action = {};
        sigaction(signal, nullptr, &action);
        if (action.sa_handler == SIG_IGN)
            continue;
        action.sa_handler = OnEndingSignal;
        // Interrupted system calls go on; the one wait that Ctrl+C must end,
        // reading a stream, waits where no call is restarted.
        action.sa_flags = SA_RESTART;
        action.sa_mask = EndingSignals();
        sigaction(signal, &action, nullptr);
    }
#endif
}

bool InterruptRequested()
{
    return interruptRequested != 0;
}

void WithSignalsHeld(const std::function<void()> &step)
{
#ifdef _WIN32
    step();
#else
    const sigset_t held = EndingSignals();
    sigset_t old;
    pthread_sigmask(SIG_BLOCK, &held, &old);
    step();
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
#endif
}

void RemoveOnSignal(const std::string &path)
{
    fileToRemove = nullptr;
    fileToRemoveOnSignal = path;
    if (!path.empty())
        fileToRemove = fileToRemoveOnSignal.c_str();
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
