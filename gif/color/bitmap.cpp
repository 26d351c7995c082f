#include "gif/color/bitmap.h"

#include <cstdlib>
#include <new>

#include "gif/color/color_error.h"
#include "gif/color/lookup.h"
#include "gif/color/palettes.h"

namespace gif {

void ColorErrorRaise(const char* message) { throw ColorError(message); }

int BitsPerPixel(PixelFormat format) {
  switch (format) {
    case PixelFormat::pf1bit: return 1;
    case PixelFormat::pf4bit: return 4;
    case PixelFormat::pf8bit: return 8;
    case PixelFormat::pf24bit: return 24;
    case PixelFormat::pf32bit: return 32;
  }
  return 0;
}

Bitmap::Bitmap(int width, int height, PixelFormat format) : format_(format) {
  if (width < 0 || height < 0) ColorErrorRaise(color_texts::InvalidImageDimensions);
  if (width == 0 || height == 0) return;
  width_ = width;
  height_ = height;
  rowBytes_ = DIBRowBytes(width, gif::BitsPerPixel(format));
  try {
    pixels_.assign(rowBytes_ * std::size_t(height), 0);
  } catch (const std::bad_alloc&) {
    ColorErrorRaise(color_texts::DIBAllocationFailed);
  } catch (const std::length_error&) {
    ColorErrorRaise(color_texts::DIBAllocationFailed);
  }
}

int Bitmap::PixelIndex(int x, int y) const {
  const std::uint8_t* row = Scanline(y);
  switch (format_) {
    case PixelFormat::pf1bit: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case PixelFormat::pf4bit: return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    case PixelFormat::pf8bit: return row[x];
    default: return 0;
  }
}

void Bitmap::SetPixelIndex(int x, int y, int index) {
  std::uint8_t* row = Scanline(y);
  switch (format_) {
    case PixelFormat::pf1bit: {
      const std::uint8_t bit = std::uint8_t(0x80 >> (x & 7));
      row[x >> 3] = std::uint8_t(index & 1 ? row[x >> 3] | bit : row[x >> 3] & ~bit);
      break;
    }
    case PixelFormat::pf4bit:
      row[x >> 1] = std::uint8_t((x & 1) ? (row[x >> 1] & 0xF0) | (index & 0x0F)
                                         : (row[x >> 1] & 0x0F) | (index & 0x0F) << 4);
      break;
    case PixelFormat::pf8bit: row[x] = std::uint8_t(index); break;
    default: break;
  }
}

std::uint32_t Bitmap::PixelColor(int x, int y) const {
  const std::uint8_t* row = Scanline(y);
  switch (format_) {
    case PixelFormat::pf24bit: {
      const std::uint8_t* p = row + 3 * std::size_t(x);
      return RgbToColor(Rgb{p[2], p[1], p[0]});
    }
    case PixelFormat::pf32bit: {
      const std::uint8_t* p = row + 4 * std::size_t(x);
      return RgbToColor(Rgb{p[2], p[1], p[0]});
    }
    default: {
      const std::size_t index = std::size_t(PixelIndex(x, y));
      return index < palette_.size() ? RgbToColor(palette_[index]) : 0;
    }
  }
}

namespace {

int NearestEntry(const Palette& palette, Rgb c) {
  int best = 0, bestDistance = 0x30000;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const int d = std::abs(c.red - palette[i].red) + std::abs(c.green - palette[i].green) +
                  std::abs(c.blue - palette[i].blue);
    if (d < bestDistance) {
      bestDistance = d;
      best = int(i);
    }
  }
  return best;
}

}  // namespace

void Bitmap::SetPixelColor(int x, int y, std::uint32_t color) {
  const Rgb c = ColorToRgb(color);
  std::uint8_t* row = Scanline(y);
  switch (format_) {
    case PixelFormat::pf24bit: {
      std::uint8_t* p = row + 3 * std::size_t(x);
      p[0] = c.blue, p[1] = c.green, p[2] = c.red;
      break;
    }
    case PixelFormat::pf32bit: {
      std::uint8_t* p = row + 4 * std::size_t(x);
      p[0] = c.blue, p[1] = c.green, p[2] = c.red, p[3] = 255;
      break;
    }
    default: SetPixelIndex(x, y, NearestEntry(palette_, c)); break;
  }
}

Bitmap Bitmap::ConvertedTo(PixelFormat format) const {
  if (format == format_) return *this;
  Bitmap out(width_, height_, format);
  if (Empty()) {
    if (IsIndexed(format) && IsIndexed(format_)) out.palette_ = palette_;
    return out;
  }
  const int w = width_;
  if (!IsIndexed(format)) {
    const int outStep = format == PixelFormat::pf24bit ? 3 : 4;
    for (int y = 0; y < height_; ++y) {
      std::uint8_t* dst = out.Scanline(y);
      const std::uint8_t* src = Scanline(y);
      for (int x = 0; x < w; ++x, dst += outStep) {
        if (format_ == PixelFormat::pf24bit) {
          dst[0] = src[3 * x], dst[1] = src[3 * x + 1], dst[2] = src[3 * x + 2];
        } else if (format_ == PixelFormat::pf32bit) {
          dst[0] = src[4 * x], dst[1] = src[4 * x + 1], dst[2] = src[4 * x + 2];
        } else {
          const std::size_t index = std::size_t(PixelIndex(x, y));
          const Rgb c = index < palette_.size() ? palette_[index] : Rgb{};
          dst[0] = c.blue, dst[1] = c.green, dst[2] = c.red;
        }
        if (outStep == 4) dst[3] = 255;
      }
    }
    return out;
  }

  const int capacity = 1 << gif::BitsPerPixel(format);
  const bool keepIndices = IsIndexed(format_) && !palette_.empty();
  if (keepIndices) {
    out.palette_ = palette_;
    if (int(out.palette_.size()) > capacity) out.palette_.resize(std::size_t(capacity));
  } else {
    out.palette_ = format == PixelFormat::pf1bit   ? MonochromePalette()
                   : format == PixelFormat::pf4bit ? SystemPalette16()
                                                   : WindowsHalftonePalette();
  }
  TFastColorLookup lookup(out.palette_);
  const int kept = int(out.palette_.size());
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < w; ++x) {
      int index;
      if (keepIndices && PixelIndex(x, y) < kept) {
        index = PixelIndex(x, y);
      } else {
        const Rgb c = ColorToRgb(PixelColor(x, y));
        std::uint8_t r, g, b;
        index = lookup.Lookup(c.red, c.green, c.blue, r, g, b);
      }
      out.SetPixelIndex(x, y, index);
    }
  }
  return out;
}

void Bitmap::SetPixelFormat(PixelFormat format) {
  if (format != format_) *this = ConvertedTo(format);
}

}  // namespace gif
