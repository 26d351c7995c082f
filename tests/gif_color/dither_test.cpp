#include "gif/color/dither.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace gif {
namespace {

// Blue-green-red pixels, width x height, rows without padding.
struct Picture {
  int width, height;
  std::vector<std::uint8_t> bgr;
  const std::uint8_t* Row(int y) const { return bgr.data() + std::size_t(y) * std::size_t(width) * 3; }
};

Picture Uniform(int width, int height, Rgb c) {
  Picture p{width, height, {}};
  for (int i = 0; i < width * height; ++i) p.bgr.insert(p.bgr.end(), {c.blue, c.green, c.red});
  return p;
}

Picture Noise(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  Picture p{width, height, std::vector<std::uint8_t>(std::size_t(width * height * 3))};
  for (auto& v : p.bgr) v = std::uint8_t(random());
  return p;
}

// The walk a caller of the one-pixel engines makes: start at the engine's column
// and go on while the column stays within the row.
std::vector<std::uint8_t> WalkPixels(TDitherEngine& engine, const Picture& p) {
  std::vector<std::uint8_t> out(std::size_t(p.width * p.height));
  for (int y = 0; y < p.height; ++y) {
    while (engine.Column() >= 0 && engine.Column() < p.width) {
      const int x = engine.Column();
      const std::uint8_t* px = p.Row(y) + 3 * x;
      std::uint8_t r, g, b;
      out[std::size_t(y * p.width + x)] = engine.Dither(px[2], px[1], px[0], r, g, b);
    }
    engine.NextLine();
  }
  return out;
}

std::vector<std::uint8_t> DitherRows(TRowDitherer& ditherer, const Picture& p) {
  std::vector<std::uint8_t> out(std::size_t(p.width * p.height));
  for (int y = 0; y < p.height; ++y) ditherer.DitherRow(p.Row(y), 3, out.data() + y * p.width);
  return out;
}

// A lookup only known through the base class: the row ditherer falls back to
// virtual calls for it.
class ThresholdLookup : public TColorLookup {
public:
  ThresholdLookup() : TColorLookup(2) {}
  std::uint8_t Lookup(std::uint8_t red, std::uint8_t, std::uint8_t, std::uint8_t& r, std::uint8_t& g,
                      std::uint8_t& b) override {
    r = g = b = red >= 128 ? 255 : 0;
    return red >= 128;
  }
};

TEST(Dither, KernelWeightsAlongTheRow) {
  struct Case {
    std::uint8_t mode;
    std::uint8_t gray;
    std::vector<std::uint8_t> expected;
  } cases[] = {
      {dmNearest, 200, {1, 1, 1}},
      {dmFloydSteinberg, 100, {0, 1}},       // 100 + (7 x 100 + 8) / 16 = 144
      {dmStucki, 109, {0, 1}},               // 109 + (8 x 109 + 21) / 42 = 130
      {dmSierra, 100, {0, 0, 1}},            // 116, then 100 + (3 x 100 + 5 x 116 + 16) / 32 = 128
      {dmJaJuNi, 109, {0, 1}},               // 109 + (7 x 109 + 19) / 38 = 129; over 48 it would stay black
      {dmSteveArche, 110, {0, 0, 1}},        // nothing one step ahead; two ahead 110 + (32 x 110 + 100) / 200 = 128
      {dmBurkes, 100, {0, 0, 1}},            // 125, then 100 + (4 x 100 + 8 x 125 + 16) / 32 = 144
  };
  for (const Case& c : cases) {
    const Picture p = Uniform(int(c.expected.size()), 1, Rgb{c.gray, c.gray, c.gray});
    TMonochromeLookup mono;
    auto engine = CreateDitherEngine(c.mode, p.width, mono);
    auto rows = CreateRowDitherer(c.mode, p.width, mono);
    EXPECT_EQ(WalkPixels(*engine, p), c.expected) << int(c.mode);
    EXPECT_EQ(DitherRows(*rows, p), c.expected) << int(c.mode);
  }
}

TEST(Dither, FloydSteinbergCarriesErrorsDownInSerpentineOrder) {
  // Row 0 left to right: 100 -> black (e 100), 144 -> white (e -111). Row 1 right
  // to left: column 1 gets (100 - 555 + 8) / 16 = -27 -> 73, black (e 73);
  // column 0 gets (500 - 333 + 511 + 8) / 16 = 42 -> 142, white.
  const Picture p = Uniform(2, 2, Rgb{100, 100, 100});
  TMonochromeLookup mono;
  const std::vector<std::uint8_t> expected = {0, 1, 1, 0};
  TFloydSteinbergDitherer engine(2, mono);
  EXPECT_EQ(WalkPixels(engine, p), expected);
  EXPECT_EQ(DitherRows(*CreateRowDitherer(dmFloydSteinberg, 2, mono), p), expected);
}

TEST(Dither, RowDithererMatchesTheOnePixelEnginesForEveryModeAndLookup) {
  TFastColorLookup fast({{0, 0, 0}, {250, 30, 30}, {40, 200, 90}, {255, 255, 255}});
  TNetscapeColorLookup cube;
  TGrayScaleLookup gray;
  TMonochromeLookup mono;
  ThresholdLookup threshold;
  TColorLookup* lookups[] = {&fast, &cube, &gray, &mono, &threshold};
  // Width 1 leaves every kernel tap outside the row: the sanitizers watch the
  // spare cells.
  const Picture pictures[] = {Noise(9, 7, 1), Noise(1, 6, 2), Noise(2, 3, 3)};
  for (std::uint8_t mode = 0; mode < kDitherModeCount; ++mode) {
    for (TColorLookup* lookup : lookups) {
      for (const Picture& p : pictures) {
        auto engine = CreateDitherEngine(mode, p.width, *lookup);
        auto rows = CreateRowDitherer(mode, p.width, *lookup);
        ASSERT_TRUE(engine && rows);
        const std::vector<std::uint8_t> walked = WalkPixels(*engine, p);
        EXPECT_EQ(DitherRows(*rows, p), walked) << "mode " << int(mode) << ", width " << p.width;
        for (std::uint8_t index : walked) ASSERT_LT(index, lookup->Colors());
      }
    }
  }
}

TEST(Dither, UniformColourOfThePaletteNeedsNoDiffusion) {
  const Rgb c{51, 102, 153};
  TFastColorLookup fast({{0, 0, 0}, c, {255, 255, 255}});
  TNetscapeColorLookup cube;
  const Picture p = Uniform(7, 4, c);
  for (std::uint8_t mode = 0; mode < kDitherModeCount; ++mode) {
    EXPECT_EQ(DitherRows(*CreateRowDitherer(mode, p.width, fast), p), std::vector<std::uint8_t>(28, 1)) << int(mode);
    EXPECT_EQ(DitherRows(*CreateRowDitherer(mode, p.width, cube), p),
              std::vector<std::uint8_t>(28, 36 * 1 + 6 * 2 + 3))
        << int(mode);
  }
}

TEST(Dither, SkippedPixelsKeepTheirValueAndTakeNoError) {
  TMonochromeLookup mono;
  const Picture p = Uniform(3, 1, Rgb{109, 109, 109});
  std::vector<std::uint8_t> out = {77, 77, 77};
  const std::uint8_t skip[] = {0, 1, 0};
  CreateRowDitherer(dmFloydSteinberg, 3, mono)->DitherRow(p.Row(0), 3, out.data(), skip);
  // Unskipped, the middle pixel would turn white from the first pixel's error.
  EXPECT_EQ(out, (std::vector<std::uint8_t>{0, 77, 0}));

  TFloydSteinbergDitherer engine(3, mono);
  std::uint8_t r, g, b;
  EXPECT_EQ(engine.Dither(109, 109, 109, r, g, b), 0);
  engine.Skip();
  EXPECT_EQ(engine.Column(), 2);
}

TEST(Dither, NextLineTurnsTheDirection) {
  TGrayScaleLookup gray;
  TDitherEngine engine(5, gray);
  EXPECT_EQ(engine.Column(), 0);
  EXPECT_EQ(engine.Direction(), 1);
  engine.NextLine();
  EXPECT_EQ(engine.Column(), 4);
  EXPECT_EQ(engine.Direction(), -1);
  engine.NextLine();
  EXPECT_EQ(engine.Column(), 0);
}

TEST(Dither, UnknownModeHasNoEngine) {
  TGrayScaleLookup gray;
  EXPECT_EQ(CreateDitherEngine(7, 4, gray), nullptr);
  EXPECT_EQ(CreateRowDitherer(kDitherModeCount, 4, gray), nullptr);
  EXPECT_EQ(CreateRowDitherer(255, 4, gray), nullptr);
}

}  // namespace
}  // namespace gif
