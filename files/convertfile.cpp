#include "convertfile.h"

#include "failure.h"
#include "picture.h"
#include "replacefile.h"
#include "sourcefile.h"

ConvertOutcome PrepareFile(const std::string &sourcePath, Picture &picture, ConversionHost &host)
{
    // A copy, so that a host changing its own strings during a yield cannot reach us.
    const std::string source = sourcePath;
    // Only regular files: a folder cannot be read, and reading a pipe or a
    // device could block for ever.
    const std::unique_ptr<ByteSource> file = platform::OpenSourceFile(source);
    if (!file)
        return Report({Failure::CannotOpen}, source, {}, host);
    return PrepareSource(*file, source, picture, host);
}

ConvertOutcome WritePictureFile(const Picture &picture, const std::string &sourceName,
                                const std::string &destinationPath, ConversionHost &host)
{
    const std::string destination = destinationPath;
    return WritePicture(picture, sourceName, destination,
                        [&destination](const NextPart &nextPart) { return platform::ReplaceFile(destination, nextPart); },
                        host);
}

ConvertOutcome ConvertFile(const std::string &sourcePath, const std::string &destinationPath, ConversionHost &host)
{
    const std::string source = sourcePath;
    const std::string destination = destinationPath;
    Picture picture;
    const ConvertOutcome prepared = PrepareFile(source, picture, host);
    return prepared == ConvertOutcome::Written ? WritePictureFile(picture, source, destination, host) : prepared;
}
