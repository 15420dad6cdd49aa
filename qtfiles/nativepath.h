// File names as the operating system stores them, held in a QString for the
// window and the tests.
//
// On Unix-like systems a file name is a string of bytes that need not be valid
// UTF-8: names from old archives are often Latin-1 ("caf\xe9.bmp"). Qt decodes
// such bytes into replacement characters, after which the file cannot be found
// again. Here every byte that is not part of valid UTF-8 is carried in the
// QString as a lone low surrogate, U+DC80 to U+DCFF, and turned back into the
// same byte on the way out, so any name the file system accepts survives the
// trip. (The window and its tests are built for Unix-like systems only.)
#pragma once

#include "bmp24to8/platform.h"

#include <QByteArray>
#include <QStringList>

#include <string>

namespace qtfiles {

// Bytes as the file layer spells a path (or a message naming one) into a
// QString, and back.
QString PathFromNative(QByteArrayView bytes);
QByteArray NativePath(const QString &path);
// The same bytes as the file layer takes them.
std::string NativeString(const QString &path);

// The program's arguments, decoded as file names are.
QStringList CommandLineArguments(int argc, char **argv);

// The questions of paths.h for paths held in a QString.
// Whether the path names a folder, or a regular file (following links).
bool IsFolder(const QString &path);
bool IsRegularFile(const QString &path);
// Whether it names a folder whose entries can be listed and opened.
bool IsReadableFolder(const QString &path);

QStringList FolderEntries(const QString &folder, platform::EntryKind kind);

// The name as it can be shown: each byte that was not valid UTF-8 appears as
// the replacement character.
QString DisplayName(const QString &path);

} // namespace qtfiles
