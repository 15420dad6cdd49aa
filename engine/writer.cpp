#include "writer.h"

#include "bmpformat.h"
#include "codecs.h"
#include "picture.h"
#include "fourbit.h"
#include "replacefile.h"

#include <cstring>

QByteArray OutputHeaderAndPalette(const Picture &picture)
{
    const bool fourBit = picture.fourBitMode;
    const auto entries = qint32(bmp::paletteEntries(fourBit));
    const auto paletteBytes = qint32(bmp::paletteBytes(fourBit));
    const auto pixelBytes = qint32(picture.storedRowBytes() * picture.height);

    QByteArray out(bmp::kHeaderSize, '\0');
    const auto put = [&out](const bmp::Field &field, const QByteArray &bytes) {
        Q_ASSERT(bytes.size() == field.size);
        out.replace(field.offset, field.size, bytes);
    };
    put(bmp::field::signature, QByteArrayLiteral("BM"));
    put(bmp::field::fileSize, NumberToDWord(qint32(bmp::kHeaderSize) + paletteBytes + pixelBytes));
    put(bmp::field::reserved, NumberToDWord(0));
    put(bmp::field::pixelDataOffset, NumberToDWord(qint32(bmp::pixelDataOffset(fourBit))));
    put(bmp::field::infoHeaderSize, NumberToDWord(qint32(bmp::kInfoHeaderSize)));
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

    out.reserve(bmp::kHeaderSize + paletteBytes);
    for (int i = 0; i < entries; ++i) {
        const PaletteEntry &entry = picture.palette[size_t(i)];
        const char bytes[4] = {char(entry[0]), char(entry[1]), char(entry[2]), 0};
        out.append(bytes, 4);
    }
    return out;
}

PixelRows::PixelRows(const Picture &picture)
    : picture_(picture), heldRow_(picture.heldRowBytes()), storedRow_(picture.storedRowBytes())
{
    // Enough rows for a large write at once, at least one, and no more than
    // the picture has: a header may claim an enormous width for no rows at all.
    if (!rowsAsHeld() && storedRow_ > 0) {
        const qint64 rowsPerPart = qMin<qint64>(picture.height, qMax<qint64>(1, kPartBytes / storedRow_));
        buffer_ = QByteArray(rowsPerPart * storedRow_, '\0');
    }
}

bool PixelRows::rowsAsHeld() const
{
    return heldRow_ == storedRow_ && picture_.heldAsNibbles == picture_.fourBitMode && picture_.exchange.changesNothing();
}

QByteArrayView PixelRows::next()
{
    const qint64 rows = picture_.height;
    if (row_ == rows || storedRow_ == 0)   // done, or rows without pixels
        return {};
    if (rowsAsHeld()) {
        // Rows need no padding: all of them as they are held, in one part.
        row_ = rows;
        return picture_.pixelIndexData.view();
    }
    qint64 filled = 0;
    for (; row_ < rows && filled + storedRow_ <= buffer_.size(); ++row_, filled += storedRow_) {
        // The padding bytes of the buffer were zeroed when it was made and
        // are never written, so only the held bytes are copied.
        const uchar *held = picture_.pixelIndexData.data() + row_ * heldRow_;
        auto *stored = reinterpret_cast<uchar *>(buffer_.data()) + filled;
        const IndexExchange &exchange = picture_.exchange;
        if (picture_.heldAsNibbles && !picture_.fourBitMode) {
            UnpackNibbles(held, picture_.width, stored);
            if (!exchange.changesNothing())
                exchange.applyToBytes(stored, stored, picture_.width);
        } else if (exchange.changesNothing()) {
            std::memcpy(stored, held, size_t(heldRow_));
        } else if (!picture_.heldAsNibbles) {
            exchange.applyToBytes(held, stored, heldRow_);
        } else {
            exchange.applyToNibbles(held, stored, heldRow_);
            if (picture_.width % 2)
                stored[heldRow_ - 1] &= 0xF0;   // the filler nibble of an odd row stays zero
        }
    }
    return QByteArrayView(buffer_).first(filled);
}

Problem WriteOutputBitmap(const Picture &picture, const QString &destinationPath)
{
    const QByteArray head = OutputHeaderAndPalette(picture);
    PixelRows rows(picture);
    bool headWritten = false;
    const bool written = platform::ReplaceFile(destinationPath, [&]() -> QByteArrayView {
        if (!headWritten) {
            headWritten = true;
            return head;
        }
        return rows.next();
    });
    return written ? Problem{} : Problem{Failure::CannotWrite};
}
