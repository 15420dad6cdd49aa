#include "sourceheader.h"

#include "bmpformat.h"
#include "codecs.h"

#include <QIODevice>

#include <limits>

Problem ReadSourceHeader(QIODevice &source, SourceHeader &header)
{
    const qint64 fileSize = source.size();
    const qint64 available = qMin(fileSize, bmp::kHeaderSize);
    const QByteArray bytes = source.read(available);
    if (bytes.size() != available)
        return {Failure::CannotOpen};
    const auto read = [&bytes](const bmp::Field &field) { return QByteArrayView(bytes).sliced(field.offset, field.size); };
    // Each test runs once the bytes of its fields are there; before that the
    // file is too short.
    const auto holds = [fileSize](const bmp::Field &field) { return fileSize >= field.end(); };

    if (!holds(bmp::field::signature) || read(bmp::field::signature) != "BM")
        return {Failure::NotBmp};

    if (!holds(bmp::field::infoHeaderSize))
        return {Failure::Truncated};
    const qint32 pixelDataOffset = DWordToNumber(read(bmp::field::pixelDataOffset));
    if (DWordToNumber(read(bmp::field::infoHeaderSize)) != bmp::kInfoHeaderSize)
        return {Failure::HeaderSizeMismatch};

    if (!holds(bmp::field::bitsPerPixel))
        return {Failure::Truncated};
    const qint32 width = DWordToNumber(read(bmp::field::width));
    const qint32 height = DWordToNumber(read(bmp::field::height));
    if (WordToNumber(read(bmp::field::bitsPerPixel)) != 24)
        return {Failure::NotTwentyFourBit};

    // From here on every test needs the whole header.
    if (fileSize < bmp::kHeaderSize)
        return {Failure::Truncated};
    if (DWordToNumber(read(bmp::field::compression)) != 0)
        return {Failure::Compressed};

    if (width < 0 || height == std::numeric_limits<qint32>::min())
        return {Failure::InvalidDimensions};
    const qint64 rows = height < 0 ? -qint64(height) : qint64(height);
    // The 8-bit output is the larger of the two; every size it declares must fit.
    if (bmp::pixelDataOffset(false) + rows * bmp::eightBitRowBytes(width) > bmp::kLargestFile)
        return {Failure::InvalidDimensions};

    if (pixelDataOffset < bmp::kHeaderSize || pixelDataOffset > fileSize)
        return {Failure::BadPixelDataOffset};

    // Bounded by the dimension test above: rows x row bytes stays far below 2^63.
    if (rows > 0 && width > 0) {
        const qint64 lastPixelEnd = pixelDataOffset + (rows - 1) * bmp::sourceRowBytes(width) + 3 * qint64(width);
        if (lastPixelEnd > fileSize)
            return {Failure::Truncated};
    }

    header.width = width;
    header.rows = rows;
    header.topDown = height < 0;
    header.pixelDataOffset = pixelDataOffset;
    return {};
}
