// Reading and validating a source's 54-byte header.
//
// Takes an open source positioned at its first byte; gives the dimensions and
// where the pixel rows start, or the reason the file is refused. Every test
// runs before any pixel memory is allocated, in 64-bit arithmetic, so a forged
// header can never make the program allocate more than the file itself holds.
#pragma once

#include "bmp24to8/engine.h"

#include <cstdint>

namespace bmp24to8 {

class ByteSource;

struct SourceHeader
{
    std::int32_t width = 0;
    std::int64_t rows = 0;            // |height|
    bool topDown = false;       // negative height: rows stored top row first
    std::int64_t pixelDataOffset = 0;
};

// The tests, in this order: signature, information header size, bits per pixel,
// compression, colour space (newer headers only), dimensions, pixel data
// offset, and that the file holds every pixel byte (the filler after the last
// row may be missing). A test whose header bytes are missing gives Truncated.
// The newer headers of 108 and 124 bytes are accepted only when `newerHeaders`.
Problem ReadSourceHeader(ByteSource &source, SourceHeader &header, bool newerHeaders = false);

} // namespace bmp24to8
