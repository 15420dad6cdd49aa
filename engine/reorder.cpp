#include "reorder.h"

#include "bmpformat.h"
#include "bmp24to8/engine.h"
#include "rounding.h"

#include <array>
#include <utility>

namespace bmp24to8 {

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
    std::array<int, bmp::kMaxColours> brightness;
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

    host.showProgress({Step::Reordering, 0});
    if (!host.yield())
        return {Failure::Interrupted};

    // The colour for index 0 stands at index 1: the first exchange would carry
    // it away again before the second could place it.
    if (toIndex0 == 1)
        return {Failure::TryDifferentOptimization};

    // Exchange toIndex1 with 1, then toIndex0 with 0: in the pixels as they are
    // written, and in the palette itself, so every pixel keeps its colour.
    picture.exchange = {std::uint8_t(toIndex1), std::uint8_t(toIndex0)};

    std::swap(picture.palette[size_t(toIndex1)], picture.palette[1]);
    std::swap(picture.palette[size_t(toIndex0)], picture.palette[0]);
    return {};
}

} // namespace bmp24to8
