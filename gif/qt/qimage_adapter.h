// The GIF library's bitmaps to and from QImage, for the editor. Row padding
// (both sides pad rows to 32 bits) and byte order are settled here and nowhere
// else; the library itself never sees Qt.
#pragma once

#include <QImage>

#include "gif/color/bitmap.h"

namespace gif::qt {

// 1 bit -> Format_Mono, 4 and 8 bits -> Format_Indexed8 (the colour table covers
// the palette and every index in use; missing entries are black), 24 bits ->
// Format_BGR888, 32 bits -> Format_ARGB32 (alpha kept). An empty bitmap gives
// a null image.
QImage ToQImage(const Bitmap& bitmap);

// Format_Mono/MonoLSB -> 1 bit, Format_Indexed8 -> 8 bits with the colour
// table as palette, images with an alpha channel -> 32 bits (not
// premultiplied), everything else -> 24 bits. A null image gives an empty bitmap.
Bitmap FromQImage(const QImage& image);

}  // namespace gif::qt
