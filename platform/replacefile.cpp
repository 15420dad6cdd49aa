#include "bmp24to8/platform.h"

#include "filecalls.h"

#ifdef _WIN32
#include <algorithm>
#include <cwctype>
#include <random>
#include <string_view>
#else
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>
#endif

namespace platform {

namespace {

// A short, free-looking name for a temporary file: ".bmp24to8-" and six letters.
std::string TemporaryName()
{
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::minstd_rand random(std::random_device{}());
    std::uniform_int_distribution<int> letter(0, int(sizeof letters) - 2);
    std::string name = ".bmp24to8-";
    for (int i = 0; i < 6; ++i)
        name += letters[letter(random)];
    return name;
}

} // namespace

#ifdef _WIN32

namespace {

std::wstring FullPath(const wchar_t *path)
{
    const DWORD size = GetFullPathNameW(path, 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = size > 0 ? GetFullPathNameW(path, size, full.data(), nullptr) : 0;
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    return full;
}

} // namespace

FileCalls &fileCalls()
{
    static FileCalls calls = systemFileCalls();
    return calls;
}

const FileCalls &systemFileCalls()
{
    static const FileCalls calls = {
        [](const wchar_t *path) {
            // Hidden while it is written; deletable while open, so that the
            // console's handler can remove it on a second Ctrl+C.
            return CreateFileW(path, GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
        },
        [](HANDLE file, const void *bytes, DWORD count, DWORD *written) { return WriteFile(file, bytes, count, written, nullptr); },
        [](HANDLE file, FILE_BASIC_INFO *info) { return SetFileInformationByHandle(file, FileBasicInfo, info, sizeof *info); },
        FlushFileBuffers,
        CloseHandle,
        [](const wchar_t *from, const wchar_t *to) { return MoveFileExW(from, to, MOVEFILE_WRITE_THROUGH); },
        [](const wchar_t *replaced, const wchar_t *replacement) {
            // Full paths: some implementations take a bare name's folder to be none.
            const std::wstring to = FullPath(replaced);
            const std::wstring from = FullPath(replacement);
            return ReplaceFileW(to.c_str(), from.c_str(), nullptr, 0, nullptr, nullptr);
        },
        DeleteFileW,
    };
    return calls;
}

namespace {

std::error_code LastError()
{
    const DWORD error = GetLastError();
    return {int(error != 0 ? error : ERROR_WRITE_FAULT), std::system_category()};
}

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

std::error_code WriteAll(HANDLE file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD chunk = DWORD(std::min<size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!fileCalls().writeFile(file, bytes.data(), chunk, &written) || written == 0)
            return LastError();
        bytes.remove_prefix(written);
    }
    return {};
}

// The attributes the new file takes: the old file's, with its creation time,
// or, for a file that did not exist, none but the ordinary one (the
// temporary's hidden attribute goes).
FILE_BASIC_INFO BasicInfoFor(const WIN32_FILE_ATTRIBUTE_DATA *old)
{
    FILE_BASIC_INFO info = {};
    constexpr DWORD kSettable = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE
        | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY;
    info.FileAttributes = old ? old->dwFileAttributes & kSettable : 0;
    if (info.FileAttributes == 0)
        info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (old) {
        info.CreationTime.LowPart = old->ftCreationTime.dwLowDateTime;
        info.CreationTime.HighPart = LONG(old->ftCreationTime.dwHighDateTime);
    }
    return info;
}

} // namespace

struct Replacement::State
{
    std::wstring path;
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    bool exists = false;
    WIN32_FILE_ATTRIBUTE_DATA old = {};
    int place = -1;
};

std::unique_ptr<Replacement> Replacement::Begin(const std::string &utf8Path, const NextBytes &nextPart, std::error_code &error,
                                                std::int64_t)
{
    auto state = std::make_unique<State>();
    state->path = Wide(utf8Path);
    const std::wstring &path = state->path;
    error = {};
    if (path.empty() || path.starts_with(L"\\\\.\\") || IsDeviceName(path)) {
        error = NotRegularFile();
        return nullptr;
    }
    // Folders and files that nobody may write are left alone.
    WIN32_FILE_ATTRIBUTE_DATA &old = state->old;
    state->exists = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &old) != 0;
    if (state->exists && (old.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        error = std::make_error_code(std::errc::is_a_directory);
    else if (state->exists && (old.dwFileAttributes & FILE_ATTRIBUTE_DEVICE))
        error = NotRegularFile();
    else if (state->exists && (old.dwFileAttributes & FILE_ATTRIBUTE_READONLY))
        error = {ERROR_ACCESS_DENIED, std::system_category()};
    if (error)
        return nullptr;
    const size_t slash = utf8Path.find_last_of("/\\:");
    const std::string folder = slash == std::string::npos ? std::string() : utf8Path.substr(0, slash + 1);

    WithSignalsHeld([&]() {
        for (int attempt = 0; attempt < 100 && state->file == INVALID_HANDLE_VALUE; ++attempt) {
            state->temporary = Wide(folder + TemporaryName());
            state->file = fileCalls().createFile(state->temporary.c_str());
            if (state->file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
                break;
        }
        if (state->file == INVALID_HANDLE_VALUE)
            error = LastError();
        else
            state->place = RemoveOnSignal(state->temporary);
    });
    if (state->file == INVALID_HANDLE_VALUE)
        return nullptr;
    std::unique_ptr<Replacement> replacement(new Replacement(std::move(state)));
    for (std::string_view part = nextPart(); !error && !part.empty(); part = nextPart())
        error = WriteAll(replacement->state_->file, part);
    return error ? nullptr : std::move(replacement);
}

std::error_code Replacement::finish()
{
    State &state = *state_;
    std::error_code error;
    FILE_BASIC_INFO info = BasicInfoFor(state.exists ? &state.old : nullptr);
    if (!fileCalls().setBasicInfo(state.file, &info))
        error = LastError();
    if (!error && !fileCalls().flushFileBuffers(state.file))
        error = LastError();
    if (!fileCalls().closeHandle(state.file) && !error)
        error = LastError();
    state.file = INVALID_HANDLE_VALUE;
    WithSignalsHeld([&]() {
        // An existing file is replaced as the system replaces files, which
        // keeps its security descriptor as well; a move only creates.
        if (!error && !(state.exists ? fileCalls().replaceFile(state.path.c_str(), state.temporary.c_str())
                                     : fileCalls().moveFile(state.temporary.c_str(), state.path.c_str())))
            error = LastError();
        if (error)
            fileCalls().deleteFile(state.temporary.c_str());
        ForgetOnSignal(state.place);
        state.place = -1;
    });
    state_.reset();
    return error;
}

Replacement::~Replacement()
{
    if (!state_)
        return;
    if (state_->file != INVALID_HANDLE_VALUE)
        fileCalls().closeHandle(state_->file);
    WithSignalsHeld([&]() {
        fileCalls().deleteFile(state_->temporary.c_str());
        ForgetOnSignal(state_->place);
    });
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
        [](int folder, const char *path, int flags, mode_t mode) { return ::openat(folder, path, flags, mode); },
        [](int fd, off_t size) { return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size); },
        ::write,
        [](int fd, off_t from, off_t count) { return ::sync_file_range(fd, from, count, SYNC_FILE_RANGE_WRITE); },
        ::fsync, ::fchown, ::fchmod, ::fsetxattr, ::fremovexattr, ::close, ::renameat, ::unlinkat,
    };
    return calls;
}

namespace {

std::error_code LastError(int fallback = EIO)
{
    return {errno != 0 ? errno : fallback, std::system_category()};
}

// Where the bytes go: the file named `name` in `folder`; for a link, the file
// it points to.
struct Target
{
    std::string folder;
    std::string name;
};

std::error_code FindTarget(const std::string &path, Target &target)
{
    std::string written = path;
    struct stat entry;
    if (lstat(path.c_str(), &entry) != 0) {
        if (errno != ENOENT)
            return LastError();
    } else if (S_ISLNK(entry.st_mode)) {
        // A dangling link would make us create a file wherever it points.
        char *resolved = realpath(path.c_str(), nullptr);
        if (!resolved)
            return LastError();
        written = resolved;
        std::free(resolved);
    }
    const size_t slash = written.rfind('/');
    target.folder = slash == std::string::npos ? "." : slash == 0 ? "/" : written.substr(0, slash);
    target.name = slash == std::string::npos ? written : written.substr(slash + 1);
    if (target.name.empty() || target.name == "." || target.name == "..")
        return std::make_error_code(std::errc::is_a_directory);
    return {};
}

// The destination's folder, opened once for every step. A folder that may be
// written but not read is opened for its path only: it cannot be synced then,
// which is not a failure, since there is nothing more the program could do.
class OpenFolder
{
public:
    std::error_code open(const std::string &path)
    {
        fd_ = fileCalls().openat(AT_FDCWD, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
        canSync_ = fd_ >= 0;
        if (fd_ < 0 && errno == EACCES)
            fd_ = fileCalls().openat(AT_FDCWD, path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC, 0);
        return fd_ >= 0 ? std::error_code() : LastError();
    }
    ~OpenFolder()
    {
        if (fd_ >= 0)
            fileCalls().close(fd_);   // read-only: nothing is lost when it fails
    }

    int fd() const { return fd_; }
    // Makes a rename in it durable. Some file systems cannot sync a folder.
    std::error_code sync() const
    {
        if (!canSync_ || fileCalls().fsync(fd_) == 0 || errno == EINVAL || errno == ENOTSUP)
            return {};
        return LastError();
    }

private:
    int fd_ = -1;
    bool canSync_ = false;
};

// What stands under the name now; refuses anything but a regular file that
// may be written. Device nodes, pipes and folders are never replaced by a
// file, and a file that nobody may write is left alone, even by the
// super-user, who could otherwise replace it.
std::error_code CheckDestination(int folder, const std::string &name, bool &exists, struct stat &old)
{
    exists = fstatat(folder, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists)
        return errno == ENOENT ? std::error_code() : LastError();
    if (S_ISDIR(old.st_mode))
        return std::make_error_code(std::errc::is_a_directory);
    if (!S_ISREG(old.st_mode))
        return NotRegularFile();
    if ((old.st_mode & 0222) == 0)
        return std::make_error_code(std::errc::permission_denied);
    return faccessat(folder, name.c_str(), W_OK, 0) == 0 ? std::error_code() : LastError();
}

// Creates a new, empty file in the folder under a name that is free, short
// and hidden.
int CreateTemporary(int folder, bool replacing, std::string &name)
{
    // A new file gets the usual permissions less the umask; a replacement gets
    // the old file's mode once its owner is set.
    const mode_t mode = replacing ? 0600 : 0666;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TemporaryName();
        const int fd = fileCalls().openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The extended attributes of a file, by name.
std::error_code ReadAttributes(const std::string &path, std::vector<std::pair<std::string, std::string>> &attributes)
{
    std::string names;
    for (;;) {
        const ssize_t size = llistxattr(path.c_str(), nullptr, 0);
        if (size < 0)
            return errno == ENOTSUP ? std::error_code() : LastError();
        names.resize(size_t(size));
        const ssize_t got = llistxattr(path.c_str(), names.data(), names.size());
        if (got >= 0) {
            names.resize(size_t(got));
            break;
        }
        if (errno != ERANGE)
            return LastError();
    }
    for (size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
        const std::string name = names.c_str() + at;
        std::string value;
        ssize_t got = -1;
        for (errno = ERANGE; got < 0 && errno == ERANGE;) {
            const ssize_t size = lgetxattr(path.c_str(), name.c_str(), nullptr, 0);
            if (size < 0)
                break;
            value.resize(size_t(size));
            got = lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
        }
        if (got < 0)
            return LastError();
        value.resize(size_t(got));
        attributes.emplace_back(name, std::move(value));
    }
    return {};
}

constexpr const char kAccessList[] = "system.posix_acl_access";

// Attributes the system sets and keeps by itself (security labels, file
// capabilities) or that only it may set: a new file that cannot take them
// has what the system gives it.
bool KeptBySystem(const std::string &name)
{
    return name.starts_with("security.") || name.starts_with("trusted.");
}

// Gives the new file what the old one carried besides its bytes and its
// mode: its owner and group, its extended attributes (the access list among
// them). A new file of a folder with a default access list starts with that
// list: it is removed where the old file had none, so that a replaced file is
// never open to more users than before. The mode comes once the bytes are
// written (KeepMode), since changing the owner or the access list, and an
// ordinary user's writing, clear the set-id bits.
std::error_code KeepOwnerAndAttributes(int fd, const std::string &oldPath, const struct stat &old)
{
    // An ordinary user may not give a file away; the file then stays ours,
    // in the old file's group where the user belongs to it.
    if (fileCalls().fchown(fd, old.st_uid, old.st_gid) != 0)
        fileCalls().fchown(fd, uid_t(-1), old.st_gid);
    std::vector<std::pair<std::string, std::string>> attributes;
    if (std::error_code error = ReadAttributes(oldPath, attributes))
        return error;
    bool accessList = false;
    for (const auto &[name, value] : attributes) {
        if (fileCalls().fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0 && !KeptBySystem(name))
            return LastError();
        accessList = accessList || name == kAccessList;
    }
    if (!accessList && fileCalls().fremovexattr(fd, kAccessList) != 0 && errno != ENODATA && errno != ENOTSUP)
        return LastError();
    return {};
}

std::error_code KeepMode(int fd, const struct stat &old)
{
    return fileCalls().fchmod(fd, old.st_mode & 07777) == 0 ? std::error_code() : LastError();
}

// Takes the room the file will need on the disk before it is written: a disk
// without that room fails at once, with nothing written, and the file system
// lays the file out at once rather than when it is put in place (ext4 starts
// writing a file renamed over another whose room it has yet to choose). A
// file system that cannot take room ahead is written all the same.
std::error_code TakeRoom(int fd, std::int64_t size)
{
    if (size <= 0 || fileCalls().allocate(fd, off_t(size)) == 0)
        return {};
    return errno == ENOSPC || errno == EDQUOT || errno == EFBIG ? LastError() : std::error_code();
}

// Writes the bytes after the `written` bytes before them. A large file is
// written 4 MiB at a time, and the disk is started on each 4 MiB as soon as it
// is written, so that it writes while the rest is still being handed to the
// system and the sync at the end has less left to wait for.
std::error_code WriteAll(int fd, std::string_view bytes, std::int64_t &written)
{
    constexpr std::int64_t kStartEvery = std::int64_t(4) << 20;
    const char *at = bytes.data();
    std::int64_t left = std::int64_t(bytes.size());
    while (left > 0) {
        errno = 0;
        const std::int64_t toBoundary = kStartEvery - written % kStartEvery;
        const ssize_t got = fileCalls().write(fd, at, size_t(std::min(left, toBoundary)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return LastError();
        at += got;
        left -= got;
        written += got;
        // Only a start: a failure shows in the sync.
        if (written % kStartEvery == 0)
            fileCalls().startWriting(fd, off_t(written - kStartEvery), off_t(kStartEvery));
    }
    return {};
}

} // namespace

struct Replacement::State
{
    Target target;
    OpenFolder folder;
    std::string temporary;
    int fd = -1;
    int place = -1;
};

std::unique_ptr<Replacement> Replacement::Begin(const std::string &path, const NextBytes &nextPart, std::error_code &error,
                                                std::int64_t size)
{
    auto state = std::make_unique<State>();
    bool exists = false;
    struct stat old = {};
    if ((error = FindTarget(path, state->target)))
        return nullptr;
    if ((error = state->folder.open(state->target.folder)))
        return nullptr;
    if ((error = CheckDestination(state->folder.fd(), state->target.name, exists, old)))
        return nullptr;

    // From its creation to its rename or removal, the temporary is the file
    // that an ending signal removes.
    WithSignalsHeld([&]() {
        state->fd = CreateTemporary(state->folder.fd(), exists, state->temporary);
        if (state->fd < 0)
            error = LastError();
        else
            state->place = RemoveOnSignal(state->folder.fd(), state->temporary);
    });
    if (state->fd < 0)
        return nullptr;
    std::unique_ptr<Replacement> replacement(new Replacement(std::move(state)));
    State &made = *replacement->state_;
    if (exists)
        error = KeepOwnerAndAttributes(made.fd, made.target.folder + "/" + made.target.name, old);
    if (!error)
        error = TakeRoom(made.fd, size);
    std::int64_t written = 0;
    for (std::string_view part = error ? std::string_view() : nextPart(); !part.empty(); part = nextPart()) {
        if ((error = WriteAll(made.fd, part, written)))
            break;
    }
    if (exists && !error)
        error = KeepMode(made.fd, old);
    return error ? nullptr : std::move(replacement);
}

std::error_code Replacement::finish()
{
    State &state = *state_;
    std::error_code error;
    if (fileCalls().fsync(state.fd) != 0)
        error = LastError();
    // Some file systems report a failed write only when the file is closed.
    if (fileCalls().close(state.fd) != 0 && !error)
        error = LastError();
    state.fd = -1;
    WithSignalsHeld([&]() {
        const int folder = state.folder.fd();
        if (!error && fileCalls().renameat(folder, state.temporary.c_str(), folder, state.target.name.c_str()) != 0)
            error = LastError();
        if (error)
            fileCalls().unlinkat(folder, state.temporary.c_str(), 0);
        ForgetOnSignal(state.place);
        state.place = -1;
    });
    if (!error)
        error = state.folder.sync();
    state_.reset();
    return error;
}

Replacement::~Replacement()
{
    if (!state_)
        return;
    if (state_->fd >= 0)
        fileCalls().close(state_->fd);
    WithSignalsHeld([&]() {
        fileCalls().unlinkat(state_->folder.fd(), state_->temporary.c_str(), 0);
        ForgetOnSignal(state_->place);
    });
}

#endif

std::error_code NotRegularFile()
{
    static const class : public std::error_category
    {
    public:
        const char *name() const noexcept override { return "destination"; }
        std::string message(int) const override { return "Not a regular file"; }
    } category;
    return {1, category};
}


Replacement::Replacement(std::unique_ptr<State> state) : state_(std::move(state)) {}

std::error_code ReplaceFile(const std::string &path, const NextBytes &nextPart, std::int64_t size)
{
    std::error_code error;
    std::unique_ptr<Replacement> replacement = Replacement::Begin(path, nextPart, error, size);
    return replacement ? replacement->finish() : error;
}

std::error_code ReplaceFile(const std::string &path, std::initializer_list<std::string_view> parts)
{
    auto next = parts.begin();
    std::int64_t size = 0;
    for (std::string_view part : parts)
        size += std::int64_t(part.size());
    return ReplaceFile(path, [&]() { return next == parts.end() ? std::string_view() : *next++; }, size);
}

} // namespace platform
