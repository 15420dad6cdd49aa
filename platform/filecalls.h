// The operating-system calls through which an output file is written, gathered
// in one table so that a test can make any of them fail, or write less than it
// was asked to, and check what the program does about it. The program itself
// never changes the table. Also the writer's side of the ending signals: the
// temporary file that a signal removes.
#pragma once

#include <functional>
#include <string>

#ifdef _WIN32

#include <windows.h>
// Windows' own ReplaceFile is a macro; the program's is platform::ReplaceFile.
#undef ReplaceFile

namespace platform {

struct FileCalls
{
    // A new, empty, hidden file for writing, which may be deleted while it is
    // open; INVALID_HANDLE_VALUE when it cannot be made.
    HANDLE (*createFile)(const wchar_t *path);
    BOOL (*writeFile)(HANDLE file, const void *bytes, DWORD count, DWORD *written);
    // The attributes and creation time the written file takes.
    BOOL (*setBasicInfo)(HANDLE file, FILE_BASIC_INFO *info);
    BOOL (*flushFileBuffers)(HANDLE file);
    BOOL (*closeHandle)(HANDLE file);
    BOOL (*moveFile)(const wchar_t *from, const wchar_t *to);   // where nothing stands yet, written through
    BOOL (*replaceFile)(const wchar_t *replaced, const wchar_t *replacement);   // keeping what `replaced` carries
    BOOL (*deleteFile)(const wchar_t *path);
};

FileCalls &fileCalls();
const FileCalls &systemFileCalls();

// A UTF-8 path as Windows' calls take it.
std::wstring Wide(const std::string &utf8);

// A temporary file that a second Ctrl+C or closing the console removes: its
// place among those being written, for ForgetOnSignal. Set only inside
// WithSignalsHeld, together with creating the file.
int RemoveOnSignal(const std::wstring &path);

// What the console's handler does on a second Ctrl+C or when the console is
// closed: removes that temporary file and ends the program with status 130.
BOOL WINAPI OnConsoleEvent(DWORD event);

} // namespace platform

#else

#include <sys/types.h>

namespace platform {

struct FileCalls
{
    int (*openat)(int folder, const char *path, int flags, mode_t mode);
    // Takes room on the disk for the file's first `size` bytes, its length
    // unchanged (fallocate with FALLOC_FL_KEEP_SIZE).
    int (*allocate)(int fd, off_t size);
    ssize_t (*write)(int fd, const void *bytes, size_t count);
    // Starts the disk writing `count` bytes from `from` on, without waiting
    // (sync_file_range with SYNC_FILE_RANGE_WRITE).
    int (*startWriting)(int fd, off_t from, off_t count);
    int (*fsync)(int fd);
    int (*fchown)(int fd, uid_t owner, gid_t group);
    int (*fchmod)(int fd, mode_t mode);
    int (*fsetxattr)(int fd, const char *name, const void *value, size_t size, int flags);
    int (*fremovexattr)(int fd, const char *name);
    int (*close)(int fd);
    int (*renameat)(int fromFolder, const char *from, int toFolder, const char *to);
    int (*unlinkat)(int folder, const char *name, int flags);
};

// The calls in use; the real ones unless a test has replaced them.
FileCalls &fileCalls();
// The real calls, for a test to fall back on.
const FileCalls &systemFileCalls();

// A temporary file that an ending signal removes: `name` in the open folder
// `folder`. Its place among those being written, for ForgetOnSignal, or -1
// when every place is taken. Set only inside WithSignalsHeld, together with
// creating the file.
int RemoveOnSignal(int folder, const std::string &name);

} // namespace platform

#endif

namespace platform {

// The temporary at that place is in its destination's place, or removed: a
// signal leaves it alone now. Inside WithSignalsHeld, with the rename or the
// removal.
void ForgetOnSignal(int place);

// Runs `step` with the ending signals held back, so that a handler sees what
// the step changes as one change; a signal that arrives meanwhile is handled
// after it.
void WithSignalsHeld(const std::function<void()> &step);

} // namespace platform
