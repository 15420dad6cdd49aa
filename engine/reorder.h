// Moving the two darkest colours of the palette to indexes 0 and 1.
//
// Two placements: the DOS placement puts the darkest colour at index 0 and the
// second-darkest at 1 (screen edges stay dark in 16-colour modes); the
// boot-screen placement puts the darkest at 1 and the second-darkest at 0. The
// colours that stood at 0 and 1 move to the places vacated, and every pixel is
// renumbered as it is written (Picture::exchange) so that the picture does not
// change.
#pragma once

#include "bmp24to8/engine.h"
#include "picture.h"

namespace bmp24to8 {

class ConversionHost;

// round(1.5 x blue) + 2 x green + red, halves rounded to even: 0 .. 1147.
int Brightness(const PaletteEntry &entry);

// Does nothing when the host's placement is None. Otherwise searches indexes 0 to
// 15 (at most 16 colours) or 0 to 255, unused black entries included, shows
// "Compatibility" and yields once. Fails with TryDifferentOptimization, leaving
// the picture unchanged, when the colour bound for index 0 already stands at
// index 1; with Interrupted when the yield says the program is ending.
Problem ReorderPalette(Picture &picture, ConversionHost &host);

} // namespace bmp24to8
