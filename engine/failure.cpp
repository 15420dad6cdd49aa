#include "failure.h"

QString FailureLine(const Problem &problem, const QString &sourcePath, const QString &destinationPath)
{
    switch (problem.failure) {
    case Failure::None:
    case Failure::Interrupted:
        return {};
    case Failure::CannotOpen:
        return QStringLiteral("Cannot open file - ") + sourcePath;
    case Failure::NotBmp:
        return QStringLiteral("File Not BMP - ") + sourcePath;
    case Failure::HeaderSizeMismatch:
        return QStringLiteral("Sorry, only Windows BMP's are currently supported. Send me some OS/2 bitmaps "
                              "and I will add their support. (Header size mismatch) - ")
            + sourcePath;
    case Failure::NotTwentyFourBit:
        return QStringLiteral("Bitmap not 24 bit - ") + sourcePath;
    case Failure::Truncated:
        return QStringLiteral("File truncated - ") + sourcePath;
    case Failure::Compressed:
        return QStringLiteral("Compressed bitmaps are not supported - ") + sourcePath;
    case Failure::InvalidDimensions:
        return QStringLiteral("Invalid bitmap dimensions - ") + sourcePath;
    case Failure::BadPixelDataOffset:
        return QStringLiteral("Bad pixel data offset - ") + sourcePath;
    case Failure::TooManyColours:
        // Numbers that are not negative are written with one leading blank.
        return QStringLiteral("Too many different colors at%1. row and%2. column of %3 Lossless conversion not possible.")
            .arg(QLatin1Char(' ') + QString::number(problem.row),
                 QLatin1Char(' ') + QString::number(problem.column), sourcePath);
    case Failure::Aborted:
        return QStringLiteral("Aborted by user - ") + sourcePath;
    case Failure::TryDifferentOptimization:
        return QStringLiteral("Try different optimization - ") + sourcePath;
    case Failure::CannotWrite:
        return QStringLiteral("Cannot write file - ") + destinationPath;
    case Failure::NotEnoughMemory:
        return QStringLiteral("Not enough memory - ") + sourcePath;
    }
    return {};
}
