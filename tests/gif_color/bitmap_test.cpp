#include "gif/color/bitmap.h"

#include <gtest/gtest.h>

#include "gif/color/color_error.h"

namespace gif {
namespace {

TEST(Bitmap, PadsRowsToThirtyTwoBits) {
  struct Case {
    int width;
    PixelFormat format;
    std::size_t rowBytes;
  } cases[] = {
      {3, PixelFormat::pf8bit, 4},  {4, PixelFormat::pf8bit, 4},   {5, PixelFormat::pf8bit, 8},
      {1, PixelFormat::pf1bit, 4},  {33, PixelFormat::pf1bit, 8},  {9, PixelFormat::pf4bit, 8},
      {3, PixelFormat::pf24bit, 12}, {5, PixelFormat::pf24bit, 16}, {3, PixelFormat::pf32bit, 12},
  };
  for (const Case& c : cases) {
    const Bitmap b(c.width, 2, c.format);
    EXPECT_EQ(b.RowBytes(), c.rowBytes) << c.width << " x " << BitsPerPixel(c.format);
    EXPECT_EQ(b.SizeBytes(), 2 * c.rowBytes);
    EXPECT_EQ(b.Scanline(1) - b.Scanline(0), std::ptrdiff_t(c.rowBytes));
  }
}

TEST(Bitmap, PacksIndexedPixelsMostSignificantFirst) {
  Bitmap mono(10, 1, PixelFormat::pf1bit);
  mono.SetPixelIndex(0, 0, 1);
  mono.SetPixelIndex(9, 0, 1);
  EXPECT_EQ(mono.Scanline(0)[0], 0x80);
  EXPECT_EQ(mono.Scanline(0)[1], 0x40);
  mono.SetPixelIndex(0, 0, 0);
  EXPECT_EQ(mono.Scanline(0)[0], 0x00);

  Bitmap nibbles(3, 1, PixelFormat::pf4bit);
  nibbles.SetPixelIndex(0, 0, 0xA);
  nibbles.SetPixelIndex(1, 0, 0x5);
  nibbles.SetPixelIndex(2, 0, 0xF);
  EXPECT_EQ(nibbles.Scanline(0)[0], 0xA5);
  EXPECT_EQ(nibbles.Scanline(0)[1], 0xF0);
  EXPECT_EQ(nibbles.PixelIndex(1, 0), 5);
}

TEST(Bitmap, StoresTrueColourBlueGreenRed) {
  Bitmap b24(2, 1, PixelFormat::pf24bit);
  b24.SetPixelColor(1, 0, 0x00332211);  // red 0x11, green 0x22, blue 0x33
  const std::uint8_t* p = b24.Scanline(0) + 3;
  EXPECT_EQ(p[0], 0x33);
  EXPECT_EQ(p[1], 0x22);
  EXPECT_EQ(p[2], 0x11);
  EXPECT_EQ(b24.PixelColor(1, 0), 0x00332211u);

  const Bitmap b32 = b24.ConvertedTo(PixelFormat::pf32bit);
  EXPECT_EQ(b32.PixelColor(1, 0), 0x00332211u);
  EXPECT_EQ(b32.Scanline(0)[7], 255) << "widened pixels are opaque";
}

TEST(Bitmap, ConvertsBetweenFormatsThroughThePalette) {
  Bitmap indexed(3, 2, PixelFormat::pf8bit);
  indexed.SetColors({{255, 0, 0}, {0, 255, 0}, {0, 0, 255}});
  for (int x = 0; x < 3; ++x) {
    indexed.SetPixelIndex(x, 0, x);
    indexed.SetPixelIndex(x, 1, 2 - x);
  }
  const Bitmap truecolor = indexed.ConvertedTo(PixelFormat::pf24bit);
  EXPECT_EQ(truecolor.PixelColor(0, 0), 0x000000FFu);
  EXPECT_EQ(truecolor.PixelColor(0, 1), 0x00FF0000u);

  // Back to 8 bits against the same palette gives the same indices; to 4 bits the
  // palette fits and the indices are kept.
  Bitmap back = truecolor.ConvertedTo(PixelFormat::pf8bit);
  EXPECT_EQ(back.Colors().size(), 256u) << "no palette of its own: the halftone default";
  EXPECT_EQ(back.PixelColor(2, 0), 0x00FF0000u);
  const Bitmap nibbles = indexed.ConvertedTo(PixelFormat::pf4bit);
  EXPECT_EQ(nibbles.Colors(), indexed.Colors());
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(nibbles.PixelIndex(x, y), indexed.PixelIndex(x, y));

  const Bitmap mono = truecolor.ConvertedTo(PixelFormat::pf1bit);
  EXPECT_EQ(mono.Colors().size(), 2u);
}

TEST(Bitmap, RejectsNegativeSizes) {
  try {
    Bitmap b(-1, 4, PixelFormat::pf8bit);
    FAIL();
  } catch (const ColorError& e) {
    EXPECT_STREQ(e.what(), "Invalid image dimensions");
  }
  EXPECT_TRUE(Bitmap(0, 4, PixelFormat::pf8bit).Empty());
}

}  // namespace
}  // namespace gif
