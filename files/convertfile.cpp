#include "convertfile.h"

#include "bmp24to8/platform.h"

namespace files {

using namespace bmp24to8;

namespace {

// A file of the system's as the engine reads its sources.
class FileSource final : public ByteSource
{
public:
    explicit FileSource(std::unique_ptr<platform::InputFile> file) : file_(std::move(file)) {}

    std::int64_t size() override { return file_->size(); }
    std::int64_t read(char *to, std::int64_t count) override { return file_->read(to, count); }
    bool seek(std::int64_t offset) override { return file_->seek(offset); }
    std::int64_t position() override { return file_->position(); }

private:
    std::unique_ptr<platform::InputFile> file_;
};

} // namespace

std::unique_ptr<ByteSource> OpenSourceFile(const std::string &path)
{
    std::unique_ptr<platform::InputFile> file = platform::InputFile::Open(path);
    return file ? std::make_unique<FileSource>(std::move(file)) : nullptr;
}

Problem PrepareFile(const std::string &sourcePath, Prepared &prepared, ConversionHost &host)
{
    const std::unique_ptr<ByteSource> source = OpenSourceFile(sourcePath);
    if (!source)
        return {Failure::CannotOpen};
    return PrepareSource(*source, prepared, host);
}

Problem WritePictureFile(const Prepared &prepared, const std::string &destinationPath)
{
    return WritePicture(prepared, [&destinationPath](const NextPart &nextPart) {
        return platform::ReplaceFile(destinationPath, nextPart);
    });
}

Problem BeginPictureFile(const Prepared &prepared, const std::string &destinationPath,
                         std::unique_ptr<platform::Replacement> &replacement)
{
    return WritePicture(prepared, [&](const NextPart &nextPart) {
        std::error_code error;
        replacement = platform::Replacement::Begin(destinationPath, nextPart, error);
        return error;
    });
}

Problem FinishPictureFile(platform::Replacement &replacement)
{
    if (const std::error_code error = replacement.finish())
        return {Failure::CannotWrite, 0, 0, ReasonOf(error)};
    return {};
}

Problem ConvertFile(const std::string &sourcePath, const std::string &destinationPath, ConversionHost &host)
{
    Prepared prepared;
    if (Problem problem = PrepareFile(sourcePath, prepared, host))
        return problem;
    return WritePictureFile(prepared, destinationPath);
}

} // namespace files
