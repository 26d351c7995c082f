#include "gif/qt/qimage_adapter.h"

#include <gtest/gtest.h>

namespace gif {
namespace {

// Odd widths so that every format has row padding.
Bitmap Sample(PixelFormat format) {
  Bitmap b(5, 3, format);
  if (IsIndexed(format)) {
    b.SetColors(format == PixelFormat::pf1bit ? Palette{{10, 20, 30}, {200, 210, 220}}
                                              : Palette{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 8, 7}});
    const int n = int(b.Colors().size());
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) b.SetPixelIndex(x, y, (x + 2 * y) % n);
  } else {
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) b.SetPixelColor(x, y, RgbToColor(Rgb{std::uint8_t(50 * x), std::uint8_t(100 * y), 7}));
    if (format == PixelFormat::pf32bit) b.Scanline(1)[4 * 2 + 3] = 128;  // one half-transparent pixel
  }
  return b;
}

TEST(QImageAdapter, RoundTripsEveryFormatWithItsColours) {
  struct Case {
    PixelFormat format;
    QImage::Format qt;
    PixelFormat back;
  } cases[] = {
      {PixelFormat::pf1bit, QImage::Format_Mono, PixelFormat::pf1bit},
      {PixelFormat::pf4bit, QImage::Format_Indexed8, PixelFormat::pf8bit},
      {PixelFormat::pf8bit, QImage::Format_Indexed8, PixelFormat::pf8bit},
      {PixelFormat::pf24bit, QImage::Format_BGR888, PixelFormat::pf24bit},
      {PixelFormat::pf32bit, QImage::Format_ARGB32, PixelFormat::pf32bit},
  };
  for (const Case& c : cases) {
    const Bitmap source = Sample(c.format);
    const QImage image = qt::ToQImage(source);
    ASSERT_EQ(image.format(), c.qt) << BitsPerPixel(c.format);
    ASSERT_EQ(image.size(), QSize(5, 3));
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) {
        const Rgb expected = ColorToRgb(source.PixelColor(x, y));
        const QRgb got = image.pixel(x, y);
        ASSERT_EQ(qRgb(qRed(got), qGreen(got), qBlue(got)), qRgb(expected.red, expected.green, expected.blue))
            << BitsPerPixel(c.format) << " bits at " << x << "," << y;
      }
    const Bitmap back = qt::FromQImage(image);
    ASSERT_EQ(back.Format(), c.back);
    EXPECT_EQ(back, source.ConvertedTo(c.back)) << BitsPerPixel(c.format);
  }
  EXPECT_EQ(qAlpha(qt::ToQImage(Sample(PixelFormat::pf32bit)).pixel(2, 1)), 128);
}

TEST(QImageAdapter, ReadsForeignFormatsAsTrueColourOrIndexed) {
  QImage rgb(3, 2, QImage::Format_RGB32);
  rgb.fill(qRgb(0x11, 0x22, 0x33));
  const Bitmap b = qt::FromQImage(rgb);
  EXPECT_EQ(b.Format(), PixelFormat::pf24bit);
  EXPECT_EQ(b.PixelColor(2, 1), 0x00332211u);

  QImage lsb(9, 1, QImage::Format_MonoLSB);
  lsb.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  lsb.fill(0);
  lsb.setPixel(8, 0, 1);
  const Bitmap mono = qt::FromQImage(lsb);
  EXPECT_EQ(mono.Format(), PixelFormat::pf1bit);
  EXPECT_EQ(mono.PixelIndex(8, 0), 1);
  EXPECT_EQ(mono.PixelIndex(7, 0), 0);

  QImage alpha(1, 1, QImage::Format_ARGB32_Premultiplied);
  alpha.fill(qRgba(0, 0, 0, 0));
  EXPECT_EQ(qt::FromQImage(alpha).Format(), PixelFormat::pf32bit);
  EXPECT_TRUE(qt::FromQImage(QImage()).Empty());
  EXPECT_TRUE(qt::ToQImage(Bitmap()).isNull());
}

TEST(QImageAdapter, IndexedImageCoversIndicesBeyondThePalette) {
  Bitmap b(2, 1, PixelFormat::pf8bit);
  b.SetColors({{1, 2, 3}});
  b.SetPixelIndex(1, 0, 6);
  const QImage image = qt::ToQImage(b);
  EXPECT_EQ(image.colorCount(), 7);
  EXPECT_EQ(image.pixel(1, 0), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(0, 0), qRgb(1, 2, 3));
}

}  // namespace
}  // namespace gif
