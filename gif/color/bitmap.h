// The library's own bitmaps: what frames render into and what colour reduction
// reads and writes. One contiguous block of pixels, rows top to bottom, each row
// padded to a multiple of 32 bits (RowBytes) like a device-independent bitmap.
//
// Pixel layout per format:
//   pf1bit   1 bit per pixel, most significant bit first (palette index 0/1)
//   pf4bit   4 bits per pixel, high nibble first (palette index)
//   pf8bit   one palette index per byte
//   pf24bit  blue, green, red bytes
//   pf32bit  blue, green, red, alpha bytes (alpha 255 = opaque; conversions from
//            the other formats give 255)
// Padding bytes at the end of a row are zero after construction and conversion.
// Colours as single values are 0x00BBGGRR (red in the low byte).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gif {

// One colour-table or palette entry.
struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;

  friend bool operator==(const Rgb&, const Rgb&) = default;
};

using Palette = std::vector<Rgb>;

inline constexpr std::uint32_t RgbToColor(Rgb c) {
  return std::uint32_t(c.red) | std::uint32_t(c.green) << 8 | std::uint32_t(c.blue) << 16;
}
inline constexpr Rgb ColorToRgb(std::uint32_t color) {
  return Rgb{std::uint8_t(color), std::uint8_t(color >> 8), std::uint8_t(color >> 16)};
}

enum class PixelFormat : std::uint8_t { pf1bit, pf4bit, pf8bit, pf24bit, pf32bit };

int BitsPerPixel(PixelFormat format);
inline bool IsIndexed(PixelFormat format) {
  return format == PixelFormat::pf1bit || format == PixelFormat::pf4bit || format == PixelFormat::pf8bit;
}

class Bitmap {
public:
  // Row bytes of a DIB row: width x bits rounded up to a multiple of 32 bits.
  static std::size_t DIBRowBytes(int width, int bitsPerPixel) {
    return ((std::size_t(width) * std::size_t(bitsPerPixel) + 31) / 32) * 4;
  }

  // An empty bitmap (0 x 0, 24 bits, no palette).
  Bitmap() = default;
  // Zero-filled pixels. Negative sizes raise "Invalid image dimensions"; a block
  // that cannot be allocated raises "Failed to allocate memory for GIF DIB".
  // Indexed formats start with an empty palette.
  Bitmap(int width, int height, PixelFormat format);

  bool Empty() const { return width_ == 0 || height_ == 0; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  PixelFormat Format() const { return format_; }
  int BitsPerPixel() const { return gif::BitsPerPixel(format_); }
  std::size_t RowBytes() const { return rowBytes_; }

  // Row y (0 = top); y must lie in 0..Height()-1.
  std::uint8_t* Scanline(int y) { return pixels_.data() + std::size_t(y) * rowBytes_; }
  const std::uint8_t* Scanline(int y) const { return pixels_.data() + std::size_t(y) * rowBytes_; }
  std::uint8_t* Bits() { return pixels_.data(); }
  const std::uint8_t* Bits() const { return pixels_.data(); }
  std::size_t SizeBytes() const { return pixels_.size(); }

  // The colour table of an indexed bitmap (at most 2^bits entries are meaningful).
  Palette& Colors() { return palette_; }
  const Palette& Colors() const { return palette_; }
  void SetColors(Palette palette) { palette_ = std::move(palette); }

  // Palette index of an indexed bitmap's pixel (0 for true-colour formats).
  int PixelIndex(int x, int y) const;
  void SetPixelIndex(int x, int y, int index);
  // 0x00BBGGRR of a pixel; an indexed pixel beyond its palette reads black.
  std::uint32_t PixelColor(int x, int y) const;
  // True-colour formats store the colour (alpha 255); indexed ones store the
  // nearest palette entry.
  void SetPixelColor(int x, int y, std::uint32_t color);

  // The picture in another format. Widening is exact; narrowing to an indexed
  // format keeps indexed pixels that fit and maps everything else to the nearest
  // entry of the palette (this bitmap's own when indexed and non-empty, else a
  // black-and-white, 16-colour or 256-colour default for 1, 4 and 8 bits).
  Bitmap ConvertedTo(PixelFormat format) const;
  void SetPixelFormat(PixelFormat format);

  friend bool operator==(const Bitmap&, const Bitmap&) = default;

private:
  int width_ = 0;
  int height_ = 0;
  PixelFormat format_ = PixelFormat::pf24bit;
  std::size_t rowBytes_ = 0;
  std::vector<std::uint8_t> pixels_;
  Palette palette_;
};

}  // namespace gif
