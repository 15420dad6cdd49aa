// Asking the file system about paths, as the command line and the window's
// lists need it. Paths are as the system spells them: bytes on Unix-like
// systems, where a name need not be valid UTF-8, and UTF-8 on Windows.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Whether anything stands under the path (a dangling link too).
bool Exists(const std::string &path);
// Whether the path names a folder, or a regular file (following links).
bool IsFolder(const std::string &path);
bool IsRegularFile(const std::string &path);
// Whether it names a folder whose entries can be listed and opened.
bool IsReadableFolder(const std::string &path);

// The names in a folder that are not hidden (no leading dot): the regular
// files, or the subfolders (links followed), unsorted. Empty when the folder
// cannot be read.
enum class EntryKind { Files, Folders };
std::vector<std::string> FolderEntries(const std::string &folder, EntryKind kind);

// The path made absolute and without "." and ".." parts, and on Windows in one
// letter case as its file systems fold case (all of Unicode, not only ASCII),
// so that two paths to the same file give the same text.
std::string ComparablePath(const std::string &path);
// The file that writing to the path would create or replace, as comparable
// text: an existing link is followed as the writer follows it, and a link to
// a file not written yet leads to that file's name, so two paths that would
// write the same file, now or once the other is written, give the same text.
std::string WrittenPath(const std::string &path);

} // namespace platform
