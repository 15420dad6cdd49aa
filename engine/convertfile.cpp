#include "convertfile.h"

#include "colourindex.h"
#include "conversionhost.h"
#include "fourbit.h"
#include "picture.h"
#include "reorder.h"
#include "sourceheader.h"
#include "writer.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

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
    // Only regular files: a folder cannot be read, and opening a pipe or a
    // device could block for ever.
    if (!QFileInfo(sourcePath).isFile())
        return {Failure::CannotOpen};
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {Failure::CannotOpen};
    return ReadAndIndex(source, picture, host);
}

// The steps between reading and writing.
Problem Rearrange(Picture &picture, ConversionHost &host)
{
    if (Problem problem = ReorderPalette(picture, host))
        return problem;
    // Read after reordering, so a change made while the pixels were read applies.
    if (WantsFourBit(host.check1Value(), picture.colourCount))
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

// Runs the steps of one conversion. A picture whose pixels do not fit in memory
// is one refused file, not the end of the batch: its memory is released when
// the exception leaves the steps, before the failure is reported.
template <typename Steps>
Problem RunSteps(Steps steps)
{
    try {
        return steps();
    } catch (const std::bad_alloc &) {
        return {Failure::NotEnoughMemory};
    }
}

} // namespace

ConvertOutcome ConvertFile(const QString &sourcePath, const QString &destinationPath, ConversionHost &host)
{
    // Copies, so that a host changing its own strings during a yield cannot reach us.
    const QString source = sourcePath;
    const QString destination = destinationPath;

    const Problem problem = RunSteps([&]() -> Problem {
        Picture picture;
        Problem problem = ReadSourceFile(source, picture, host);
        if (!problem)
            problem = Rearrange(picture, host);
        if (!problem)
            problem = WriteOutputBitmap(picture, destination);
        return problem;
    });
    return Outcome(problem, source, destination, host);
}

ConvertOutcome ConvertBytes(const QByteArray &source, QByteArray &output, ConversionHost &host)
{
    const Problem problem = RunSteps([&]() -> Problem {
        QBuffer buffer;
        buffer.setData(source);
        buffer.open(QIODevice::ReadOnly);
        Picture picture;
        Problem problem = ReadAndIndex(buffer, picture, host);
        if (!problem)
            problem = Rearrange(picture, host);
        if (!problem)
            output = OutputHeaderAndPalette(picture) + picture.pixelIndexData;
        return problem;
    });
    return Outcome(problem, QStringLiteral("<memory>"), QStringLiteral("<memory>"), host);
}
