// The operating-system calls through which an output file is written, gathered
// in one table so that a test can make any of them fail, or write less than it
// was asked to, and check what the program does about it. The program itself
// never changes the table.
#pragma once

#ifdef _WIN32

#include <windows.h>
// Windows' own ReplaceFile is a macro; the program's is platform::ReplaceFile.
#undef ReplaceFile

#include <string>

namespace platform {

struct FileCalls
{
    // A new, empty file for writing; INVALID_HANDLE_VALUE when it cannot be made.
    HANDLE (*createFile)(const wchar_t *path);
    BOOL (*writeFile)(HANDLE file, const void *bytes, DWORD count, DWORD *written);
    BOOL (*flushFileBuffers)(HANDLE file);
    BOOL (*closeHandle)(HANDLE file);
    BOOL (*moveFile)(const wchar_t *from, const wchar_t *to);   // replacing `to`, written through
    BOOL (*deleteFile)(const wchar_t *path);
};

FileCalls &fileCalls();
const FileCalls &systemFileCalls();

// A UTF-8 path as Windows' calls take it.
std::wstring Wide(const std::string &utf8);

} // namespace platform

#else

#include <sys/types.h>

namespace platform {

struct FileCalls
{
    int (*open)(const char *path, int flags, mode_t mode);
    ssize_t (*write)(int fd, const void *bytes, size_t count);
    int (*fsync)(int fd);
    int (*fchown)(int fd, uid_t owner, gid_t group);
    int (*fchmod)(int fd, mode_t mode);
    int (*close)(int fd);
    int (*rename)(const char *from, const char *to);
    int (*unlink)(const char *path);
};

// The calls in use; the real ones unless a test has replaced them.
FileCalls &fileCalls();
// The real calls, for a test to fall back on.
const FileCalls &systemFileCalls();

} // namespace platform

#endif
