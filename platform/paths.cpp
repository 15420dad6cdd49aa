#include "paths.h"

#include <filesystem>

#ifdef _WIN32
#include <cwctype>
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

bool IsFolder(const std::string &path)
{
    std::error_code error;
    return std::filesystem::is_directory(Native(path), error);
}

bool IsRegularFile(const std::string &path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(Native(path), error);
}

bool IsReadableFolder(const std::string &path)
{
    std::error_code error;
    std::filesystem::directory_iterator entries(Native(path), error);
    return !error;
}

std::vector<std::string> FolderEntries(const std::string &folder, EntryKind kind)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(Native(folder), error)) {
        const std::string name = Utf8(entry.path().filename());
        if (name.empty() || name.front() == '.')
            continue;
        if (kind == EntryKind::Files ? entry.is_regular_file(error) : entry.is_directory(error))
            names.push_back(name);
    }
    return names;
}

std::string ComparablePath(const std::string &path)
{
    std::error_code error;
    std::wstring text = std::filesystem::absolute(Native(path), error).lexically_normal().wstring();
    for (wchar_t &c : text)
        c = wchar_t(towlower(c));
    return Utf8(std::filesystem::path(text));
}

std::string WrittenPath(const std::string &path)
{
    return ComparablePath(path);
}

#else

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
    if (char *resolved = realpath(path.c_str(), nullptr)) {
        std::string written = resolved;
        std::free(resolved);
        return written;
    }
    // Nothing there yet, or a dangling link (which the writer refuses): the
    // folder resolved, the name as given.
    const std::filesystem::path given(path);
    if (char *folder = realpath(given.has_parent_path() ? given.parent_path().c_str() : ".", nullptr)) {
        const std::string written = (std::filesystem::path(folder) / given.filename()).string();
        std::free(folder);
        return written;
    }
    return ComparablePath(path);
}

#endif

} // namespace platform
