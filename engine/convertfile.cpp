#include "convertfile.h"

#include "colourindex.h"
#include "conversionhost.h"
#include "fourbit.h"
#include "nativepath.h"
#include "picture.h"
#include "reorder.h"
#include "sourceheader.h"
#include "writer.h"

#include <QBuffer>
#include <QFile>

#include <new>

namespace {

Problem ReadAndIndex(QIODevice &source, Picture &picture, ConversionHost &host)
{
    SourceHeader header;
    if (Problem problem = ReadSourceHeader(source, header))
        return problem;
    return IndexColours(source, header, picture, host);
}

// Reads and indexes the source file; the file is closed when this returns.
Problem ReadSourceFile(const QString &sourcePath, Picture &picture, ConversionHost &host)
{
    // Only regular files: a folder cannot be read, and reading a pipe or a
    // device could block for ever.
    QFile source;
    if (!platform::OpenRegularFileForReading(sourcePath, source))
        return {Failure::CannotOpen};
    return ReadAndIndex(source, picture, host);
}

// The steps between reading and writing.
Problem Rearrange(Picture &picture, ConversionHost &host)
{
    if (Problem problem = ReorderPalette(picture, host))
        return problem;
    // Read after reordering, so a change made while the pixels were read applies.
    if (WantsFourBit(host.fourBitWanted(), picture.colourCount))
        return PackFourBit(picture, host);
    return {};
}

ConvertOutcome Outcome(const Problem &problem, const QString &source, const QString &destination, ConversionHost &host)
{
    if (!problem)
        return ConvertOutcome::Written;
    if (problem.failure == Failure::Interrupted)
        return ConvertOutcome::Interrupted;
    host.AppendError(FailureLine(problem, source, destination));
    return ConvertOutcome::Failed;
}

// Runs every step before the writing: `read` reads and indexes the source and
// closes it, then the palette is reordered and the pixels packed. A picture
// whose pixels do not fit in memory is one refused file, not the end of the
// batch: its memory is released when the exception leaves the steps, before
// the failure is reported.
template <typename Read>
Problem PrepareSteps(Read read, Picture &picture, ConversionHost &host)
{
    try {
        const Problem problem = read();
        return problem ? problem : Rearrange(picture, host);
    } catch (const std::bad_alloc &) {
        return {Failure::NotEnoughMemory};
    }
}

} // namespace

ConvertOutcome PrepareFile(const QString &sourcePath, Picture &picture, ConversionHost &host)
{
    // A copy, so that a host changing its own strings during a yield cannot reach us.
    const QString source = sourcePath;
    const Problem problem = PrepareSteps([&] { return ReadSourceFile(source, picture, host); }, picture, host);
    return Outcome(problem, source, QString(), host);
}

ConvertOutcome PrepareBytes(const QByteArray &source, const QString &sourceName, Picture &picture, ConversionHost &host)
{
    const Problem problem = PrepareSteps([&] {
        QBuffer buffer;
        buffer.setData(source);
        buffer.open(QIODevice::ReadOnly);
        return ReadAndIndex(buffer, picture, host);
    }, picture, host);
    return Outcome(problem, sourceName, QString(), host);
}

ConvertOutcome WritePicture(const Picture &picture, const QString &sourceName, const QString &destinationPath,
                            ConversionHost &host)
{
    const QString destination = destinationPath;
    Problem problem;
    try {
        // Everything the writing needs is allocated before its file is created.
        problem = WriteOutputBitmap(picture, destination);
    } catch (const std::bad_alloc &) {
        problem = {Failure::NotEnoughMemory};
    }
    return Outcome(problem, sourceName, destination, host);
}

QByteArray EncodedPicture(const Picture &picture)
{
    QByteArray output = OutputHeaderAndPalette(picture);
    PixelRows rows(picture);
    for (QByteArrayView part = rows.next(); !part.isEmpty(); part = rows.next())
        output += part;
    return output;
}

ConvertOutcome ConvertFile(const QString &sourcePath, const QString &destinationPath, ConversionHost &host)
{
    const QString source = sourcePath;
    const QString destination = destinationPath;
    Picture picture;
    const ConvertOutcome prepared = PrepareFile(source, picture, host);
    return prepared == ConvertOutcome::Written ? WritePicture(picture, source, destination, host) : prepared;
}

ConvertOutcome ConvertBytes(const QByteArray &source, QByteArray &output, ConversionHost &host)
{
    Picture picture;
    const ConvertOutcome prepared = PrepareBytes(source, QStringLiteral("<memory>"), picture, host);
    if (prepared == ConvertOutcome::Written)
        output = EncodedPicture(picture);
    return prepared;
}
