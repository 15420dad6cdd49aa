#include "bmp24to8/platform.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

#ifndef _WIN32
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef _WIN32

namespace {

std::filesystem::path Native(const std::string &path)
{
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::string Utf8(const std::filesystem::path &path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

bool Exists(const std::string &path)
{
    return GetFileAttributesW(Native(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string &path)
{
    std::error_code error;
    return std::filesystem::is_directory(Native(path), error);
}

std::string ComparablePath(const std::string &path)
{
    std::error_code error;
    const std::wstring text = std::filesystem::absolute(Native(path), error).lexically_normal().wstring();
    // Upper case as the file system compares names: ordinal, Unicode-wide.
    std::wstring folded(text.size(), L'\0');
    if (!text.empty()
        && LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.c_str(), int(text.size()), folded.data(),
                         int(folded.size()), nullptr, nullptr, 0) == 0)
        folded = text;
    return Utf8(std::filesystem::path(folded));
}

std::string WrittenPath(const std::string &path)
{
    return ComparablePath(path);
}

#else

bool Exists(const std::string &path)
{
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}

bool IsFolder(const std::string &path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool IsRegularFile(const std::string &path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool IsReadableFolder(const std::string &path)
{
    return IsFolder(path) && access(path.c_str(), R_OK | X_OK) == 0;
}

std::vector<std::string> FolderEntries(const std::string &folder, EntryKind kind)
{
    std::vector<std::string> names;
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
            names.emplace_back(entry->d_name);
    }
    closedir(entries);
    return names;
}

std::string ComparablePath(const std::string &path)
{
    std::error_code error;
    return std::filesystem::absolute(path, error).lexically_normal().string();
}

std::string WrittenPath(const std::string &path)
{
    std::filesystem::path given(path);
    // A link that leads to nothing yet leads to the file another FILE of the
    // run may write first, after which the writer follows it there.
    for (int links = 0; links < 40; ++links) {
        if (char *resolved = realpath(given.c_str(), nullptr)) {
            std::string written = resolved;
            std::free(resolved);
            return written;
        }
        std::error_code error;
        const std::filesystem::path target = std::filesystem::read_symlink(given, error);
        if (error)
            break;
        given = target.is_absolute() ? target : given.parent_path() / target;
    }
    // Nothing there yet: the folder resolved, the name as given.
    if (char *folder = realpath(given.has_parent_path() ? given.parent_path().c_str() : ".", nullptr)) {
        const std::string written = (std::filesystem::path(folder) / given.filename()).string();
        std::free(folder);
        return written;
    }
    return ComparablePath(path);
}

#endif

} // namespace platform
