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
    picture.fourBitMode = true;
    const qint64 rows = picture.height;
    const qint64 eightBitRow = picture.eightBitRowBytes();
    const qint64 packedBytes = eightBitRow / 2;
    const qint64 fourBitRow = bmp::fourBitRowBytes(picture.width);
    if (picture.width == 0)
        return PassEmptyRows(rows, host, QStringLiteral(" 4-bit"), false);

    // A packed row is never longer than the row it comes from, and each row is
    // written at or before where it was read, so the data can be packed in place.
    auto *data = reinterpret_cast<uchar *>(picture.pixelIndexData.data());
    RowProgress progress(rows, host, QStringLiteral(" 4-bit"));
    for (qint64 row = 0; row < rows; ++row) {
        const uchar *from = data + row * eightBitRow;
        uchar *to = data + row * fourBitRow;
        for (qint64 k = 0; k < packedBytes; ++k)
            to[k] = uchar(from[2 * k] << 4 | from[2 * k + 1]);
        std::memset(to + packedBytes, 0, size_t(fourBitRow - packedBytes));

        if (!progress.rowDone(row + 1))
            return {Failure::Interrupted};
    }
    picture.pixelIndexData.truncate(rows * fourBitRow);
    return {};
}
