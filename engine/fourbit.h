// Packing the pixel index data of a picture with at most 16 colours to four
// bits per pixel.
//
// Each row of width index bytes becomes ceil(width / 2) bytes, left pixel in
// the high nibble (the writer pads it to 4 x ceil(width / 8) bytes). Shows
// "N % 4-bit" and yields after each row.
#pragma once

#include "bmp24to8/engine.h"

namespace bmp24to8 {

class ConversionHost;
struct Picture;

// Whether the packing step runs: four-bit output is wanted and the picture has
// at most 16 colours.
bool WantsFourBit(bool fourBitWanted, int colourCount);

// Packs in place, unless the indexes are held as nibbles already, and sets
// fourBitMode; the progress and the yields are the same either way. Fails
// only with Interrupted, when a yield says the program is ending.
Problem PackFourBit(Picture &picture, ConversionHost &host);

// `count` byte indexes (each below 16) into ceil(count / 2) bytes, left pixel in
// the high nibble, an odd count ending in a zero nibble; and back. Packing may
// write over its own input from its start.
void PackNibbles(const std::uint8_t *indexes, std::int64_t count, std::uint8_t *packed);
void UnpackNibbles(const std::uint8_t *packed, std::int64_t count, std::uint8_t *indexes);

} // namespace bmp24to8
