#include "bmp24to8/engine.h"

#include "colourindex.h"
#include "fourbit.h"
#include "picture.h"
#include "reorder.h"
#include "sourceheader.h"
#include "writer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace bmp24to8 {

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

Prepared::Prepared() : picture_(std::make_unique<Picture>()) {}
Prepared::~Prepared() = default;
Prepared::Prepared(Prepared &&) noexcept = default;
Prepared &Prepared::operator=(Prepared &&) noexcept = default;

int Prepared::colourCount() const
{
    return picture_->colourCount;
}

int Prepared::bitsPerPixel() const
{
    return picture_->fourBitMode ? 4 : 8;
}

std::int64_t Prepared::outputBytes() const
{
    return OutputBytes(*picture_);
}

bool Prepared::partsStay() const
{
    return RowsGoOutAsHeld(*picture_);
}

Problem PrepareSource(ByteSource &source, Prepared &prepared, ConversionHost &host)
{
    try {
        if (Problem problem = ReadAndIndex(source, prepared.picture(), host))
            return problem;
        return Rearrange(prepared.picture(), host);
    } catch (const std::bad_alloc &) {
        // The picture's memory is released as the exception leaves the steps.
        prepared = Prepared();
        return {Failure::NotEnoughMemory};
    }
}

Problem PrepareBytes(std::string_view source, Prepared &prepared, ConversionHost &host)
{
    MemorySource memory(source);
    return PrepareSource(memory, prepared, host);
}

void RenumberHeldRows(Prepared &prepared)
{
    RenumberHeldRows(prepared.picture());
}

Problem WritePicture(const Prepared &prepared, const PartWriter &write)
{
    try {
        // Everything the writing needs is allocated before anything is written.
        OutputParts parts(prepared.picture());
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

std::string EncodedPicture(const Prepared &prepared)
{
    return EncodedPicture(prepared.picture());
}

Problem ConvertBytes(std::string_view source, std::string &output, ConversionHost &host)
{
    Prepared prepared;
    if (Problem problem = PrepareBytes(source, prepared, host))
        return problem;
    output = EncodedPicture(prepared);
    return {};
}

} // namespace bmp24to8
