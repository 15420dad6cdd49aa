#include "writer.h"

#include "bmpformat.h"
#include "codecs.h"
#include "picture.h"
#include "replacefile.h"

QByteArray OutputHeaderAndPalette(const Picture &picture)
{
    const bool fourBit = picture.fourBitMode;
    const qint32 bitsPerPixel = fourBit ? 4 : 8;
    const auto paletteBytes = qint32(bmp::paletteBytes(fourBit));
    const auto pixelBytes = qint32(picture.pixelIndexData.size());

    QByteArray out;
    out.reserve(bmp::kHeaderSize + paletteBytes);
    out += "BM";
    out += NumberToDWord(qint32(bmp::kHeaderSize) + paletteBytes + pixelBytes);
    out += NumberToDWord(0);                                // reserved
    out += NumberToDWord(paletteBytes + qint32(bmp::kHeaderSize));
    out += NumberToDWord(qint32(bmp::kInfoHeaderSize));
    out += NumberToDWord(picture.width);
    out += NumberToDWord(picture.height);
    out += NumberToWord(1);                                 // planes
    out += NumberToWord(bitsPerPixel);
    out += NumberToDWord(0);                                // no compression
    out += NumberToDWord(pixelBytes);
    out += NumberToDWord(0);                                // horizontal resolution
    out += NumberToDWord(0);                                // vertical resolution
    out += NumberToDWord(1 << bitsPerPixel);                // colours used
    out += NumberToDWord(picture.colourCount);              // important colours

    const int entries = 1 << bitsPerPixel;
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
