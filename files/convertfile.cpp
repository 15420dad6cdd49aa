#include "convertfile.h"

#include "failure.h"
#include "picture.h"
#include "replacefile.h"
#include "sourcefile.h"

#include <utility>

ConvertOutcome PrepareFile(std::string sourcePath, Picture &picture, ConversionHost &host)
{
    // Only regular files: a folder cannot be read, and reading a pipe or a
    // device could block for ever.
    const std::unique_ptr<ByteSource> file = platform::OpenSourceFile(sourcePath);
    if (!file)
        return Report({Failure::CannotOpen}, sourcePath, {}, host);
    return PrepareSource(*file, std::move(sourcePath), picture, host);
}

ConvertOutcome WritePictureFile(const Picture &picture, std::string sourceName, std::string destinationPath,
                                ConversionHost &host)
{
    const auto replace = [&destinationPath](const NextPart &nextPart) { return platform::ReplaceFile(destinationPath, nextPart); };
    return WritePicture(picture, std::move(sourceName), destinationPath, replace, host);
}

ConvertOutcome ConvertFile(std::string sourcePath, std::string destinationPath, ConversionHost &host)
{
    Picture picture;
    const ConvertOutcome prepared = PrepareFile(sourcePath, picture, host);
    return prepared == ConvertOutcome::Prepared
        ? WritePictureFile(picture, std::move(sourcePath), std::move(destinationPath), host)
        : prepared;
}
