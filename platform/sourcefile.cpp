#include "sourcefile.h"

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

class SourceFile final : public ByteSource
{
public:
    explicit SourceFile(std::FILE *file) : file_(file) {}
    ~SourceFile() override { std::fclose(file_); }

    std::int64_t size() override
    {
        struct _stat64 status;
        return _fstat64(_fileno(file_), &status) == 0 ? std::int64_t(status.st_size) : -1;
    }
    std::int64_t read(char *to, std::int64_t count) override
    {
        const size_t got = std::fread(to, 1, size_t(count), file_);
        return got == 0 && std::ferror(file_) ? -1 : std::int64_t(got);
    }
    bool seek(std::int64_t offset) override { return _fseeki64(file_, offset, SEEK_SET) == 0; }
    std::int64_t position() override { return _ftelli64(file_); }

private:
    std::FILE *file_;
};

} // namespace

std::unique_ptr<ByteSource> OpenSourceFile(const std::string &path)
{
    const std::filesystem::path name(std::u8string(path.begin(), path.end()));
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error))
        return nullptr;
    std::FILE *file = _wfopen(name.c_str(), L"rb");
    if (!file)
        return nullptr;
    std::setvbuf(file, nullptr, _IONBF, 0);
    return std::make_unique<SourceFile>(file);
}

#else

namespace {

class SourceFile final : public ByteSource
{
public:
    explicit SourceFile(int fd) : fd_(fd) {}
    ~SourceFile() override { ::close(fd_); }

    std::int64_t size() override
    {
        struct stat status;
        return fstat(fd_, &status) == 0 ? std::int64_t(status.st_size) : -1;
    }
    std::int64_t read(char *to, std::int64_t count) override
    {
        for (;;) {
            const ssize_t got = ::read(fd_, to, size_t(count));
            if (got >= 0 || errno != EINTR)
                return got;
        }
    }
    bool seek(std::int64_t offset) override { return lseek(fd_, off_t(offset), SEEK_SET) == off_t(offset); }
    std::int64_t position() override { return lseek(fd_, 0, SEEK_CUR); }

private:
    int fd_;
};

} // namespace

std::unique_ptr<ByteSource> OpenSourceFile(const std::string &path)
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
    return std::make_unique<SourceFile>(fd);
}

#endif

} // namespace platform
