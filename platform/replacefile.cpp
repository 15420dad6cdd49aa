#include "replacefile.h"

#ifdef _WIN32
#include <QFileInfo>
#include <QSaveFile>
#else
#include "filecalls.h"
#include "nativepath.h"

#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef _WIN32

bool ReplaceFile(const QString &path, const NextPart &nextPart)
{
    // QFileInfo follows links: only a regular file, or a link to one, is replaced.
    const QFileInfo existing(path);
    constexpr QFile::Permissions anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if ((existing.exists() || existing.isSymLink()) && (!existing.isFile() || !(existing.permissions() & anyWrite)))
        return false;
    // Unbuffered, so that every write reports its own failure; NTFS journals the rename.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    for (QByteArrayView part = nextPart(); !part.isEmpty(); part = nextPart()) {
        if (file.write(part.data(), part.size()) != part.size()) {
            file.cancelWriting();
            return false;
        }
    }
    return file.commit();
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
    QByteArray path;
    QByteArray folder;
    bool exists = false;
    struct stat status = {};
};

QByteArray FolderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

bool FindTarget(const QByteArray &path, Target &target)
{
    target.path = path;
    struct stat entry;
    if (lstat(path.constData(), &entry) != 0) {
        if (errno != ENOENT)
            return false;
        target.folder = FolderOf(path);
        return true;
    }
    target.exists = true;
    target.status = entry;
    if (S_ISLNK(entry.st_mode)) {
        // A dangling link would make us create a file wherever it points.
        char *resolved = realpath(path.constData(), nullptr);
        if (!resolved)
            return false;
        target.path = resolved;
        std::free(resolved);
        if (stat(target.path.constData(), &target.status) != 0)
            return false;
    }
    target.folder = FolderOf(target.path);
    // Device nodes, pipes and folders are never replaced by a file. A file that
    // nobody may write is left alone, even by the super-user, who could
    // otherwise replace it.
    return S_ISREG(target.status.st_mode) && (target.status.st_mode & 0222) != 0
        && access(target.path.constData(), W_OK) == 0;
}

// Creates a new, empty file under a name that is free, short and hidden.
int CreateTemporary(const Target &target, QByteArray &temporary)
{
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    // A new file gets the usual permissions less the umask; a replacement gets
    // the old file's mode once its owner is set.
    const mode_t mode = target.exists ? 0600 : 0666;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target.folder + "/.bmp24to8-";
        for (int i = 0; i < 6; ++i)
            temporary += letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
        const int fd = fileCalls().open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool KeepOwnerAndMode(int fd, const struct stat &old)
{
    // An ordinary user may not give a file away; the file then stays ours.
    // Changing the owner clears the set-id bits, so the mode comes after it.
    fileCalls().fchown(fd, old.st_uid, old.st_gid);
    return fileCalls().fchmod(fd, old.st_mode & 07777) == 0;
}

bool WriteAll(int fd, QByteArrayView bytes)
{
    const char *at = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = fileCalls().write(fd, at, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        at += written;
        left -= written;
    }
    return true;
}

// Makes the rename durable. A folder that may be written but not read cannot
// be opened for the sync, and some file systems cannot sync a folder at all;
// neither is a failure, since there is nothing more the program could do.
bool SyncFolder(const QByteArray &folder)
{
    const int fd = fileCalls().open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0)
        return errno == EACCES;
    const bool synced = fileCalls().fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP;
    fileCalls().close(fd);
    return synced;
}

} // namespace

bool ReplaceFile(const QString &path, const NextPart &nextPart)
{
    Target target;
    if (!FindTarget(NativePath(path), target))
        return false;
    QByteArray temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0)
        return false;

    bool written = !target.exists || KeepOwnerAndMode(fd, target.status);
    for (QByteArrayView part = written ? nextPart() : QByteArrayView(); !part.isEmpty(); part = nextPart()) {
        if (!WriteAll(fd, part)) {
            written = false;
            break;
        }
    }
    written = written && fileCalls().fsync(fd) == 0;
    // Some file systems report a failed write only when the file is closed.
    written = fileCalls().close(fd) == 0 && written;
    written = written && fileCalls().rename(temporary.constData(), target.path.constData()) == 0;
    if (!written) {
        fileCalls().unlink(temporary.constData());
        return false;
    }
    return SyncFolder(target.folder);
}

#endif

bool ReplaceFile(const QString &path, std::initializer_list<QByteArrayView> parts)
{
    auto next = parts.begin();
    return ReplaceFile(path, [&]() { return next == parts.end() ? QByteArrayView() : *next++; });
}

} // namespace platform
