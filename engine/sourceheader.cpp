#include "sourceheader.h"

#include "bmpformat.h"
#include "bmp24to8/engine.h"
#include "codecs.h"

#include <algorithm>
#include <limits>
#include <string>

namespace bmp24to8 {

Problem ReadSourceHeader(ByteSource &source, SourceHeader &header, bool newerHeaders)
{
    const std::int64_t fileSize = source.size();
    if (fileSize < 0)
        return {Failure::CannotOpen};
    const std::int64_t largestHeader = bmp::kFileHeaderSize + (newerHeaders ? bmp::kVersion5InfoHeaderSize : bmp::kInfoHeaderSize);
    const std::int64_t available = std::min(fileSize, largestHeader);
    std::string bytes(size_t(available), '\0');
    for (std::int64_t got = 0; got < available;) {
        const std::int64_t read = source.read(bytes.data() + got, available - got);
        if (read <= 0)
            return {Failure::CannotOpen};
        got += read;
    }
    const auto read = [&bytes](const bmp::Field &field) {
        return std::string_view(bytes).substr(size_t(field.offset), size_t(field.size));
    };
    // Each test runs once the bytes of its fields are there; before that the
    // file is too short.
    const auto holds = [fileSize](const bmp::Field &field) { return fileSize >= field.end(); };

    if (!holds(bmp::field::signature) || read(bmp::field::signature) != std::string_view("BM"))
        return {Failure::NotBmp};

    if (!holds(bmp::field::infoHeaderSize))
        return {Failure::Truncated};
    const std::int32_t pixelDataOffset = DWordToNumber(read(bmp::field::pixelDataOffset));
    const std::int32_t infoHeaderSize = DWordToNumber(read(bmp::field::infoHeaderSize));
    const bool newer = infoHeaderSize == bmp::kVersion4InfoHeaderSize || infoHeaderSize == bmp::kVersion5InfoHeaderSize;
    if (infoHeaderSize != bmp::kInfoHeaderSize && !(newer && newerHeaders))
        return {Failure::HeaderSizeMismatch, 0, 0, {}, infoHeaderSize};
    const std::int64_t headerSize = bmp::kFileHeaderSize + infoHeaderSize;

    if (!holds(bmp::field::bitsPerPixel))
        return {Failure::Truncated};
    const std::int32_t width = DWordToNumber(read(bmp::field::width));
    const std::int32_t height = DWordToNumber(read(bmp::field::height));
    if (WordToNumber(read(bmp::field::bitsPerPixel)) != 24)
        return {Failure::NotTwentyFourBit};

    // From here on every test needs the whole header.
    if (fileSize < headerSize)
        return {Failure::Truncated};
    if (DWordToNumber(read(bmp::field::compression)) != 0)
        return {Failure::Compressed};
    // An output has the 40-byte header, which holds no colour space: only
    // pixels meant as sRGB are the same pixels there.
    if (newer) {
        const std::int32_t space = DWordToNumber(read(bmp::field::colourSpaceType));
        if (space != bmp::kColourSpaceSrgb && space != bmp::kColourSpaceWindows)
            return {Failure::ColourSpaceWouldBeLost};
    }

    if (width < 0 || height == std::numeric_limits<std::int32_t>::min())
        return {Failure::InvalidDimensions};
    const std::int64_t rows = height < 0 ? -std::int64_t(height) : std::int64_t(height);
    // The 8-bit output is the larger of the two; every size it declares must fit.
    if (bmp::pixelDataOffset(false) + rows * bmp::eightBitRowBytes(width) > bmp::kLargestFile)
        return {Failure::InvalidDimensions};

    if (pixelDataOffset < headerSize || pixelDataOffset > fileSize)
        return {Failure::BadPixelDataOffset};

    // Bounded by the dimension test above: rows x row bytes stays far below 2^63.
    if (rows > 0 && width > 0) {
        const std::int64_t lastPixelEnd = pixelDataOffset + (rows - 1) * bmp::sourceRowBytes(width) + 3 * std::int64_t(width);
        if (lastPixelEnd > fileSize)
            return {Failure::Truncated};
    }

    header.width = width;
    header.rows = rows;
    header.topDown = height < 0;
    header.pixelDataOffset = pixelDataOffset;
    return {};
}

} // namespace bmp24to8
