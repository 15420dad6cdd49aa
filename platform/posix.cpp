// The platform services on Linux and other Unix-like systems; windows.cpp has
// them for Windows.
#include "bmp24to8/platform.h"

#include "filecalls.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <cerrno>
#include <clocale>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
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

bool TerminalShowsUtf8()
{
    static const bool utf8 = [] {
        // The locale is asked once and the program's own put back: nothing
        // else of the program depends on it.
        const bool set = setlocale(LC_CTYPE, "") != nullptr;
        const bool isUtf8 = set && std::string(nl_langinfo(CODESET)) == "UTF-8";
        setlocale(LC_CTYPE, "C");
        return isUtf8;
    }();
    return utf8;
}

std::vector<Argument> NativeArguments(int argc, char **argv)
{
    std::vector<Argument> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.push_back({argv[i]});
    return arguments;
}

namespace {

bool standardInputClosed = false;

} // namespace

void PrepareStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        standardInputClosed = standardInputClosed || fd == STDIN_FILENO;
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            ::close(null);
        }
    }
}

namespace {

// Written to by Ctrl+C, so that a thread waiting for a stream wakes up; it is
// never read, so that every waiting thread sees it.
int interruptWake[2] = {-1, -1};

// Reads `fd` to its end, or until Ctrl+C is pressed: the wait for data ends
// then, whichever thread the signal reached.
StreamRead ReadToEnd(int fd, std::string &bytes)
{
    char buffer[1 << 16];
    bytes.clear();
    for (;;) {
        if (InterruptRequested())
            return StreamRead::Interrupted;
        pollfd ready[2] = {{fd, POLLIN, 0}, {interruptWake[0], POLLIN, 0}};
        if (poll(ready, interruptWake[0] >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            return StreamRead::Failed;
        }
        if (ready[1].revents != 0)
            continue;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0)
            bytes.append(buffer, size_t(got));
        else if (got == 0)
            return StreamRead::Complete;
        else if (errno != EINTR && errno != EAGAIN)
            return StreamRead::Failed;
    }
}

} // namespace

std::optional<std::string> StreamIdentity(const std::string &path)
{
    struct stat status;
    if ((path.empty() ? fstat(STDIN_FILENO, &status) : stat(path.c_str(), &status)) != 0)
        return std::nullopt;
    if (!S_ISFIFO(status.st_mode) && !S_ISCHR(status.st_mode) && !S_ISSOCK(status.st_mode))
        return std::nullopt;
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
}

std::optional<StreamRead> ReadStream(const std::string &path, std::string &bytes)
{
    if (path.empty())
        return standardInputClosed ? StreamRead::Failed : ReadToEnd(STDIN_FILENO, bytes);
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

std::error_code WriteStandardOutput(const std::function<std::string_view()> &nextPart)
{
    // Whatever the stream's buffer holds goes first; the parts then go
    // straight to the descriptor, without a copy.
    if (std::fflush(stdout) != 0)
        return {errno, std::system_category()};
    for (std::string_view part = nextPart(); !part.empty(); part = nextPart()) {
        while (!part.empty()) {
            const ssize_t written = ::write(STDOUT_FILENO, part.data(), part.size());
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return {written < 0 ? errno : EIO, std::system_category()};
            part.remove_prefix(size_t(written));
        }
    }
    return {};
}

void IgnoreFileSizeSignal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

namespace {

// Atomic: the signal may come on any thread, and every worker reads it.
std::atomic<int> interruptRequested = 0;
std::atomic<int> interruptStopsGently = 0;

// The signals whose default action ends the program, but for those that only
// the program itself causes (a fault, an abort), which are left to the
// system and to debuggers, and SIGXFSZ, which the program ignores.
std::vector<int> EndingSignalList()
{
    std::vector<int> signals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2,
                                SIGVTALRM, SIGPROF, SIGXCPU};
#ifdef SIGPOLL
    signals.push_back(SIGPOLL);
#endif
#ifdef SIGPWR
    signals.push_back(SIGPWR);
#endif
#ifdef SIGSTKFLT
    signals.push_back(SIGSTKFLT);
#endif
#ifdef SIGRTMIN
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
        signals.push_back(signal);
#endif
    return signals;
}

const std::vector<int> &EndingSignals()
{
    static const std::vector<int> signals = EndingSignalList();
    return signals;
}

sigset_t EndingSignalSet()
{
    static const sigset_t set = [] {
        sigset_t signals;
        sigemptyset(&signals);
        for (const int signal : EndingSignals())
            sigaddset(&signals, signal);
        return signals;
    }();
    return set;
}

// The temporary files being written, each in a place of its own: the name
// of a file in an open folder, which an ending signal removes. A place is
// filled while the signals are held on its thread; a handler running on
// another thread meanwhile waits until the filling is done.
struct PendingRemoval
{
    std::atomic<bool> taken = false;
    std::atomic<int> folder = -1;   // -1: nothing to remove
    char name[64] = {};
};
constexpr int kPlaces = 512;   // more than the files a run of the most jobs has under way (6 per job)
PendingRemoval pendingRemovals[kPlaces];
std::atomic<int> heldSteps = 0;
// Set by a handler that ends the program: no further step begins, so that no
// temporary is made after the handler has removed those there are.
std::atomic<bool> ending = false;
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

extern "C" void OnEndingSignal(int signal)
{
    if (signal == SIGINT && interruptStopsGently && !interruptRequested) {
        interruptRequested = 1;
        if (interruptWake[1] >= 0) {
            const ssize_t woken = write(interruptWake[1], "!", 1);
            (void)woken;
        }
        return;
    }
    // Only async-signal-safe calls from here on. Another thread may be in
    // the middle of creating or renaming a temporary: that takes moments.
    ending = true;
    for (int spins = 0; heldSteps.load() > 0 && spins < 1000; ++spins) {
        const timespec pause{0, 1000000};
        nanosleep(&pause, nullptr);
    }
    for (PendingRemoval &pending : pendingRemovals) {
        const int folder = pending.folder.load();
        if (folder >= 0)
            unlinkat(folder, pending.name, 0);
    }
    // The signal stays blocked until the handler returns, and is then
    // delivered with its default action, which ends the program.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

void CatchSignals(Interrupt interrupt)
{
    interruptStopsGently = interrupt == Interrupt::StopsAtSafePoint;
    if (interruptStopsGently && interruptWake[0] < 0 && pipe2(interruptWake, O_CLOEXEC | O_NONBLOCK) != 0)
        interruptWake[0] = interruptWake[1] = -1;
    for (const int signal : EndingSignals()) {
        struct sigaction action = {};
        sigaction(signal, nullptr, &action);
        if (action.sa_handler == SIG_IGN)
            continue;
        action.sa_handler = OnEndingSignal;
        // Interrupted system calls go on; the one wait that Ctrl+C must end,
        // reading a stream, waits where no call is restarted.
        action.sa_flags = SA_RESTART;
        action.sa_mask = EndingSignalSet();
        sigaction(signal, &action, nullptr);
    }
}

bool InterruptRequested()
{
    return interruptRequested != 0;
}

void HoldEndingSignals()
{
    const sigset_t held = EndingSignalSet();
    pthread_sigmask(SIG_BLOCK, &held, nullptr);
}

void WithSignalsHeld(const std::function<void()> &step)
{
    const sigset_t held = EndingSignalSet();
    sigset_t old;
    pthread_sigmask(SIG_BLOCK, &held, &old);
    ++heldSteps;
    if (ending) {
        // Another thread is ending the program: this one waits for the end.
        --heldSteps;
        for (;;)
            pause();
    }
    step();
    --heldSteps;
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

int RemoveOnSignal(int folder, const std::string &name)
{
    if (name.empty() || name.size() >= sizeof pendingRemovals[0].name)
        return -1;
    for (int place = 0; place < kPlaces; ++place) {
        PendingRemoval &pending = pendingRemovals[place];
        bool free = false;
        if (!pending.taken.compare_exchange_strong(free, true))
            continue;
        name.copy(pending.name, name.size());
        pending.name[name.size()] = '\0';
        pending.folder = folder;
        return place;
    }
    return -1;
}

void ForgetOnSignal(int place)
{
    if (place < 0 || place >= kPlaces)
        return;
    pendingRemovals[place].folder = -1;
    pendingRemovals[place].taken = false;
}

void EndAsInterrupted()
{
    std::fflush(nullptr);
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
    std::_Exit(130);
}

} // namespace platform
