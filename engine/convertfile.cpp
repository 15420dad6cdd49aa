#include "convertfile.h"

#include "colourindex.h"
#include "conversionhost.h"
#include "fourbit.h"
#include "picture.h"
#include "reorder.h"
#include "sourceheader.h"
#include "writer.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Reads and indexes the source; the file is closed when this returns.
Problem ReadSource(const QString &sourcePath, Picture &picture, ConversionHost &host)
{
    // Only regular files: a folder cannot be read, and opening a pipe or a
    // device could block for ever.
    if (!QFileInfo(sourcePath).isFile())
        return {Failure::CannotOpen};
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {Failure::CannotOpen};
    SourceHeader header;
    if (Problem problem = ReadSourceHeader(source, header))
        return problem;
    return IndexColours(source, header, picture, host);
}

Problem Convert(const QString &sourcePath, const QString &destinationPath, ConversionHost &host)
{
    Picture picture;
    if (Problem problem = ReadSource(sourcePath, picture, host))
        return problem;
    if (Problem problem = ReorderPalette(picture, host))
        return problem;
    // Read after reordering, so a change made while the pixels were read applies.
    if (WantsFourBit(host.check1Value(), picture.colourCount)) {
        if (Problem problem = PackFourBit(picture, host))
            return problem;
    }
    return WriteOutputBitmap(picture, destinationPath);
}

} // namespace

ConvertOutcome ConvertFile(const QString &sourcePath, const QString &destinationPath, ConversionHost &host)
{
    // Copies, so that a host changing its own strings during a yield cannot reach us.
    const QString source = sourcePath;
    const QString destination = destinationPath;

    const Problem problem = Convert(source, destination, host);
    if (!problem)
        return ConvertOutcome::Written;
    if (problem.failure == Failure::Interrupted)
        return ConvertOutcome::Interrupted;
    host.AppendError(FailureLine(problem, source, destination));
    return ConvertOutcome::Failed;
}
