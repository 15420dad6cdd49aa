#include "convert.h"

#include "bytesource.h"
#include "colourindex.h"
#include "conversionhost.h"
#include "failure.h"
#include "fourbit.h"
#include "picture.h"
#include "reorder.h"
#include "sourceheader.h"
#include "writer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

Problem ReadAndIndex(ByteSource &source, Picture &picture, ConversionHost &host)
{
    SourceHeader header;
    if (Problem problem = ReadSourceHeader(source, header))
        return problem;
    return IndexColours(source, header, picture, host);
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

} // namespace

ConvertOutcome Report(const Problem &problem, const std::string &sourceName, const std::string &destinationName,
                      ConversionHost &host)
{
    if (problem.failure == Failure::Interrupted)
        return ConvertOutcome::Interrupted;
    host.AppendError(FailureLine(problem, sourceName, destinationName));
    return ConvertOutcome::Failed;
}

ConvertOutcome PrepareSource(ByteSource &source, std::string sourceName, Picture &picture, ConversionHost &host)
{
    Problem problem;
    try {
        problem = ReadAndIndex(source, picture, host);
        if (!problem)
            problem = Rearrange(picture, host);
    } catch (const std::bad_alloc &) {
        // The picture's memory is released as the exception leaves the steps,
        // before the failure is reported.
        problem = {Failure::NotEnoughMemory};
    }
    return problem ? Report(problem, sourceName, {}, host) : ConvertOutcome::Prepared;
}

ConvertOutcome PrepareBytes(std::string_view source, std::string sourceName, Picture &picture,
                            ConversionHost &host)
{
    MemorySource memory(source);
    return PrepareSource(memory, std::move(sourceName), picture, host);
}

ConvertOutcome WritePicture(const Picture &picture, std::string sourceName, std::string destinationName,
                            const PartWriter &write, ConversionHost &host)
{
    Problem problem;
    try {
        // Everything the writing needs is allocated before anything is written.
        OutputParts parts(picture);
        if (const std::error_code error = write([&parts] { return parts.next(); }))
            problem = {Failure::CannotWrite, 0, 0, ReasonOf(error)};
    } catch (const std::bad_alloc &) {
        problem = {Failure::NotEnoughMemory};
    }
    return problem ? Report(problem, sourceName, destinationName, host) : ConvertOutcome::Written;
}

std::string EncodedPicture(const Picture &picture)
{
    std::string output;
    OutputParts parts(picture);
    for (std::string_view part = parts.next(); !part.empty(); part = parts.next())
        output += part;
    return output;
}

ConvertOutcome ConvertBytes(std::string_view source, std::string &output, ConversionHost &host)
{
    Picture picture;
    const ConvertOutcome prepared = PrepareBytes(source, "<memory>", picture, host);
    if (prepared != ConvertOutcome::Prepared)
        return prepared;
    output = EncodedPicture(picture);
    return ConvertOutcome::Written;
}
