// The platform services on Linux and other Unix-like systems; windows.cpp has
// them for Windows.
#include "platform.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool StandardErrorIsTerminal()
{
    return isatty(fileno(stderr)) != 0;
}

bool StandardOutputIsTerminal()
{
    return isatty(fileno(stdout)) != 0;
}

int StandardErrorColumns()
{
    winsize size{};
    return ioctl(fileno(stderr), TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

std::uint32_t SystemVersionValue()
{
    return 0;
}

std::vector<std::string> NativeArguments(int argc, char **argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

void PrepareStandardStreams()
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

} // namespace

std::optional<StreamRead> ReadStream(const std::string &path, std::string &bytes)
{
    if (path.empty())
        return ReadToEnd(STDIN_FILENO, bytes);
    // Files, folders and disks are the file layer's; they are not opened here.
    struct stat status;
    if (stat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode) || S_ISDIR(status.st_mode) || S_ISBLK(status.st_mode))
        return std::nullopt;
    // Without waiting for a pipe's writer: the wait is the reading's, where
    // Ctrl+C ends it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    std::optional<StreamRead> result;
    if (fstat(fd, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode) || isatty(fd)))
        result = ReadToEnd(fd, bytes);
    ::close(fd);
    return result;
}

bool WriteStandardOutput(std::string_view bytes)
{
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
volatile std::sig_atomic_t interruptStopsGently = 0;
// The temporary file being written: its path, kept here while it is set, and
// changed only while the signals are held. The pointer is atomic because a
// program with threads may take the signal on another thread.
std::string fileToRemoveOnSignal;
std::atomic<const char *> fileToRemove = nullptr;
static_assert(std::atomic<const char *>::is_always_lock_free);

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t EndingSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : kEndingSignals)
        sigaddset(&signals, signal);
    return signals;
}

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
        unlink(path);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

void CatchSignals(Interrupt interrupt)
{
    interruptStopsGently = interrupt == Interrupt::StopsAtSafePoint;
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
}

bool InterruptRequested()
{
    return interruptRequested != 0;
}

void WithSignalsHeld(const std::function<void()> &step)
{
    const sigset_t held = EndingSignals();
    sigset_t old;
    pthread_sigmask(SIG_BLOCK, &held, &old);
    step();
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
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
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
    std::_Exit(130);
}

} // namespace platform
