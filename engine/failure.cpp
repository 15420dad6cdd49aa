#include "bmp24to8/engine.h"

namespace bmp24to8 {

namespace {

std::string LineOf(const Problem &problem, const std::string &sourcePath, const std::string &destinationPath)
{
    switch (problem.failure) {
    case Failure::None:
    case Failure::Interrupted:
        return {};
    case Failure::CannotOpen:
        return std::string("Cannot open file - ") + sourcePath;
    case Failure::NotBmp:
        return std::string("File Not BMP - ") + sourcePath;
    case Failure::HeaderSizeMismatch:
        return std::string("Sorry, only Windows BMP's are currently supported. Send me some OS/2 bitmaps "
                           "and I will add their support. (Header size mismatch) - ")
            + sourcePath;
    case Failure::NotTwentyFourBit:
        return std::string("Bitmap not 24 bit - ") + sourcePath;
    case Failure::Truncated:
        return std::string("File truncated - ") + sourcePath;
    case Failure::Compressed:
        return std::string("Compressed bitmaps are not supported - ") + sourcePath;
    case Failure::ColourSpaceWouldBeLost:
        return std::string("The picture's colour profile or colour space would be lost (only sRGB is converted) - ")
            + sourcePath;
    case Failure::InvalidDimensions:
        return std::string("Invalid bitmap dimensions - ") + sourcePath;
    case Failure::BadPixelDataOffset:
        return std::string("Bad pixel data offset - ") + sourcePath;
    case Failure::TooManyColours:
        // Row and column are never negative; each is written after one blank.
        return "Too many different colors at " + std::to_string(problem.row) + ". row and "
            + std::to_string(problem.column) + ". column of " + sourcePath + " Lossless conversion not possible.";
    case Failure::Aborted:
        return std::string("Aborted by user - ") + sourcePath;
    case Failure::TryDifferentOptimization:
        return std::string("Try different optimization - ") + sourcePath;
    case Failure::CannotWrite:
        return std::string("Cannot write file - ") + destinationPath;
    case Failure::NotEnoughMemory:
        return std::string("Not enough memory - ") + sourcePath;
    case Failure::DuplicateDestination:
        return std::string("Duplicate destination - ") + destinationPath;
    }
    return {};
}

} // namespace

std::string FailureLine(const Problem &problem, const std::string &sourcePath, const std::string &destinationPath)
{
    std::string line = LineOf(problem, sourcePath, destinationPath);
    if (!line.empty() && !problem.reason.empty())
        line += " (" + problem.reason + ")";
    return line;
}

std::string ReasonOf(const std::error_code &error)
{
    std::string reason = error.message();
    while (!reason.empty() && (reason.back() == '.' || reason.back() == ' ' || reason.back() == '\r' || reason.back() == '\n'))
        reason.pop_back();
    return reason;
}

} // namespace bmp24to8
