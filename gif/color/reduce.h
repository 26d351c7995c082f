// ReduceColors: any bitmap into an 8-bit palette bitmap, by a reduction method
// (which palette, which lookup) and a dither mode (gif/color/dither.h).
#pragma once

#include <cstdint>

#include "gif/color/bitmap.h"

namespace gif {

// Reduction methods.
inline constexpr std::uint8_t rmNone = 0;           // 24-bit copy of the picture
inline constexpr std::uint8_t rmWindows20 = 1;      // the 20 static colours
inline constexpr std::uint8_t rmWindows256 = 2;     // the fixed halftone palette
inline constexpr std::uint8_t rmWindowsGray = 3;    // 4 grays
inline constexpr std::uint8_t rmMonochrome = 4;     // black and white
inline constexpr std::uint8_t rmGrayScale = 5;      // 256 grays
inline constexpr std::uint8_t rmNetscape = 6;       // the 216-colour cube
inline constexpr std::uint8_t rmQuantize = 7;       // octree, 2^bits colours
inline constexpr std::uint8_t rmQuantizeWindows = 8;  // octree, 236 colours and the 20 static ones
inline constexpr std::uint8_t rmPalette = 9;        // the caller's palette
inline constexpr std::uint8_t kReductionMethodCount = 10;

// A new bitmap: for method 0 a 24-bit copy of the picture; otherwise an 8-bit
// bitmap whose palette is the method's (2^bits entries for method 7, bits taken
// within 1..8; 256 for method 8; a copy of at most 256 entries of `palette` for
// method 9). A method above 9, a dither mode above 6 or a lookup without colours
// (method 9 without a palette or with an empty one) gives an empty bitmap.
// An empty picture raises "Invalid image dimensions" (except for method 0).
Bitmap ReduceColors(const Bitmap& bitmap, std::uint8_t method, std::uint8_t ditherMode,
                    const Palette* palette = nullptr, int bits = 8);

}  // namespace gif
