#include "gif/qt/qimage_adapter.h"

#include <algorithm>
#include <cstring>

namespace gif::qt {

namespace {

QList<QRgb> ColorTable(const Palette& palette, int largestIndex) {
  QList<QRgb> table(std::max<qsizetype>(qsizetype(palette.size()), largestIndex + 1), qRgb(0, 0, 0));
  for (std::size_t i = 0; i < palette.size(); ++i) table[qsizetype(i)] = qRgb(palette[i].red, palette[i].green, palette[i].blue);
  return table;
}

void CopyRows(const Bitmap& from, QImage& to) {
  const std::size_t bytes = std::min<std::size_t>(from.RowBytes(), std::size_t(to.bytesPerLine()));
  for (int y = 0; y < from.Height(); ++y) std::memcpy(to.scanLine(y), from.Scanline(y), bytes);
}

// Only the pixels' own bytes: Qt leaves row padding and the unused bits of a
// last mono byte undefined, and our rows keep them zero.
void CopyRows(const QImage& from, Bitmap& to) {
  const int bits = to.BitsPerPixel();
  const std::size_t bytes = (std::size_t(to.Width()) * std::size_t(bits) + 7) / 8;
  const int spare = int(bytes * 8 - std::size_t(to.Width()) * std::size_t(bits));
  for (int y = 0; y < to.Height(); ++y) {
    std::uint8_t* row = to.Scanline(y);
    std::memcpy(row, from.constScanLine(y), bytes);
    if (spare) row[bytes - 1] = std::uint8_t(row[bytes - 1] & (0xFF << spare));
  }
}

}  // namespace

QImage ToQImage(const Bitmap& bitmap) {
  if (bitmap.Empty()) return QImage();
  const int w = bitmap.Width(), h = bitmap.Height();
  switch (bitmap.Format()) {
    case PixelFormat::pf1bit: {
      QImage image(w, h, QImage::Format_Mono);
      CopyRows(bitmap, image);
      image.setColorTable(ColorTable(bitmap.Colors(), 1));
      return image;
    }
    case PixelFormat::pf4bit:
    case PixelFormat::pf8bit: {
      const Bitmap bytes = bitmap.ConvertedTo(PixelFormat::pf8bit);
      QImage image(w, h, QImage::Format_Indexed8);
      CopyRows(bytes, image);
      int largest = 0;
      for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = bytes.Scanline(y);
        largest = std::max<int>(largest, *std::max_element(row, row + w));
      }
      image.setColorTable(ColorTable(bitmap.Colors(), largest));
      return image;
    }
    case PixelFormat::pf24bit: {
      QImage image(w, h, QImage::Format_BGR888);
      CopyRows(bitmap, image);
      return image;
    }
    case PixelFormat::pf32bit: {
      // Little-endian ARGB32 words lie in memory as blue, green, red, alpha.
      QImage image(w, h, QImage::Format_ARGB32);
      if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        CopyRows(bitmap, image);
      } else {
        for (int y = 0; y < h; ++y) {
          const std::uint8_t* src = bitmap.Scanline(y);
          QRgb* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
          for (int x = 0; x < w; ++x, src += 4) dst[x] = qRgba(src[2], src[1], src[0], src[3]);
        }
      }
      return image;
    }
  }
  return QImage();
}

Bitmap FromQImage(const QImage& image) {
  if (image.isNull()) return Bitmap();
  const int w = image.width(), h = image.height();
  const auto palette = [](const QImage& from) {
    Palette p;
    for (QRgb c : from.colorTable()) p.push_back(Rgb{std::uint8_t(qRed(c)), std::uint8_t(qGreen(c)), std::uint8_t(qBlue(c))});
    return p;
  };
  switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB: {
      const QImage mono = image.convertToFormat(QImage::Format_Mono);
      Bitmap b(w, h, PixelFormat::pf1bit);
      CopyRows(mono, b);
      b.SetColors(palette(mono));
      return b;
    }
    case QImage::Format_Indexed8: {
      Bitmap b(w, h, PixelFormat::pf8bit);
      CopyRows(image, b);
      b.SetColors(palette(image));
      return b;
    }
    default: break;
  }
  if (image.hasAlphaChannel()) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    Bitmap b(w, h, PixelFormat::pf32bit);
    if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
      CopyRows(argb, b);
    } else {
      for (int y = 0; y < h; ++y) {
        const QRgb* src = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        std::uint8_t* dst = b.Scanline(y);
        for (int x = 0; x < w; ++x, dst += 4)
          dst[0] = std::uint8_t(qBlue(src[x])), dst[1] = std::uint8_t(qGreen(src[x])),
          dst[2] = std::uint8_t(qRed(src[x])), dst[3] = std::uint8_t(qAlpha(src[x]));
      }
    }
    return b;
  }
  const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
  Bitmap b(w, h, PixelFormat::pf24bit);
  CopyRows(bgr, b);
  return b;
}

}  // namespace gif::qt
