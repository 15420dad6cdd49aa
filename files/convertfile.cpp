#include "convertfile.h"

#include "bmp24to8/platform.h"
#include "readahead.h"

#include <exception>

namespace files {

using namespace bmp24to8;

namespace {

// A file of the system's as the engine reads its sources. A large picture's
// pixels are read ahead on a thread of their own and lent to the engine.
class FileSource final : public ByteSource
{
public:
    explicit FileSource(std::unique_ptr<platform::InputFile> file) : file_(std::move(file)) {}

    std::int64_t size() override { return file_->size(); }
    std::int64_t read(char *to, std::int64_t count) override
    {
        stopReadingAhead();
        return file_->read(to, count);
    }
    bool seek(std::int64_t offset) override
    {
        stopReadingAhead();
        return file_->seek(offset);
    }
    std::int64_t position() override { return ahead_ ? aheadFrom_ + ahead_->handedOut() : file_->position(); }
    std::int64_t lend(const char *&bytes, std::int64_t count) override
    {
        if (!ahead_) {
            // Below this, starting a thread costs more than it saves.
            if (count < kReadAheadFrom)
                return kDoesNotLend;
            aheadFrom_ = file_->position();
            try {
                ahead_ = std::make_unique<ReadAhead>(*file_, count);
            } catch (const std::exception &) {
                // No thread or no memory to spare for one: the engine reads.
                return kDoesNotLend;
            }
        }
        return ahead_->next(bytes);
    }

private:
    static constexpr std::int64_t kReadAheadFrom = std::int64_t(4) << 20;

    // The file is this thread's again, at the position the reading came to.
    void stopReadingAhead()
    {
        if (!ahead_)
            return;
        const std::int64_t at = position();
        ahead_.reset();
        file_->seek(at);
    }

    std::unique_ptr<platform::InputFile> file_;
    std::unique_ptr<ReadAhead> ahead_;
    std::int64_t aheadFrom_ = 0;
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
    return WritePicture(prepared, [&](const NextPart &nextPart) {
        return platform::ReplaceFile(destinationPath, nextPart, prepared.outputBytes());
    });
}

Problem BeginPictureFile(const Prepared &prepared, const std::string &destinationPath,
                         std::unique_ptr<platform::Replacement> &replacement)
{
    return WritePicture(prepared, [&](const NextPart &nextPart) {
        std::error_code error;
        replacement = platform::Replacement::Begin(destinationPath, nextPart, error, prepared.outputBytes());
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
