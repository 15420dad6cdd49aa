#include "platform.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
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

quint32 SystemVersionValue()
{
#ifdef _WIN32
    return quint32(GetVersion());
#else
    return 0;
#endif
}

void SyncFolder(const char *folder)
{
#ifdef _WIN32
    // NTFS journals the rename itself; a folder cannot be flushed like a file.
    (void)folder;
#else
    const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
#endif
}

} // namespace platform
