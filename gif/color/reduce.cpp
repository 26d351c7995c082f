#include "gif/color/reduce.h"

#include <algorithm>
#include <memory>

#include "gif/color/dib.h"
#include "gif/color/dither.h"
#include "gif/color/lookup.h"
#include "gif/color/palettes.h"
#include "gif/color/quantize.h"

namespace gif {

Bitmap ReduceColors(const Bitmap& bitmap, std::uint8_t method, std::uint8_t ditherMode, const Palette* palette,
                    int bits) {
  if (method == rmNone) return bitmap.ConvertedTo(PixelFormat::pf24bit);

  // True-colour rows are read where they are; other formats through a 24-bit copy.
  const bool direct = bitmap.Format() == PixelFormat::pf24bit || bitmap.Format() == PixelFormat::pf32bit;
  const TDIBReader reader(bitmap, direct ? bitmap.Format() : PixelFormat::pf24bit);
  const int step = reader.Format() == PixelFormat::pf32bit ? 4 : 3;

  Palette colors;
  std::unique_ptr<TColorLookup> lookup;
  switch (method) {
    case rmWindows20: colors = SystemPalette20(); break;
    case rmWindows256: colors = WindowsHalftonePalette(); break;
    case rmWindowsGray: colors = Gray4Palette(); break;
    case rmMonochrome:
      colors = MonochromePalette();
      lookup = std::make_unique<TMonochromeLookup>();
      break;
    case rmGrayScale:
      colors = GrayScalePalette();
      lookup = std::make_unique<TGrayScaleLookup>();
      break;
    case rmNetscape:
      colors = CreateWebSafePalette();
      lookup = std::make_unique<TNetscapeColorLookup>();
      break;
    case rmQuantize: {
      const int colourBits = std::clamp(bits, 1, 8);
      colors = CreateOptimizedPalette(reader, 1 << colourBits, 8, false);
      break;
    }
    case rmQuantizeWindows: colors = CreateOptimizedPalette(reader, 256, 8, true); break;
    case rmPalette:
      if (palette) colors.assign(palette->begin(), palette->begin() + std::min<std::size_t>(palette->size(), 256));
      break;
    default: return Bitmap();
  }
  if (!lookup) lookup = std::make_unique<TFastColorLookup>(colors);
  if (lookup->Colors() == 0) return Bitmap();

  const std::unique_ptr<TRowDitherer> ditherer = CreateRowDitherer(ditherMode, reader.Width(), *lookup);
  if (!ditherer) return Bitmap();

  Bitmap result;
  TDIBWriter writer(result, &colors, reader.Height(), reader.Width(), PixelFormat::pf8bit);
  for (int y = 0; y < reader.Height(); ++y) ditherer->DitherRow(reader.GetScanline(y), step, writer.GetScanline(y));
  writer.Finish();
  return result;
}

}  // namespace gif
