// Colour lookups: which palette entry stands for an RGB value. Each concrete
// lookup is final, so code that holds the concrete type (the dither engines'
// templates, ReduceColors) calls Lookup without a virtual dispatch per pixel.
#pragma once

#include <array>
#include <cstdint>

#include "gif/color/bitmap.h"

namespace gif {

class TColorLookup {
public:
  explicit TColorLookup(int colors) : colors_(colors) {}
  virtual ~TColorLookup() = default;
  TColorLookup(const TColorLookup&) = delete;
  TColorLookup& operator=(const TColorLookup&) = delete;

  // The number of colours the lookup can return.
  int Colors() const { return colors_; }
  // The palette index for (red, green, blue) and that entry's colour.
  virtual std::uint8_t Lookup(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed,
                              std::uint8_t& outGreen, std::uint8_t& outBlue) = 0;

protected:
  int colors_;
};

// Nearest entry of a palette (up to 256 entries) by |dr| + |dg| + |db|, the
// first of equally close entries winning. The answer is cached per cell of
// 8 x 8 x 8 colours and every colour of a cell then gets that one answer, even
// where another entry would be closer for it: that is the price of its speed.
class TFastColorLookup final : public TColorLookup {
public:
  static constexpr int kCellShift = 3;  // 5 significant bits per channel
  static constexpr int kCellCount = 1 << 15;

  explicit TFastColorLookup(const Palette& palette);

  const Palette& Entries() const { return entries_; }

  std::uint8_t Lookup(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed,
                      std::uint8_t& outGreen, std::uint8_t& outBlue) final {
    const int cell = CellOf(red, green, blue);
    int index = cells_[cell];
    if (index < 0) index = cells_[cell] = Nearest(red, green, blue);
    const Rgb& c = entries_[index];
    outRed = c.red;
    outGreen = c.green;
    outBlue = c.blue;
    return std::uint8_t(index);
  }

  static int CellOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return (red >> kCellShift) | (green >> kCellShift) << 5 | (blue >> kCellShift) << 10;
  }

private:
  std::int16_t Nearest(int red, int green, int blue) const;

  Palette entries_;
  std::array<std::int16_t, kCellCount> cells_;
};

// The 216-colour cube: each channel c becomes level (c + 3) / 51. That leans
// toward the lower level (47 maps to 0, not 51); it is kept so that renderings
// match what this library has always produced, and diffusion evens it out.
class TNetscapeColorLookup final : public TColorLookup {
public:
  TNetscapeColorLookup() : TColorLookup(216) {}

  std::uint8_t Lookup(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed,
                      std::uint8_t& outGreen, std::uint8_t& outBlue) final {
    const int r = (red + 3) / 51, g = (green + 3) / 51, b = (blue + 3) / 51;
    outRed = std::uint8_t(r * 51);
    outGreen = std::uint8_t(g * 51);
    outBlue = std::uint8_t(b * 51);
    return std::uint8_t(36 * r + 6 * g + b);
  }
};

// 256 grays, gray = (77 r + 150 g + 29 b) >> 8.
class TGrayScaleLookup final : public TColorLookup {
public:
  TGrayScaleLookup() : TColorLookup(256) {}

  std::uint8_t Lookup(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed,
                      std::uint8_t& outGreen, std::uint8_t& outBlue) final {
    const std::uint8_t gray = std::uint8_t((77 * red + 150 * green + 29 * blue) >> 8);
    outRed = outGreen = outBlue = gray;
    return gray;
  }
};

// Black (index 0) below the luminance threshold, white (index 1) from it on.
class TMonochromeLookup final : public TColorLookup {
public:
  static constexpr int kWhiteThreshold = 32513;  // of 77 r + 150 g + 29 b

  TMonochromeLookup() : TColorLookup(2) {}

  std::uint8_t Lookup(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed,
                      std::uint8_t& outGreen, std::uint8_t& outBlue) final {
    const bool white = 77 * red + 150 * green + 29 * blue >= kWhiteThreshold;
    outRed = outGreen = outBlue = white ? 255 : 0;
    return white ? 1 : 0;
  }
};

}  // namespace gif
