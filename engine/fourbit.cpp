#include "fourbit.h"

#include "bmpformat.h"
#include "bmp24to8/engine.h"
#include "picture.h"
#include "rowprogress.h"

#include <cstring>

namespace bmp24to8 {

bool WantsFourBit(bool fourBitWanted, int colourCount)
{
    return fourBitWanted && colourCount <= bmp::kMaxFourBitColours;
}

void PackNibbles(const std::uint8_t *indexes, std::int64_t count, std::uint8_t *packed)
{
    for (std::int64_t k = 0; k < count / 2; ++k)
        packed[k] = std::uint8_t(indexes[2 * k] << 4 | indexes[2 * k + 1]);
    if (count % 2)
        packed[count / 2] = std::uint8_t(indexes[count - 1] << 4);
}

void UnpackNibbles(const std::uint8_t *packed, std::int64_t count, std::uint8_t *indexes)
{
    for (std::int64_t k = 0; k < count / 2; ++k) {
        indexes[2 * k] = packed[k] >> 4;
        indexes[2 * k + 1] = packed[k] & 0x0F;
    }
    if (count % 2)
        indexes[count - 1] = packed[count / 2] >> 4;
}

Problem PackFourBit(Picture &picture, ConversionHost &host)
{
    const std::int64_t rows = picture.height;
    const std::int64_t width = picture.width;
    const bool packed = picture.heldAsNibbles;
    picture.heldAsNibbles = true;
    picture.fourBitMode = true;
    const std::int64_t packedRow = picture.heldRowBytes();
    if (width == 0)
        return PassEmptyRows(rows, host, Step::Packing, false);

    // A packed row is half as long as the row it comes from, and each row is
    // written at or before where it was read, so the data is packed in place.
    std::uint8_t *data = picture.pixelIndexData.data();
    RowProgress progress(rows, host, Step::Packing);
    for (std::int64_t row = 0; row < rows; ++row) {
        if (!packed)
            PackNibbles(data + row * width, width, data + row * packedRow);
        if (!progress.rowDone(row + 1))
            return {Failure::Interrupted};
    }
    picture.pixelIndexData.truncate(rows * packedRow);
    return {};
}

} // namespace bmp24to8
