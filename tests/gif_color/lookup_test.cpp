#include "gif/color/lookup.h"

#include <gtest/gtest.h>

#include <memory>

namespace gif {
namespace {

struct Answer {
  int index;
  Rgb color;
};

Answer Ask(TColorLookup& lookup, Rgb in) {
  Answer a{};
  a.index = lookup.Lookup(in.red, in.green, in.blue, a.color.red, a.color.green, a.color.blue);
  return a;
}

TEST(ColorLookup, FixedLookupsMapAsTheirFormulasSay) {
  TNetscapeColorLookup cube;
  TGrayScaleLookup gray;
  TMonochromeLookup mono;
  struct Case {
    TColorLookup* lookup;
    Rgb in;
    int index;
    Rgb out;
  } cases[] = {
      {&cube, {255, 128, 0}, 5 * 36 + 2 * 6 + 0, {255, 102, 0}},
      {&cube, {0, 0, 0}, 0, {0, 0, 0}},
      {&cube, {24, 48, 255}, 0 * 36 + 1 * 6 + 5, {0, 51, 255}},
      {&gray, {0, 0, 255}, 28, {28, 28, 28}},
      {&gray, {255, 255, 255}, 255, {255, 255, 255}},
      {&mono, {128, 128, 128}, 1, {255, 255, 255}},  // 256 x 128 = 32768
      {&mono, {127, 127, 127}, 0, {0, 0, 0}},        // 32512, just below the threshold
      {&mono, {0, 0, 255}, 0, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    const Answer a = Ask(*c.lookup, c.in);
    EXPECT_EQ(a.index, c.index) << int(c.in.red) << "," << int(c.in.green) << "," << int(c.in.blue);
    EXPECT_EQ(a.color, c.out) << a.index;
  }
  EXPECT_EQ(cube.Colors(), 216);
  EXPECT_EQ(gray.Colors(), 256);
  EXPECT_EQ(mono.Colors(), 2);
}

TEST(FastColorLookup, FindsTheNearestEntryByManhattanDistanceFirstWinning) {
  TFastColorLookup lookup({{100, 0, 0}, {0, 100, 0}, {10, 0, 0}, {0, 10, 0}, {200, 200, 200}});
  EXPECT_EQ(lookup.Colors(), 5);
  EXPECT_EQ(Ask(lookup, {60, 50, 0}).index, 0);    // 90 against 110
  EXPECT_EQ(Ask(lookup, {5, 5, 40}).index, 2);     // 10 + 5 + 40 ties with entry 3: the first wins
  EXPECT_EQ(Ask(lookup, {255, 255, 255}).color, (Rgb{200, 200, 200}));
}

TEST(FastColorLookup, GivesOneAnswerPerCacheCell) {
  // (6, 6, 6) is exact for entry 1, but shares its 8 x 8 x 8 cell with entry 0,
  // which claimed the cell first.
  TFastColorLookup seeded({{0, 0, 0}, {6, 6, 6}});
  EXPECT_EQ(Ask(seeded, {6, 6, 6}).index, 0);

  // A miss fills the cell with the answer for the first colour asked.
  TFastColorLookup missed({{0, 0, 0}, {20, 20, 20}});
  EXPECT_EQ(Ask(missed, {15, 15, 15}).index, 1);
  EXPECT_EQ(Ask(missed, {8, 8, 8}).index, 1) << "nearer to entry 0, but the cell already answers 1";
  EXPECT_EQ(TFastColorLookup::CellOf(8, 8, 8), TFastColorLookup::CellOf(15, 15, 15));
  TFastColorLookup fresh({{0, 0, 0}, {20, 20, 20}});
  EXPECT_EQ(Ask(fresh, {8, 8, 8}).index, 0);
}

TEST(FastColorLookup, KeepsAtMost256EntriesAndReportsNoneForAnEmptyPalette) {
  EXPECT_EQ(TFastColorLookup(Palette(300)).Colors(), 256);
  TFastColorLookup empty(Palette{});
  EXPECT_EQ(empty.Colors(), 0);
  EXPECT_EQ(Ask(empty, {1, 2, 3}).color, Rgb{});
}

}  // namespace
}  // namespace gif
