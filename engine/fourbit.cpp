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

Problem PackFourBit(Picture &picture, ConversionHost &host)
{
    const qint64 rows = picture.height;
    const qint64 width = picture.width;
    picture.fourBitMode = true;
    const qint64 packedRow = picture.heldRowBytes();
    if (width == 0)
        return PassEmptyRows(rows, host, QStringLiteral(" 4-bit"), false);

    // A packed row is half as long as the row it comes from, and each row is
    // written at or before where it was read, so the data is packed in place.
    uchar *data = picture.pixelIndexData.data();
    RowProgress progress(rows, host, QStringLiteral(" 4-bit"));
    for (qint64 row = 0; row < rows; ++row) {
        const uchar *from = data + row * width;
        uchar *to = data + row * packedRow;
        for (qint64 k = 0; k < width / 2; ++k)
            to[k] = uchar(from[2 * k] << 4 | from[2 * k + 1]);
        if (width % 2)
            to[packedRow - 1] = uchar(from[width - 1] << 4);   // the last pixel alone, low nibble zero
        if (!progress.rowDone(row + 1))
            return {Failure::Interrupted};
    }
    picture.pixelIndexData.truncate(rows * packedRow);
    return {};
}
