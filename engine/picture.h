// The state one conversion carries from step to step: what reading the source
// finds, what reordering and packing change, and what the writer puts on disk.
#pragma once

#include "bmpformat.h"

#include <QByteArray>

#include <array>

// One colour as the source stores it: blue, green, red.
using PaletteEntry = std::array<quint8, 3>;
using Palette = std::array<PaletteEntry, 256>;

struct Picture
{
    qint32 width = 0;
    qint32 height = 0;          // number of rows; the output is always bottom-up
    int colourCount = 0;        // distinct colours, 0 .. 256
    // Entries 0 .. colourCount-1 in order of first appearance in the file; the
    // rest black until reordering moves a colour there.
    Palette palette{};
    // One index byte per pixel, bottom row first, each row followed by P8 zero
    // bytes; after four-bit packing, the packed rows instead.
    QByteArray pixelIndexData;
    bool fourBitMode = false;

    qint64 eightBitRowBytes() const { return bmp::eightBitRowBytes(width); }
};
