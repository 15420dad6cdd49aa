// File names as the operating system stores them.
//
// On Unix-like systems a file name is a string of bytes that need not be valid
// UTF-8: names from old archives are often Latin-1 ("caf\xe9.bmp"). Qt decodes
// such bytes into replacement characters, after which the file cannot be found
// again. Here every byte that is not part of valid UTF-8 is carried in the
// QString as a lone low surrogate, U+DC80 to U+DCFF, and turned back into the
// same byte on the way out, so any name the file system accepts survives the
// trip. Elsewhere these are Qt's own conversions.
#pragma once

#include <QByteArray>
#include <QStringList>

class QFile;

namespace platform {

QString PathFromNative(QByteArrayView bytes);
QByteArray NativePath(const QString &path);

// The program's arguments, decoded as file names are.
QStringList CommandLineArguments(int argc, char **argv);

// Opens a regular file for unbuffered reading. Anything else (a folder, a
// pipe, a device) is refused without waiting for it.
bool OpenRegularFileForReading(const QString &path, QFile &file);

// Whether the path names a folder, or a regular file (following links).
bool IsFolder(const QString &path);
bool IsRegularFile(const QString &path);
// Whether it names a folder whose entries can be listed and opened.
bool IsReadableFolder(const QString &path);

// The names in a folder that are not hidden (no leading dot): the regular
// files, or the subfolders (links followed), unsorted. Empty when the folder
// cannot be read.
enum class EntryKind { Files, Folders };
QStringList FolderEntries(const QString &folder, EntryKind kind);

// The name as it can be shown: each byte that was not valid UTF-8 appears as
// the replacement character.
QString DisplayName(const QString &path);

} // namespace platform
