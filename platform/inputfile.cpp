// Reading a regular file, on each system.
#include "bmp24to8/platform.h"

#ifdef _WIN32
#include <cstdio>
#include <filesystem>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef _WIN32

namespace {

std::FILE *File(std::intptr_t handle)
{
    return reinterpret_cast<std::FILE *>(handle);
}

} // namespace

std::unique_ptr<InputFile> InputFile::Open(const std::string &path)
{
    const std::filesystem::path name(std::u8string(path.begin(), path.end()));
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error))
        return nullptr;
    std::FILE *file = _wfopen(name.c_str(), L"rb");
    if (!file)
        return nullptr;
    std::setvbuf(file, nullptr, _IONBF, 0);
    return std::unique_ptr<InputFile>(new InputFile(reinterpret_cast<std::intptr_t>(file)));
}

InputFile::~InputFile()
{
    std::fclose(File(handle_));
}

std::int64_t InputFile::size()
{
    struct _stat64 status;
    return _fstat64(_fileno(File(handle_)), &status) == 0 ? std::int64_t(status.st_size) : -1;
}

std::int64_t InputFile::read(char *to, std::int64_t count)
{
    const size_t got = std::fread(to, 1, size_t(count), File(handle_));
    return got == 0 && std::ferror(File(handle_)) ? -1 : std::int64_t(got);
}

bool InputFile::seek(std::int64_t offset)
{
    return _fseeki64(File(handle_), offset, SEEK_SET) == 0;
}

std::int64_t InputFile::position()
{
    return _ftelli64(File(handle_));
}

#else

std::unique_ptr<InputFile> InputFile::Open(const std::string &path)
{
    // Without O_NONBLOCK, opening a pipe would wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || fcntl(fd, F_SETFL, 0) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<InputFile>(new InputFile(fd));
}

InputFile::~InputFile()
{
    ::close(int(handle_));
}

std::int64_t InputFile::size()
{
    struct stat status;
    return fstat(int(handle_), &status) == 0 ? std::int64_t(status.st_size) : -1;
}

std::int64_t InputFile::read(char *to, std::int64_t count)
{
    for (;;) {
        const ssize_t got = ::read(int(handle_), to, size_t(count));
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

bool InputFile::seek(std::int64_t offset)
{
    return lseek(int(handle_), off_t(offset), SEEK_SET) == off_t(offset);
}

std::int64_t InputFile::position()
{
    return lseek(int(handle_), 0, SEEK_CUR);
}

#endif

} // namespace platform
