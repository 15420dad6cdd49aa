#include "fourbit.h"

#include "bmpformat.h"
#include "conversionhost.h"
#include "picture.h"
#include "rowprogress.h"

#include <cstring>

bool WantsFourBit(bool fourBitWanted, int colourCount)
{
    return fourBitWanted && colourCount <= bmp::kMaxFourBitColours;
}

void PackNibbles(const uchar *indexes, qint64 count, uchar *packed)
{
    for (qint64 k = 0; k < count / 2; ++k)
        packed[k] = uchar(indexes[2 * k] << 4 | indexes[2 * k + 1]);
    if (count % 2)
        packed[count / 2] = uchar(indexes[count - 1] << 4);
}

void UnpackNibbles(const uchar *packed, qint64 count, uchar *indexes)
{
    for (qint64 k = 0; k < count / 2; ++k) {
        indexes[2 * k] = packed[k] >> 4;
        indexes[2 * k + 1] = packed[k] & 0x0F;
    }
    if (count % 2)
        indexes[count - 1] = packed[count / 2] >> 4;
}

Problem PackFourBit(Picture &picture, ConversionHost &host)
{
    const qint64 rows = picture.height;
    const qint64 width = picture.width;
    const bool packed = picture.heldAsNibbles;
    picture.heldAsNibbles = true;
    picture.fourBitMode = true;
    const qint64 packedRow = picture.heldRowBytes();
    if (width == 0)
        return PassEmptyRows(rows, host, QStringLiteral(" 4-bit"), false);

    // A packed row is half as long as the row it comes from, and each row is
    // written at or before where it was read, so the data is packed in place.
    uchar *data = picture.pixelIndexData.data();
    RowProgress progress(rows, host, QStringLiteral(" 4-bit"));
    for (qint64 row = 0; row < rows; ++row) {
        if (!packed)
            PackNibbles(data + row * width, width, data + row * packedRow);
        if (!progress.rowDone(row + 1))
            return {Failure::Interrupted};
    }
    picture.pixelIndexData.truncate(rows * packedRow);
    return {};
}
