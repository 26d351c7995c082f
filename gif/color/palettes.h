// Fixed palettes. Each builder returns a new palette owned by the caller.
//
// Linux has no system palettes, so the two the reduction methods take from the
// system are fixed tables here: the well-known 20 static colours of the default
// palette, and a 256-entry halftone palette of our own made of those 20 colours,
// the 216-colour cube and 20 further grays.
#pragma once

#include "gif/color/bitmap.h"

namespace gif {

// 216 entries, entry 36 r + 6 g + b = (51 r, 51 g, 51 b) for r, g, b in 0..5.
Palette CreateWebSafePalette();
// 256 entries (i, i, i).
Palette GrayScalePalette();
// 0x00, 0x80, 0xC0, 0xFF.
Palette Gray4Palette();
// Black, white.
Palette MonochromePalette();
// The 20 static colours: 10 dark ones first, then 10 light ones ending in white.
Palette SystemPalette20();
// The 16 colours of the classic 4-bit display: the static colours without the
// four that only the 256-colour palette reserves (money green, sky blue, cream,
// medium gray).
Palette SystemPalette16();
// Entries 0..9 the first 10 static colours, 10..225 the colour cube, 226..245
// 20 grays between the cube's levels (255 i / 21 rounded, i in 1..20),
// 246..255 the last 10 static colours.
Palette WindowsHalftonePalette();

}  // namespace gif
