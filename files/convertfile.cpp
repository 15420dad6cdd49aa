#include "convertfile.h"

#include "picture.h"
#include "replacefile.h"
#include "sourcefile.h"

Problem PrepareFile(const std::string &sourcePath, Picture &picture, ConversionHost &host)
{
    // Only regular files: a folder cannot be read, and reading a pipe or a
    // device could block for ever.
    const std::unique_ptr<ByteSource> file = platform::OpenSourceFile(sourcePath);
    if (!file)
        return {Failure::CannotOpen};
    return PrepareSource(*file, picture, host);
}

Problem WritePictureFile(const Picture &picture, const std::string &destinationPath)
{
    return WritePicture(picture, [&destinationPath](const NextPart &nextPart) {
        return platform::ReplaceFile(destinationPath, nextPart);
    });
}

Problem ConvertFile(const std::string &sourcePath, const std::string &destinationPath, ConversionHost &host)
{
    Picture picture;
    if (Problem problem = PrepareFile(sourcePath, picture, host))
        return problem;
    return WritePictureFile(picture, destinationPath);
}
