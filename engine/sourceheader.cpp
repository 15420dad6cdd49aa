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
    const auto field = [&bytes](qint64 offset, qint64 size) { return QByteArrayView(bytes).sliced(offset, size); };

    if (fileSize < 2 || field(0, 2) != "BM")
        return {Failure::NotBmp};

    if (fileSize < 18)
        return {Failure::Truncated};
    const qint32 pixelDataOffset = DWordToNumber(field(10, 4));
    if (DWordToNumber(field(14, 4)) != bmp::kInfoHeaderSize)
        return {Failure::HeaderSizeMismatch};

    if (fileSize < 30)
        return {Failure::Truncated};
    const qint32 width = DWordToNumber(field(18, 4));
    const qint32 height = DWordToNumber(field(22, 4));
    if (WordToNumber(field(28, 2)) != 24)
        return {Failure::NotTwentyFourBit};

    if (fileSize < bmp::kHeaderSize)
        return {Failure::Truncated};
    if (DWordToNumber(field(30, 4)) != 0)
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
