#include "gif/color/dib.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "gif/color/color_error.h"
#include "gif/color/lookup.h"

namespace gif {

namespace {

int DIBBits(PixelFormat format) {
  switch (format) {
    case PixelFormat::pf1bit: return 1;
    case PixelFormat::pf4bit: return 4;
    case PixelFormat::pf8bit: return 8;
    case PixelFormat::pf24bit: return 24;
    default: ColorErrorRaise(color_texts::UnsupportedPixelFormat);
  }
}

// The bitmap in format, its indices taken against palette when one is given.
Bitmap InFormat(const Bitmap& bitmap, const Palette* palette, PixelFormat format) {
  if (!palette || !IsIndexed(format)) return bitmap.ConvertedTo(format);
  Bitmap truecolor = bitmap.ConvertedTo(PixelFormat::pf24bit);
  Bitmap out(bitmap.Width(), bitmap.Height(), format);
  const std::size_t capacity = std::size_t(1) << DIBBits(format);
  out.SetColors(Palette(palette->begin(), palette->begin() + std::min(capacity, palette->size())));
  TFastColorLookup lookup(out.Colors());
  for (int y = 0; y < out.Height(); ++y) {
    const std::uint8_t* src = truecolor.Scanline(y);
    for (int x = 0; x < out.Width(); ++x, src += 3) {
      std::uint8_t r, g, b;
      out.SetPixelIndex(x, y, lookup.Lookup(src[2], src[1], src[0], r, g, b));
    }
  }
  return out;
}

}  // namespace

BitmapInfoHeader InitBitmapInfoHeader(const Bitmap& bitmap, PixelFormat format) {
  if (bitmap.Empty()) ColorErrorRaise(color_texts::InvalidBitmap);
  BitmapInfoHeader h;
  h.biWidth = bitmap.Width();
  h.biHeight = bitmap.Height();
  h.biBitCount = std::uint16_t(DIBBits(format));
  h.biSizeImage = std::uint32_t(Bitmap::DIBRowBytes(bitmap.Width(), h.biBitCount) * std::size_t(bitmap.Height()));
  if (h.biBitCount <= 8) {
    h.biClrUsed = 1u << h.biBitCount;
    h.biClrImportant = std::uint32_t(std::min<std::size_t>(bitmap.Colors().size(), h.biClrUsed));
  }
  return h;
}

void QueryDIBSizes(const Bitmap& bitmap, std::uint32_t& headerSize, std::uint32_t& imageSize,
                   PixelFormat format) {
  const BitmapInfoHeader h = InitBitmapInfoHeader(bitmap, format);
  headerSize = h.biBitCount < 9 ? 40 + 4 * (1u << h.biBitCount) : 40;
  imageSize = h.biSizeImage;
}

bool ReadBitmapDIB(const Bitmap& bitmap, const Palette* palette, BitmapInfoHeader& header,
                   std::vector<RgbQuad>& colorTable, PixelFormat format, std::uint8_t* bits) {
  header = InitBitmapInfoHeader(bitmap, format);
  const Bitmap pixels = InFormat(bitmap, palette, format);
  colorTable.clear();
  if (header.biBitCount <= 8) {
    colorTable.assign(header.biClrUsed, RgbQuad{});
    const Palette& colors = pixels.Colors();
    for (std::size_t i = 0; i < colors.size() && i < colorTable.size(); ++i)
      colorTable[i] = RgbQuad{colors[i].blue, colors[i].green, colors[i].red, 0};
    header.biClrImportant = std::uint32_t(std::min(colors.size(), colorTable.size()));
  }
  const std::size_t rowBytes = pixels.RowBytes();
  const int height = pixels.Height();
  for (int y = 0; y < height; ++y)
    std::memcpy(bits + std::size_t(height - 1 - y) * rowBytes, pixels.Scanline(y), rowBytes);
  return true;
}

TDIBReader::TDIBReader(const Bitmap& bitmap, PixelFormat format) : format_(format), source_(&bitmap) {
  if (bitmap.Format() != format) {
    converted_ = bitmap.ConvertedTo(format);
    source_ = &converted_;
  }
}

TDIBWriter::TDIBWriter(Bitmap& bitmap, const Palette* palette, int height, int width, PixelFormat format)
    : bitmap_(&bitmap), height_(height), width_(width), format_(format) {
  if (format != PixelFormat::pf8bit && format != PixelFormat::pf24bit)
    ColorErrorRaise(color_texts::UnsupportedPixelFormat);
  if (width <= 0 || height <= 0) ColorErrorRaise(color_texts::InvalidImageDimensions);
  if (palette && format == PixelFormat::pf8bit)
    palette_.assign(palette->begin(), palette->begin() + std::min<std::size_t>(palette->size(), 256));
}

TDIBWriter::~TDIBWriter() { Finish(); }

void TDIBWriter::CreateDIB() {
  dib_ = Bitmap(width_, height_, format_);
  created_ = true;
}

std::uint8_t* TDIBWriter::GetScanline(int row) {
  if (finished_) ColorErrorRaise(color_texts::NoDIB);
  if (!created_) CreateDIB();
  if (row < 0 || row >= height_) ColorErrorRaise(color_texts::ScanlineOutOfRange);
  return dib_.Scanline(row);
}

void TDIBWriter::Finish() {
  if (finished_) return;
  finished_ = true;
  if (!created_) {
    // A writer whose rows were never asked for still yields a bitmap of its size.
    try {
      CreateDIB();
    } catch (const ColorError&) {
      return;
    }
  }
  dib_.SetColors(std::move(palette_));
  *bitmap_ = std::move(dib_);
}

}  // namespace gif
