// Row access to bitmaps in a chosen pixel format, and device-independent-bitmap
// blocks (info header, colour table, bottom-up rows) for code that hands pixels
// to other libraries, such as the video export.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/color/bitmap.h"

namespace gif {

// The 40-byte info header of a DIB, in its on-disk field order.
struct BitmapInfoHeader {
  std::uint32_t biSize = 40;
  std::int32_t biWidth = 0;
  std::int32_t biHeight = 0;  // positive: rows stored bottom-up
  std::uint16_t biPlanes = 1;
  std::uint16_t biBitCount = 0;
  std::uint32_t biCompression = 0;  // 0 = uncompressed RGB
  std::uint32_t biSizeImage = 0;
  std::int32_t biXPelsPerMeter = 0;
  std::int32_t biYPelsPerMeter = 0;
  std::uint32_t biClrUsed = 0;
  std::uint32_t biClrImportant = 0;
};

// A DIB colour-table entry.
struct RgbQuad {
  std::uint8_t blue = 0, green = 0, red = 0, reserved = 0;
  friend bool operator==(const RgbQuad&, const RgbQuad&) = default;
};

// The header for bitmap in format (1, 4, 8 or 24 bits; others raise
// "Unsupported PixelFormat"); an empty bitmap raises "Bitmap image is not valid".
BitmapInfoHeader InitBitmapInfoHeader(const Bitmap& bitmap, PixelFormat format);
// headerSize: 40 plus 4 bytes per colour below 9 bits; imageSize: the rows.
void QueryDIBSizes(const Bitmap& bitmap, std::uint32_t& headerSize, std::uint32_t& imageSize,
                   PixelFormat format);
// Fills the header, the colour table (2^bits entries below 9 bits; palette, when
// given, in place of the bitmap's own) and bits (imageSize bytes, bottom-up rows,
// blue-green-red for 24 bits). True on success.
bool ReadBitmapDIB(const Bitmap& bitmap, const Palette* palette, BitmapInfoHeader& header,
                   std::vector<RgbQuad>& colorTable, PixelFormat format, std::uint8_t* bits);

// Rows of a bitmap in a chosen format. The source is not changed: when its format
// differs, the reader holds a converted copy.
class TDIBReader {
public:
  TDIBReader(const Bitmap& bitmap, PixelFormat format);
  TDIBReader(const TDIBReader&) = delete;
  TDIBReader& operator=(const TDIBReader&) = delete;

  PixelFormat Format() const { return format_; }
  int Width() const { return source_->Width(); }
  int Height() const { return source_->Height(); }
  const Bitmap& Source() const { return *source_; }
  // Row 0 is the top row.
  const std::uint8_t* GetScanline(int row) const { return source_->Scanline(row); }

private:
  PixelFormat format_;
  Bitmap converted_;
  const Bitmap* source_;
};

// Builds an 8- or 24-bit bitmap row by row and puts it into the target bitmap
// when Finish is called or the writer is destroyed. The target's previous
// content is replaced only then.
class TDIBWriter {
public:
  // format pf8bit or pf24bit, else "Unsupported PixelFormat"; width or height
  // below 1 raise "Invalid image dimensions". Nothing is allocated yet.
  TDIBWriter(Bitmap& bitmap, const Palette* palette, int height, int width, PixelFormat format);
  ~TDIBWriter();
  TDIBWriter(const TDIBWriter&) = delete;
  TDIBWriter& operator=(const TDIBWriter&) = delete;

  // Row 0 is the top row. Allocates on first use ("Failed to allocate memory for
  // GIF DIB"); a row outside 0..height-1 raises "Scan line index out of range";
  // after Finish raises "Image has no DIB".
  std::uint8_t* GetScanline(int row);
  std::size_t RowBytes() const { return Bitmap::DIBRowBytes(width_, format_ == PixelFormat::pf8bit ? 8 : 24); }
  // Hands the pixels to the bitmap (an 8-bit bitmap gets a copy of the palette,
  // at most 256 entries). Later calls do nothing.
  void Finish();

private:
  void CreateDIB();

  Bitmap* bitmap_;
  Palette palette_;
  int height_;
  int width_;
  PixelFormat format_;
  Bitmap dib_;
  bool created_ = false;
  bool finished_ = false;
};

}  // namespace gif
