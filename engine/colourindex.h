// Turning the source's 24-bit pixel rows into a palette and a palette index per
// pixel.
//
// Takes the open source and its validated header; fills the picture's palette
// in order of first appearance (stored rows first to last, each left to right)
// and its pixel index data, bottom row first whatever the source's row order,
// two indexes to a byte while there are at most 16 colours and one a byte from
// the 17th on. After each stored row it shows the percentage and yields to the
// host once. The source is read in chunks that stay in the cache, never whole.
#pragma once

#include "bmp24to8/engine.h"

namespace bmp24to8 {

class ConversionHost;
class ByteSource;
struct Picture;
struct SourceHeader;

// Fails with TooManyColours at the first pixel whose colour would be the 257th
// (the colour test comes first at a pixel), with Aborted at the first pixel read
// after the host's abort request, with Truncated when the source ends before
// its pixels do (another program cut it short after its header was read), with
// CannotOpen when a read fails, and with Interrupted when the host's yield says
// the program is ending.
Problem IndexColours(ByteSource &source, const SourceHeader &header, Picture &picture, ConversionHost &host);

} // namespace bmp24to8
