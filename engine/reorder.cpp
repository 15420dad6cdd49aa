#include "reorder.h"

#include "bmpformat.h"
#include "conversionhost.h"
#include "rounding.h"

#include <array>
#include <numeric>
#include <utility>

int Brightness(const PaletteEntry &entry)
{
    return int(RoundHalfEven(3 * entry[0], 2)) + 2 * entry[1] + entry[2];
}

Problem ReorderPalette(Picture &picture, ConversionHost &host)
{
    if (host.option1Selected())
        return {};

    // Pictures of at most 16 colours keep every index below 16 for four-bit output.
    const int last = picture.colourCount <= bmp::kMaxFourBitColours ? 15 : 255;
    std::array<int, 256> brightness;
    for (int i = 0; i <= last; ++i)
        brightness[size_t(i)] = Brightness(picture.palette[size_t(i)]);

    // The lowest index of least brightness, then the lowest other one.
    int darkest = 0;
    for (int i = 0; i <= last; ++i)
        if (brightness[size_t(i)] < brightness[size_t(darkest)])
            darkest = i;
    int secondDarkest = darkest == 0 ? 1 : 0;
    for (int i = 0; i <= last; ++i)
        if (i != darkest && brightness[size_t(i)] < brightness[size_t(secondDarkest)])
            secondDarkest = i;

    const bool dosPlacement = host.option2Selected();
    const int toIndex1 = dosPlacement ? secondDarkest : darkest;
    const int toIndex0 = dosPlacement ? darkest : secondDarkest;

    host.setProgressText(QStringLiteral("Compatibility"));
    if (!host.yield())
        return {Failure::Interrupted};

    // The colour for index 0 stands at index 1: the first exchange would carry
    // it away again before the second could place it.
    if (toIndex0 == 1)
        return {Failure::TryDifferentOptimization};

    // Exchange toIndex1 with 1, then toIndex0 with 0: as a table over all index
    // values, applied to the pixels, and then to the palette itself.
    std::array<quint8, 256> remap;
    std::iota(remap.begin(), remap.end(), 0);
    std::swap(remap[size_t(toIndex1)], remap[1]);
    for (quint8 &value : remap) {
        if (value == toIndex0)
            value = 0;
        else if (value == 0)
            value = quint8(toIndex0);
    }

    const qint64 rowBytes = picture.eightBitRowBytes();
    auto *data = reinterpret_cast<uchar *>(picture.pixelIndexData.data());
    for (qint64 row = 0; row < picture.height; ++row) {
        uchar *pixel = data + row * rowBytes;
        for (qint64 column = 0; column < picture.width; ++column)
            pixel[column] = remap[pixel[column]];
    }

    std::swap(picture.palette[size_t(toIndex1)], picture.palette[1]);
    std::swap(picture.palette[size_t(toIndex0)], picture.palette[0]);
    return {};
}
