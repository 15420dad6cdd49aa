// Loaded into a program (LD_PRELOAD) by the tests that need a moment while a
// file is being written. With HOLD_FIRST_SYNC set, the first fsync says
// "<fsync>" on standard error and then holds its thread for a few seconds, so
// that a signal sent on seeing it arrives while a temporary file is being
// written.
// With SLOW_SYNC_MS set, every fsync takes that many milliseconds instead, so
// that a batch lasts long enough to be watched and stopped. The sync itself is
// always the system's.
//
// With EVERY_STEP set, the monotonic clock runs a second ahead at each reading,
// so that a status line paced by it shows every step of every file: the tests
// that send a signal at a step see the step.
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <unistd.h>

namespace {

void Pause(timespec left)
{
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

} // namespace

extern "C" int clock_gettime(clockid_t clock, timespec *time)
{
    using ClockGettime = int (*)(clockid_t, timespec *);
    static const auto real = reinterpret_cast<ClockGettime>(dlsym(RTLD_NEXT, "clock_gettime"));
    static const bool everyStep = std::getenv("EVERY_STEP") != nullptr;
    static std::atomic<long> ahead = 0;
    const int result = real(clock, time);
    if (everyStep && result == 0 && clock == CLOCK_MONOTONIC)
        time->tv_sec += ++ahead;
    return result;
}

extern "C" int fsync(int fd)
{
    using Fsync = int (*)(int);
    static const auto real = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
    static const char *const slow = std::getenv("SLOW_SYNC_MS");
    if (slow) {
        const long ms = std::atol(slow);
        Pause({ms / 1000, (ms % 1000) * 1000000});
        return real(fd);
    }
    static const char said[] = "<fsync>";
    static const bool hold = std::getenv("HOLD_FIRST_SYNC") != nullptr;
    static std::atomic<bool> held = false;
    if (!hold || held.exchange(true))
        return real(fd);
    if (write(STDERR_FILENO, said, sizeof said - 1) < 0)
        return -1;
    Pause({3, 0});
    return real(fd);
}
