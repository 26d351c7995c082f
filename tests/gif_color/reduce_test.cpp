#include "gif/color/reduce.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "gif/color/dither.h"
#include "gif/color/palettes.h"
#include "gif/color/quantize.h"

namespace gif {
namespace {

// A smooth picture: red across, green down, blue along the diagonal.
Bitmap Gradient(int width, int height, PixelFormat format = PixelFormat::pf24bit) {
  Bitmap b(width, height, PixelFormat::pf24bit);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      b.SetPixelColor(x, y, RgbToColor(Rgb{std::uint8_t(255 * x / (width - 1)), std::uint8_t(255 * y / (height - 1)),
                                           std::uint8_t(255 * (x + y) / (width + height - 2))}));
  return b.ConvertedTo(format);
}

struct Errors {
  double meanAbsolute;  // per pixel and channel
  double meanShift;     // of the whole picture's mean colour, largest channel
};

Errors Measure(const Bitmap& source, const Bitmap& reduced) {
  double absolute = 0, sumSource[3] = {}, sumReduced[3] = {};
  for (int y = 0; y < source.Height(); ++y)
    for (int x = 0; x < source.Width(); ++x) {
      const Rgb a = ColorToRgb(source.PixelColor(x, y)), b = ColorToRgb(reduced.PixelColor(x, y));
      const int av[] = {a.red, a.green, a.blue}, bv[] = {b.red, b.green, b.blue};
      for (int c = 0; c < 3; ++c) {
        absolute += std::abs(av[c] - bv[c]);
        sumSource[c] += av[c];
        sumReduced[c] += bv[c];
      }
    }
  const double n = double(source.Width()) * source.Height();
  double shift = 0;
  for (int c = 0; c < 3; ++c) shift = std::max(shift, std::abs(sumSource[c] - sumReduced[c]) / n);
  return {absolute / (3 * n), shift};
}

TEST(ReduceColors, EveryMethodAndDitherModeGivesAnEightBitPictureOfTheSource) {
  const Bitmap source = Gradient(24, 18);
  // The corners of the colour cube: every colour is a mix of them, so diffusion
  // can keep the mean colour with this palette too.
  const Palette callers = {{0, 0, 0},     {255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                           {255, 255, 0}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
  struct Method {
    std::uint8_t method;
    std::size_t paletteSize;
    double nearestError;  // bound on the mean error without dithering
  } methods[] = {
      {rmWindows20, 20, 40}, {rmWindows256, 256, 16}, {rmWindowsGray, 4, 60},  {rmMonochrome, 2, 90},
      {rmGrayScale, 256, 60}, {rmNetscape, 216, 30},  {rmQuantize, 32, 16},   {rmQuantizeWindows, 256, 4},
      {rmPalette, 8, 80},
  };
  for (const Method& m : methods) {
    for (std::uint8_t mode = 0; mode < kDitherModeCount; ++mode) {
      const Bitmap r = ReduceColors(source, m.method, mode, &callers, 5);
      const std::string where = "method " + std::to_string(m.method) + ", mode " + std::to_string(mode);
      ASSERT_EQ(r.Format(), PixelFormat::pf8bit) << where;
      ASSERT_EQ(r.Width(), 24) << where;
      ASSERT_EQ(r.Height(), 18) << where;
      EXPECT_EQ(r.Colors().size(), m.paletteSize) << where;
      for (int y = 0; y < r.Height(); ++y)
        for (int x = 0; x < r.Width(); ++x) ASSERT_LT(std::size_t(r.PixelIndex(x, y)), m.paletteSize) << where;
      const Errors e = Measure(source, r);
      if (mode == dmNearest) {
        EXPECT_LT(e.meanAbsolute, m.nearestError) << where;
      }
      // Gray methods shift the colour by design; the others keep the mean
      // colour, diffusion keeping it closely.
      if (m.method != rmGrayScale && m.method != rmWindowsGray && m.method != rmMonochrome && mode != dmNearest) {
        EXPECT_LT(e.meanShift, 8) << where;
      }
    }
  }
}

TEST(ReduceColors, OctreeWithFloydSteinbergStaysCloseToTheSource) {
  const Bitmap source = Gradient(64, 48);
  const Errors plain = Measure(source, ReduceColors(source, rmQuantize, dmNearest, nullptr, 8));
  const Errors dithered = Measure(source, ReduceColors(source, rmQuantize, dmFloydSteinberg, nullptr, 8));
  EXPECT_LT(plain.meanAbsolute, 6);
  EXPECT_LT(dithered.meanAbsolute, 7);
  EXPECT_LT(dithered.meanShift, 0.5);
}

TEST(ReduceColors, MethodZeroCopiesTheSourceAtTwentyFourBits) {
  const Bitmap source = Gradient(5, 4, PixelFormat::pf32bit);
  const Bitmap copy = ReduceColors(source, rmNone, dmFloydSteinberg);
  EXPECT_EQ(copy, source.ConvertedTo(PixelFormat::pf24bit));
}

TEST(ReduceColors, CubeColoursMapToThemselves) {
  const Palette cube = CreateWebSafePalette();
  Bitmap source(216, 1, PixelFormat::pf32bit);
  for (int i = 0; i < 216; ++i) source.SetPixelColor(i, 0, RgbToColor(cube[std::size_t(i)]));
  const Bitmap r = ReduceColors(source, rmNetscape, dmNearest);
  for (int i = 0; i < 216; ++i) ASSERT_EQ(r.PixelIndex(i, 0), i);
}

TEST(ReduceColors, OctreeOfThreeColoursFindsThemExactly) {
  Bitmap source(6, 1, PixelFormat::pf24bit);
  const std::uint32_t colors[] = {0x000000FF, 0x0000FF00, 0x00FF0000};  // red, green, blue
  for (int x = 0; x < 6; ++x) source.SetPixelColor(x, 0, colors[x % 3]);
  const Bitmap r = ReduceColors(source, rmQuantize, dmFloydSteinberg, nullptr, 3);
  // Depth-first, children in index order: blue (001), green (010), red (100).
  EXPECT_EQ(r.Colors(), (Palette{{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {}, {}, {}, {}, {}}));
  for (int x = 0; x < 6; ++x) EXPECT_EQ(r.PixelColor(x, 0), colors[x % 3]);
}

TEST(ReduceColors, WindowsQuantizerKeepsTheStaticColoursAtBothEnds) {
  const Bitmap r = ReduceColors(Gradient(40, 30), rmQuantizeWindows, dmNearest);
  const Palette system = SystemPalette20();
  ASSERT_EQ(r.Colors().size(), 256u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(r.Colors()[std::size_t(i)], system[std::size_t(i)]);
    EXPECT_EQ(r.Colors()[std::size_t(246 + i)], system[std::size_t(10 + i)]);
  }
}

TEST(ReduceColors, OutsideTheTablesGivesAnEmptyBitmap) {
  const Bitmap source = Gradient(4, 4);
  const Palette none;
  EXPECT_TRUE(ReduceColors(source, kReductionMethodCount, dmNearest).Empty());
  EXPECT_TRUE(ReduceColors(source, 255, dmNearest).Empty());
  EXPECT_TRUE(ReduceColors(source, rmNetscape, kDitherModeCount).Empty());
  EXPECT_TRUE(ReduceColors(source, rmPalette, dmNearest, nullptr).Empty());
  EXPECT_TRUE(ReduceColors(source, rmPalette, dmNearest, &none).Empty());
}

TEST(ReduceColors, ReadsIndexedSourcesThroughTheirPalette) {
  Bitmap source(4, 2, PixelFormat::pf4bit);
  source.SetColors({{255, 255, 255}, {0, 0, 0}});
  source.SetPixelIndex(1, 0, 1);
  const Bitmap r = ReduceColors(source, rmMonochrome, dmNearest);
  EXPECT_EQ(r.PixelIndex(0, 0), 1);
  EXPECT_EQ(r.PixelIndex(1, 0), 0);
}

TEST(ReduceColors, LargePictureIsReducedLikeASmallOne) {
  // Errors flow only downward, so the top half reduced alone must equal the top
  // half of the whole 600000-pixel picture.
  const Bitmap source = Gradient(1000, 600);
  Bitmap top(1000, 300, PixelFormat::pf24bit);
  for (int y = 0; y < 300; ++y) std::copy_n(source.Scanline(y), source.RowBytes(), top.Scanline(y));
  const Bitmap whole = ReduceColors(source, rmNetscape, dmFloydSteinberg);
  const Bitmap half = ReduceColors(top, rmNetscape, dmFloydSteinberg);
  ASSERT_EQ(whole.Width(), 1000);
  ASSERT_EQ(whole.Height(), 600);
  EXPECT_EQ(whole.Colors(), half.Colors());
  for (int y = 0; y < 300; ++y)
    ASSERT_TRUE(std::equal(half.Scanline(y), half.Scanline(y) + 1000, whole.Scanline(y))) << "row " << y;
}

TEST(ColorQuantizer, AReducedLeafGathersLaterColours) {
  TColorQuantizer q(1, 8);
  q.AddColor(255, 0, 0);
  q.AddColor(0, 255, 0);  // two leaves: the tree folds up to the root
  q.AddColor(0, 0, 255);  // must land in the root, not grow a branch under it
  EXPECT_EQ(q.LeafCount(), 1);
  EXPECT_EQ(q.GetColorTable(), (Palette{{85, 85, 85}}));
}

TEST(ColorQuantizer, SumsDoNotOverflowThirtyTwoBits) {
  // 2^24 white pixels sum to more than 2^32 per channel.
  TColorQuantizer merged(1, 8);
  const std::vector<std::uint8_t> row(3 * 4096, 255);
  for (int i = 0; i < 4096; ++i) merged.AddRows(row.data(), row.size(), 4096, 1, 3);
  merged.AddColor(0, 0, 0);
  EXPECT_EQ(merged.GetColorTable(), (Palette{{254, 254, 254}}));
}

}  // namespace
}  // namespace gif
