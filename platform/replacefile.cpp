#include "replacefile.h"

#include "filecalls.h"
#include "platform.h"

#ifdef _WIN32
#include <algorithm>
#include <cwctype>
#include <random>
#include <string_view>
#else
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

// A short, free-looking name for a temporary file: ".bmp24to8-" and six letters.
std::string TemporaryName()
{
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static std::minstd_rand random(std::random_device{}());
    std::uniform_int_distribution<int> letter(0, int(sizeof letters) - 2);
    std::string name = ".bmp24to8-";
    for (int i = 0; i < 6; ++i)
        name += letters[letter(random)];
    return name;
}

} // namespace

#ifdef _WIN32

FileCalls &fileCalls()
{
    static FileCalls calls = systemFileCalls();
    return calls;
}

const FileCalls &systemFileCalls()
{
    static const FileCalls calls = {
        [](const wchar_t *path) {
            return CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        },
        [](HANDLE file, const void *bytes, DWORD count, DWORD *written) { return WriteFile(file, bytes, count, written, nullptr); },
        FlushFileBuffers,
        CloseHandle,
        [](const wchar_t *from, const wchar_t *to) {
            return MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        },
        DeleteFileW,
    };
    return calls;
}

namespace {

// Whether the last part of the path is one of the names Windows keeps for
// devices, whatever its extension: writing "NUL.bmp" would write to no file.
bool IsDeviceName(const std::wstring &path)
{
    const size_t slash = path.find_last_of(L"/\\:");
    std::wstring name = path.substr(slash == std::wstring::npos ? 0 : slash + 1);
    name = name.substr(0, name.find(L'.'));
    while (!name.empty() && name.back() == L' ')
        name.pop_back();
    for (wchar_t &c : name)
        c = wchar_t(std::towupper(c));
    static const wchar_t *const reserved[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    if (std::any_of(std::begin(reserved), std::end(reserved), [&](const wchar_t *device) { return name == device; }))
        return true;
    return name.size() == 4 && (name.starts_with(L"COM") || name.starts_with(L"LPT")) && name[3] >= L'0' && name[3] <= L'9';
}

bool WriteAll(HANDLE file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD chunk = DWORD(std::min<size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!fileCalls().writeFile(file, bytes.data(), chunk, &written) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

} // namespace

bool ReplaceFile(const std::string &utf8Path, const NextPart &nextPart)
{
    const std::wstring path = Wide(utf8Path);
    if (path.empty() || path.starts_with(L"\\\\.\\") || IsDeviceName(path))
        return false;
    // Folders and files that nobody may write are left alone.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES
        && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DEVICE)))
        return false;
    const size_t slash = utf8Path.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? std::string() : utf8Path.substr(0, slash + 1);

    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    WithSignalsHeld([&]() {
        std::string name;
        for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
            name = folder + TemporaryName();
            temporary = Wide(name);
            file = fileCalls().createFile(temporary.c_str());
            if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
                break;
        }
        if (file != INVALID_HANDLE_VALUE)
            RemoveOnSignal(name);
    });
    if (file == INVALID_HANDLE_VALUE)
        return false;

    bool written = true;
    for (std::string_view part = nextPart(); written && !part.empty(); part = nextPart())
        written = WriteAll(file, part);
    written = written && fileCalls().flushFileBuffers(file);
    written = fileCalls().closeHandle(file) && written;
    WithSignalsHeld([&]() {
        written = written && fileCalls().moveFile(temporary.c_str(), path.c_str());
        if (!written)
            fileCalls().deleteFile(temporary.c_str());
        RemoveOnSignal({});
    });
    return written;
}

#else

FileCalls &fileCalls()
{
    static FileCalls calls = systemFileCalls();
    return calls;
}

const FileCalls &systemFileCalls()
{
    static const FileCalls calls = {
        [](const char *path, int flags, mode_t mode) { return ::open(path, flags, mode); },
        ::write, ::fsync, ::fchown, ::fchmod, ::close, ::rename, ::unlink,
    };
    return calls;
}

namespace {

// Where the bytes go: the destination itself, or the file a link there points to.
struct Target
{
    std::string path;
    std::string folder;
    bool exists = false;
    struct stat status = {};
};

std::string FolderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool FindTarget(const std::string &path, Target &target)
{
    target.path = path;
    struct stat entry;
    if (lstat(path.c_str(), &entry) != 0) {
        if (errno != ENOENT)
            return false;
        target.folder = FolderOf(path);
        return true;
    }
    target.exists = true;
    target.status = entry;
    if (S_ISLNK(entry.st_mode)) {
        // A dangling link would make us create a file wherever it points.
        char *resolved = realpath(path.c_str(), nullptr);
        if (!resolved)
            return false;
        target.path = resolved;
        std::free(resolved);
        if (stat(target.path.c_str(), &target.status) != 0)
            return false;
    }
    target.folder = FolderOf(target.path);
    // Device nodes, pipes and folders are never replaced by a file. A file that
    // nobody may write is left alone, even by the super-user, who could
    // otherwise replace it.
    return S_ISREG(target.status.st_mode) && (target.status.st_mode & 0222) != 0
        && access(target.path.c_str(), W_OK) == 0;
}

// Creates a new, empty file under a name that is free, short and hidden.
int CreateTemporary(const Target &target, std::string &temporary)
{
    // A new file gets the usual permissions less the umask; a replacement gets
    // the old file's mode once its owner is set.
    const mode_t mode = target.exists ? 0600 : 0666;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target.folder + "/" + TemporaryName();
        const int fd = fileCalls().open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool KeepOwnerAndMode(int fd, const struct stat &old)
{
    // An ordinary user may not give a file away; the file then stays ours,
    // in the old file's group where the user belongs to it. Changing the
    // owner clears the set-id bits, so the mode comes after it.
    if (fileCalls().fchown(fd, old.st_uid, old.st_gid) != 0)
        fileCalls().fchown(fd, uid_t(-1), old.st_gid);
    return fileCalls().fchmod(fd, old.st_mode & 07777) == 0;
}

bool WriteAll(int fd, std::string_view bytes)
{
    const char *at = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = fileCalls().write(fd, at, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        at += written;
        left -= size_t(written);
    }
    return true;
}

// Makes the rename durable. A folder that may be written but not read cannot
// be opened for the sync, and some file systems cannot sync a folder at all;
// neither is a failure, since there is nothing more the program could do.
bool SyncFolder(const std::string &folder)
{
    const int fd = fileCalls().open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0)
        return errno == EACCES;
    const bool synced = fileCalls().fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP;
    fileCalls().close(fd);
    return synced;
}

} // namespace

bool ReplaceFile(const std::string &path, const NextPart &nextPart)
{
    Target target;
    if (!FindTarget(path, target))
        return false;
    // From its creation to its rename or removal, the temporary is the file
    // that an ending signal removes.
    std::string temporary;
    int fd = -1;
    WithSignalsHeld([&]() {
        fd = CreateTemporary(target, temporary);
        if (fd >= 0)
            RemoveOnSignal(temporary);
    });
    if (fd < 0)
        return false;

    bool written = !target.exists || KeepOwnerAndMode(fd, target.status);
    for (std::string_view part = written ? nextPart() : std::string_view(); !part.empty(); part = nextPart()) {
        if (!WriteAll(fd, part)) {
            written = false;
            break;
        }
    }
    written = written && fileCalls().fsync(fd) == 0;
    // Some file systems report a failed write only when the file is closed.
    written = fileCalls().close(fd) == 0 && written;
    WithSignalsHeld([&]() {
        written = written && fileCalls().rename(temporary.c_str(), target.path.c_str()) == 0;
        if (!written)
            fileCalls().unlink(temporary.c_str());
        RemoveOnSignal({});
    });
    if (!written)
        return false;
    return SyncFolder(target.folder);
}

#endif

bool ReplaceFile(const std::string &path, std::initializer_list<std::string_view> parts)
{
    auto next = parts.begin();
    return ReplaceFile(path, [&]() { return next == parts.end() ? std::string_view() : *next++; });
}

} // namespace platform
