// Reading and validating a source's 54-byte header.
//
// Takes an open source positioned at its first byte; gives the dimensions and
// where the pixel rows start, or the reason the file is refused. Every test
// runs before any pixel memory is allocated, in 64-bit arithmetic, so a forged
// header can never make the program allocate more than the file itself holds.
#pragma once

#include "failure.h"

#include <QtGlobal>

class QIODevice;

struct SourceHeader
{
    qint32 width = 0;
    qint64 rows = 0;            // |height|
    bool topDown = false;       // negative height: rows stored top row first
    qint64 pixelDataOffset = 0;
};

// The tests, in this order: signature, information header size, bits per pixel,
// compression, dimensions, pixel data offset, and that the file holds every
// pixel byte (the filler after the last row may be missing). A test whose
// header bytes are missing gives Truncated.
Problem ReadSourceHeader(QIODevice &source, SourceHeader &header);
