#include "nativepath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifndef _WIN32
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef _WIN32

QString PathFromNative(QByteArrayView bytes)
{
    return QFile::decodeName(bytes.toByteArray());
}

QByteArray NativePath(const QString &path)
{
    return QFile::encodeName(path);
}

QStringList CommandLineArguments(int, char **)
{
    // Windows passes the command line as UTF-16, which Qt reads directly.
    return QCoreApplication::arguments();
}

bool OpenRegularFileForReading(const QString &path, QFile &file)
{
    file.setFileName(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool IsFolder(const QString &path)
{
    return QFileInfo(path).isDir();
}

bool IsRegularFile(const QString &path)
{
    return QFileInfo(path).isFile();
}

bool IsReadableFolder(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() && info.isReadable() && info.isExecutable();
}

QStringList FolderEntries(const QString &folder, EntryKind kind)
{
    return QDir(folder).entryList(kind == EntryKind::Files ? QDir::Files : QDir::Dirs | QDir::NoDotAndDotDot);
}

QString DisplayName(const QString &path)
{
    return path;
}

#else

namespace {

constexpr char16_t kEscapeBase = 0xDC00;   // a byte b >= 0x80 becomes U+DC00 + b

// The length of the valid UTF-8 sequence at the start of `bytes`, with its code
// point; 0 when it is not one (overlong forms and surrogates included).
int ValidSequence(QByteArrayView bytes, char32_t &codePoint)
{
    const auto lead = uchar(bytes[0]);
    int length = 0;
    char32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        smallest = 0x80;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        smallest = 0x800;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        smallest = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (bytes.size() < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        const auto next = uchar(bytes[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = codePoint << 6 | (next & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint < smallest || surrogate || codePoint > 0x10FFFF ? 0 : length;
}

} // namespace

QString PathFromNative(QByteArrayView bytes)
{
    QString path;
    path.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        const auto byte = uchar(bytes[at]);
        char32_t codePoint = byte;
        const int length = byte < 0x80 ? 1 : ValidSequence(bytes.sliced(at), codePoint);
        if (length == 0) {
            path += QChar(char16_t(kEscapeBase + byte));
            ++at;
            continue;
        }
        if (QChar::requiresSurrogates(codePoint)) {
            path += QChar(QChar::highSurrogate(codePoint));
            path += QChar(QChar::lowSurrogate(codePoint));
        } else {
            path += QChar(char16_t(codePoint));
        }
        at += length;
    }
    return path;
}

QByteArray NativePath(const QString &path)
{
    QByteArray bytes;
    bytes.reserve(path.size());
    for (qsizetype at = 0; at < path.size(); ++at) {
        const char16_t unit = path.at(at).unicode();
        char32_t codePoint = unit;
        if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
            bytes += char(unit - kEscapeBase);
            continue;
        }
        if (QChar::isHighSurrogate(unit) && at + 1 < path.size() && path.at(at + 1).isLowSurrogate())
            codePoint = QChar::surrogateToUcs4(unit, path.at(++at).unicode());
        else if (QChar::isSurrogate(unit))
            codePoint = QChar::ReplacementCharacter;
        bytes += QString::fromUcs4(&codePoint, 1).toUtf8();
    }
    return bytes;
}

QStringList CommandLineArguments(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << PathFromNative(argv[i]);
    return arguments;
}

bool OpenRegularFileForReading(const QString &path, QFile &file)
{
    // Without O_NONBLOCK, opening a pipe would wait for a writer.
    const int fd = ::open(NativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || fcntl(fd, F_SETFL, 0) != 0) {
        ::close(fd);
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

bool IsFolder(const QString &path)
{
    struct stat status;
    return stat(NativePath(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool IsRegularFile(const QString &path)
{
    struct stat status;
    return stat(NativePath(path).constData(), &status) == 0 && S_ISREG(status.st_mode);
}

bool IsReadableFolder(const QString &path)
{
    return IsFolder(path) && access(NativePath(path).constData(), R_OK | X_OK) == 0;
}

QStringList FolderEntries(const QString &folder, EntryKind kind)
{
    QStringList names;
    const int folderFd = ::open(NativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return names;
    DIR *entries = fdopendir(folderFd);
    if (!entries) {
        ::close(folderFd);
        return names;
    }
    while (const dirent *entry = readdir(entries)) {
        if (entry->d_name[0] == '.')
            continue;
        struct stat status;
        if (fstatat(folderFd, entry->d_name, &status, 0) != 0)
            continue;   // a dangling link, or gone already
        if (kind == EntryKind::Files ? S_ISREG(status.st_mode) : S_ISDIR(status.st_mode))
            names << PathFromNative(entry->d_name);
    }
    closedir(entries);
    return names;
}

QString DisplayName(const QString &path)
{
    QString shown = path;
    for (QChar &unit : shown) {
        if (unit.unicode() >= kEscapeBase + 0x80 && unit.unicode() <= kEscapeBase + 0xFF)
            unit = QChar::ReplacementCharacter;
    }
    return shown;
}

#endif

} // namespace platform
