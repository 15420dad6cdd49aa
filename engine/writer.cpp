#include "writer.h"

#include "bmpformat.h"
#include "codecs.h"
#include "fourbit.h"
#include "picture.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace bmp24to8 {

std::int64_t OutputBytes(const Picture &picture)
{
    return bmp::pixelDataOffset(picture.fourBitMode) + picture.storedRowBytes() * picture.height;
}

std::string OutputHeaderAndPalette(const Picture &picture)
{
    const bool fourBit = picture.fourBitMode;
    const auto entries = std::int32_t(bmp::paletteEntries(fourBit));
    const auto paletteBytes = std::int32_t(bmp::paletteBytes(fourBit));
    const auto pixelBytes = std::int32_t(picture.storedRowBytes() * picture.height);

    std::string out(size_t(bmp::kHeaderSize), '\0');
    const auto put = [&out](const bmp::Field &field, const std::string &bytes) {
        assert(std::int64_t(bytes.size()) == field.size);
        out.replace(size_t(field.offset), size_t(field.size), bytes);
    };
    put(bmp::field::signature, "BM");
    put(bmp::field::fileSize, NumberToDWord(std::int32_t(OutputBytes(picture))));
    put(bmp::field::reserved, NumberToDWord(0));
    put(bmp::field::pixelDataOffset, NumberToDWord(std::int32_t(bmp::pixelDataOffset(fourBit))));
    put(bmp::field::infoHeaderSize, NumberToDWord(std::int32_t(bmp::kInfoHeaderSize)));
    put(bmp::field::width, NumberToDWord(picture.width));
    put(bmp::field::height, NumberToDWord(picture.height));
    put(bmp::field::planes, NumberToWord(1));
    put(bmp::field::bitsPerPixel, NumberToWord(fourBit ? 4 : 8));
    put(bmp::field::compression, NumberToDWord(0));
    put(bmp::field::imageSize, NumberToDWord(pixelBytes));
    put(bmp::field::horizontalResolution, NumberToDWord(0));
    put(bmp::field::verticalResolution, NumberToDWord(0));
    put(bmp::field::coloursUsed, NumberToDWord(entries));
    put(bmp::field::importantColours, NumberToDWord(picture.colourCount));

    out.reserve(size_t(bmp::kHeaderSize + paletteBytes));
    for (int i = 0; i < entries; ++i) {
        const PaletteEntry &entry = picture.palette[size_t(i)];
        const char bytes[4] = {char(entry[0]), char(entry[1]), char(entry[2]), 0};
        out.append(bytes, 4);
    }
    return out;
}

namespace {

// The rows are stored as they are held: no padding, packed alike.
bool StoredAsHeld(const Picture &picture)
{
    return picture.heldRowBytes() == picture.storedRowBytes() && picture.heldAsNibbles == picture.fourBitMode;
}

// Renumbers `rows` held rows, packed as they are stored and one right after
// the other, from `held` into `stored` (which may be `held`).
void RenumberRows(const Picture &picture, const std::uint8_t *held, std::uint8_t *stored, std::int64_t rows)
{
    const std::int64_t rowBytes = picture.heldRowBytes();
    if (!picture.heldAsNibbles) {
        picture.exchange.applyToBytes(held, stored, rows * rowBytes);
        return;
    }
    picture.exchange.applyToNibbles(held, stored, rows * rowBytes);
    if (picture.width % 2) {
        // The filler nibble of an odd row stays zero.
        for (std::int64_t row = 1; row <= rows; ++row)
            stored[row * rowBytes - 1] &= 0xF0;
    }
}

} // namespace

PixelRows::PixelRows(const Picture &picture)
    : picture_(picture), heldRow_(picture.heldRowBytes()), storedRow_(picture.storedRowBytes())
{
    // Enough rows for a large write at once, at least one, and no more than
    // the picture has: a header may claim an enormous width for no rows at all.
    if (!rowsAsHeld() && storedRow_ > 0) {
        const std::int64_t rowsPerPart = std::min<std::int64_t>(picture.height, std::max<std::int64_t>(1, kPartBytes / storedRow_));
        buffer_ = std::string(size_t(rowsPerPart * storedRow_), '\0');
    }
}

bool RowsGoOutAsHeld(const Picture &picture)
{
    return StoredAsHeld(picture) && picture.exchange.changesNothing();
}

bool PixelRows::rowsAsHeld() const
{
    return RowsGoOutAsHeld(picture_);
}

std::string_view PixelRows::next()
{
    const std::int64_t rows = picture_.height;
    if (row_ == rows || storedRow_ == 0)   // done, or rows without pixels
        return {};
    if (rowsAsHeld()) {
        // Rows need no padding: all of them as they are held, in one part.
        row_ = rows;
        return picture_.pixelIndexData.view();
    }
    std::int64_t filled = 0;
    for (; row_ < rows && filled + storedRow_ <= std::int64_t(buffer_.size()); ++row_, filled += storedRow_) {
        // The padding bytes of the buffer were zeroed when it was made and
        // are never written, so only the held bytes are copied.
        const std::uint8_t *held = picture_.pixelIndexData.data() + row_ * heldRow_;
        auto *stored = reinterpret_cast<std::uint8_t *>(buffer_.data()) + filled;
        const IndexExchange &exchange = picture_.exchange;
        if (picture_.heldAsNibbles && !picture_.fourBitMode) {
            UnpackNibbles(held, picture_.width, stored);
            if (!exchange.changesNothing())
                exchange.applyToBytes(stored, stored, picture_.width);
        } else if (exchange.changesNothing()) {
            std::memcpy(stored, held, size_t(heldRow_));
        } else {
            RenumberRows(picture_, held, stored, 1);
        }
    }
    return std::string_view(buffer_).substr(0, size_t(filled));
}

void RenumberHeldRows(Picture &picture)
{
    if (!StoredAsHeld(picture) || picture.exchange.changesNothing())
        return;
    std::uint8_t *data = picture.pixelIndexData.data();
    RenumberRows(picture, data, data, picture.height);
    picture.exchange = {};
}

OutputParts::OutputParts(const Picture &picture) : head_(OutputHeaderAndPalette(picture)), rows_(picture)
{
}

std::string_view OutputParts::next()
{
    if (headGiven_)
        return rows_.next();
    headGiven_ = true;
    return head_;
}

} // namespace bmp24to8
