#include "writer.h"

#include "bmpformat.h"
#include "codecs.h"
#include "picture.h"
#include "replacefile.h"

QByteArray OutputHeaderAndPalette(const Picture &picture)
{
    const bool fourBit = picture.fourBitMode;
    const auto entries = qint32(bmp::paletteEntries(fourBit));
    const auto paletteBytes = qint32(bmp::paletteBytes(fourBit));
    const auto pixelBytes = qint32(picture.pixelIndexData.size());

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

Problem WriteOutputBitmap(const Picture &picture, const QString &destinationPath)
{
    const QByteArray head = OutputHeaderAndPalette(picture);
    if (!platform::ReplaceFile(destinationPath, {head, picture.pixelIndexData}))
        return {Failure::CannotWrite};
    return {};
}
