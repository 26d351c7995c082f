#include "gif/color/palettes.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace gif {
namespace {

TEST(FixedPalettes, HaveTheirSizesAndEntries) {
  struct Spot {
    std::size_t index;
    Rgb color;
  };
  struct Case {
    const char* name;
    std::function<Palette()> build;
    std::size_t size;
    std::vector<Spot> spots;
  } cases[] = {
      {"web-safe", CreateWebSafePalette, 216, {{0, {0, 0, 0}}, {36 * 5 + 6 * 2 + 1, {255, 102, 51}}, {215, {255, 255, 255}}}},
      {"gray", GrayScalePalette, 256, {{0, {0, 0, 0}}, {77, {77, 77, 77}}, {255, {255, 255, 255}}}},
      {"gray 4", Gray4Palette, 4, {{0, {0, 0, 0}}, {1, {0x80, 0x80, 0x80}}, {2, {0xC0, 0xC0, 0xC0}}, {3, {255, 255, 255}}}},
      {"monochrome", MonochromePalette, 2, {{0, {0, 0, 0}}, {1, {255, 255, 255}}}},
      {"static 20", SystemPalette20, 20, {{0, {0, 0, 0}}, {8, {192, 220, 192}}, {9, {166, 202, 240}},
                                          {10, {255, 251, 240}}, {13, {255, 0, 0}}, {19, {255, 255, 255}}}},
      {"static 16", SystemPalette16, 16, {{0, {0, 0, 0}}, {7, {192, 192, 192}}, {8, {128, 128, 128}}, {15, {255, 255, 255}}}},
      {"halftone", WindowsHalftonePalette, 256, {{0, {0, 0, 0}}, {9, {166, 202, 240}}, {10, {0, 0, 0}},
                                                 {10 + 36 * 2 + 6 * 3 + 4, {102, 153, 204}}, {226, {12, 12, 12}},
                                                 {245, {243, 243, 243}}, {246, {255, 251, 240}}, {255, {255, 255, 255}}}},
  };
  for (const Case& c : cases) {
    const Palette p = c.build();
    ASSERT_EQ(p.size(), c.size) << c.name;
    for (const Spot& s : c.spots) EXPECT_EQ(p[s.index], s.color) << c.name << " entry " << s.index;
  }
}

TEST(FixedPalettes, HalftoneGraysLieBetweenTheCubeLevels) {
  const Palette p = WindowsHalftonePalette();
  std::set<int> grays;
  for (std::size_t i = 226; i < 246; ++i) {
    ASSERT_EQ(p[i].red, p[i].green);
    ASSERT_EQ(p[i].red, p[i].blue);
    EXPECT_NE(p[i].red % 51, 0) << "a cube level repeated at " << i;
    grays.insert(p[i].red);
  }
  EXPECT_EQ(grays.size(), 20u);
}

}  // namespace
}  // namespace gif
