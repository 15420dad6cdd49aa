#include "reorder.h"

#include "bmpformat.h"
#include "conversionhost.h"
#include "rounding.h"

#include <array>
#include <utility>

namespace {

// The index a pixel of index x gets when toIndex1 is exchanged with 1 and then
// toIndex0 with 0. Written as selects rather than a table lookup so that the
// compiler can process many pixels per instruction.
inline uchar exchanged(uchar x, uchar toIndex1, uchar toIndex0)
{
    const uchar first = x == toIndex1 ? uchar(1) : x == 1 ? toIndex1 : x;
    return first == toIndex0 ? uchar(0) : first == 0 ? toIndex0 : first;
}

void exchangeIndexes(uchar *pixels, qint64 count, uchar toIndex1, uchar toIndex0)
{
    for (qint64 i = 0; i < count; ++i)
        pixels[i] = exchanged(pixels[i], toIndex1, toIndex0);
}

// The same for indexes held two to a byte. The zero nibble that ends an odd
// row is filler, not a pixel, and stays zero.
void exchangeNibbles(Picture &picture, uchar toIndex1, uchar toIndex0)
{
    uchar *data = picture.pixelIndexData.data();
    const qint64 size = picture.pixelIndexData.size();
    for (qint64 i = 0; i < size; ++i) {
        const uchar high = exchanged(uchar(data[i] >> 4), toIndex1, toIndex0);
        const uchar low = exchanged(uchar(data[i] & 0x0F), toIndex1, toIndex0);
        data[i] = uchar(high << 4 | low);
    }
    if (picture.width % 2) {
        const qint64 rowBytes = picture.heldRowBytes();
        for (qint64 end = rowBytes; end <= size; end += rowBytes)
            data[end - 1] &= 0xF0;
    }
}

} // namespace

int Brightness(const PaletteEntry &entry)
{
    return int(RoundHalfEven(3 * entry[0], 2)) + 2 * entry[1] + entry[2];
}

Problem ReorderPalette(Picture &picture, ConversionHost &host)
{
    if (host.palettePlacement() == PalettePlacement::None)
        return {};

    // Pictures of at most 16 colours keep every index inside the four-bit palette.
    const int last = bmp::paletteEntries(picture.colourCount <= bmp::kMaxFourBitColours) - 1;
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

    const bool dosPlacement = host.palettePlacement() == PalettePlacement::Dos;
    const int toIndex1 = dosPlacement ? secondDarkest : darkest;
    const int toIndex0 = dosPlacement ? darkest : secondDarkest;

    host.setProgressText(QStringLiteral("Compatibility"));
    if (!host.yield())
        return {Failure::Interrupted};

    // The colour for index 0 stands at index 1: the first exchange would carry
    // it away again before the second could place it.
    if (toIndex0 == 1)
        return {Failure::TryDifferentOptimization};

    // Exchange toIndex1 with 1, then toIndex0 with 0: in the pixels, then in the
    // palette itself, so every pixel keeps its colour.
    if ((toIndex1 != 1 || toIndex0 != 0) && picture.heldAsNibbles)
        exchangeNibbles(picture, uchar(toIndex1), uchar(toIndex0));
    else if (toIndex1 != 1 || toIndex0 != 0)
        exchangeIndexes(picture.pixelIndexData.data(), picture.pixelIndexData.size(), uchar(toIndex1), uchar(toIndex0));

    std::swap(picture.palette[size_t(toIndex1)], picture.palette[1]);
    std::swap(picture.palette[size_t(toIndex0)], picture.palette[0]);
    return {};
}
