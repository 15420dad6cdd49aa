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
    if (Problem problem = ReadSourceHeader(source, header, host.newerHeadersAccepted()))
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

Problem PrepareSource(ByteSource &source, Picture &picture, ConversionHost &host)
{
    try {
        if (Problem problem = ReadAndIndex(source, picture, host))
            return problem;
        return Rearrange(picture, host);
    } catch (const std::bad_alloc &) {
        // The picture's memory is released as the exception leaves the steps.
        return {Failure::NotEnoughMemory};
    }
}

Problem PrepareBytes(std::string_view source, Picture &picture, ConversionHost &host)
{
    MemorySource memory(source);
    return PrepareSource(memory, picture, host);
}

Problem WritePicture(const Picture &picture, const PartWriter &write)
{
    try {
        // Everything the writing needs is allocated before anything is written.
        OutputParts parts(picture);
        if (const std::error_code error = write([&parts] { return parts.next(); }))
            return {Failure::CannotWrite, 0, 0, ReasonOf(error)};
        return {};
    } catch (const std::bad_alloc &) {
        return {Failure::NotEnoughMemory};
    }
}

std::string EncodedPicture(const Picture &picture)
{
    std::string output;
    OutputParts parts(picture);
    for (std::string_view part = parts.next(); !part.empty(); part = parts.next())
        output += part;
    return output;
}

Problem ConvertBytes(std::string_view source, std::string &output, ConversionHost &host)
{
    Picture picture;
    if (Problem problem = PrepareBytes(source, picture, host))
        return problem;
    output = EncodedPicture(picture);
    return {};
}
