// Loaded into the command line (LD_PRELOAD) by the signal tests: the first
// fsync says "<fsync>" on standard error and then holds the program for a few
// seconds, so that a signal sent on seeing it arrives while a temporary file
// is being written. The sync itself is the system's.
#include <cerrno>
#include <ctime>
#include <dlfcn.h>
#include <unistd.h>

extern "C" int fsync(int fd)
{
    using Fsync = int (*)(int);
    static const auto real = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
    static const char said[] = "<fsync>";
    static bool held = false;
    if (held)
        return real(fd);
    held = true;
    if (write(STDERR_FILENO, said, sizeof said - 1) < 0)
        return -1;
    timespec left{3, 0};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
    return real(fd);
}
