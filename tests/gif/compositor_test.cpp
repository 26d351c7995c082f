// The compositor draws frames at their offsets over what earlier frames left,
// lets transparent pixels through and applies each frame's disposal before
// the next one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gif/render/compositor.h"
#include "tests/gif/fixture.h"

namespace giftest {
namespace {

using namespace gif;

// Global table: R, G, B, and index 3 as the transparent colour (black).
const std::vector<std::uint32_t> kColors{0xFF0000, 0x00FF00, 0x0000FF, 0x000000};

struct FrameSpec {
  int left, top, width, height;
  Bytes pixels;
  int disposal = 1;
  bool transparent = false;  // index 3
};

// A screen as letters, row after row with "/" between: R, G, B, K(black), W(white), ? other.
std::string Letters(const Bitmap& b) {
  std::string out;
  for (int y = 0; y < b.Height(); ++y) {
    if (y) out += '/';
    for (int x = 0; x < b.Width(); ++x) {
      switch (b.PixelColor(x, y)) {
        case 0x0000FF:
          out += 'R';
          break;
        case 0x00FF00:
          out += 'G';
          break;
        case 0xFF0000:
          out += 'B';
          break;
        case 0x000000:
          out += 'K';
          break;
        case 0xFFFFFF:
          out += 'W';
          break;
        default:
          out += '?';
      }
    }
  }
  return out;
}

void Load(TGIFImage& image, int width, int height, const std::vector<FrameSpec>& frames) {
  Bytes gif = Header(width, height, kColors);
  for (const FrameSpec& f : frames) {
    gif = Cat({gif, GraphicControl(f.disposal << 2 | (f.transparent ? 1 : 0), 10, 3),
               Image(f.left, f.top, f.width, f.height, f.pixels)});
  }
  gif.push_back(0x3B);
  image.LoadFromMemory(gif);
}

struct Case {
  const char* name;
  std::vector<FrameSpec> frames;
  std::vector<std::string> screens;  // Render(k) for every k, white backdrop
};

TEST(Compositor, ShowsEachFrameAsThePlayerDoes) {
  const std::vector<Case> cases = {
      {"offset frame over the first, transparent pixel shows what lies under it",
       {{0, 0, 4, 2, {0, 0, 0, 0, 0, 0, 0, 0}}, {1, 0, 2, 1, {1, 3}, 1, true}},
       {"RRRR/RRRR", "RGRR/RRRR"}},
      {"uncovered and transparent pixels show the backdrop", {{1, 1, 2, 1, {2, 3}, 1, true}}, {"WWWW/WBWW"}},
      {"disposal 2 gives the frame's area back to the backdrop",
       {{0, 0, 2, 1, {0, 0}, 2}, {2, 1, 1, 1, {1}}},
       {"RRWW/WWWW", "WWWW/WWGW"}},
      {"disposal 3 gives the frame's area back to what lay there",
       {{0, 0, 4, 2, {0, 0, 0, 0, 0, 0, 0, 0}}, {1, 0, 1, 1, {1}, 3}, {0, 1, 1, 1, {2}}},
       {"RRRR/RRRR", "RGRR/RRRR", "RRRR/BRRR"}},
      {"disposal 3 after disposal 2 keeps the restored backdrop",
       {{0, 0, 2, 2, {0, 0, 0, 0}, 2}, {1, 1, 2, 1, {1, 1}, 3}, {3, 0, 1, 1, {2}}},
       {"RRWW/RRWW", "WWWW/WGGW", "WWWB/WWWW"}},
      {"reserved disposal 5 leaves the frame in place",
       {{0, 0, 1, 1, {2}, 5}, {3, 1, 1, 1, {1}}},
       {"BWWW/WWWW", "BWWW/WWWG"}},
      {"a frame reaching past the screen is clipped", {{3, 1, 2, 2, {1, 1, 1, 1}}}, {"WWWW/WWWG"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TGIFImage image;
    Load(image, 4, 2, c.frames);
    ASSERT_EQ(image.Images().GetCount(), int(c.frames.size()));
    // One screen, or several taken in turn: the same pictures.
    for (int screens : {1, 2, 3}) {
      SCOPED_TRACE(screens);
      TGIFCompositor screen(image, 0xFFFFFF, PixelFormat::pf24bit, screens);
      for (std::size_t k = 0; k < c.screens.size(); ++k)
        EXPECT_EQ(Letters(screen.Render(int(k))), c.screens[k]) << "frame " << k;
      // Going back replays from the start and gives the same pictures.
      for (std::size_t k = c.screens.size(); k-- > 0;)
        EXPECT_EQ(Letters(screen.Render(int(k))), c.screens[k]) << "again " << k;
    }
  }
}

// With several screens each picture stays as it was while as many later ones as there are
// further screens are drawn, also where a frame is disposed of, frames are skipped or the
// pictures go back to an earlier frame, and every picture is the one a single screen shows.
TEST(Compositor, EachOfSeveralScreensKeepsItsPictureWhileTheNextOnesAreDrawn) {
  TGIFImage image;
  Load(image, 4, 2,
       {{0, 0, 4, 2, {0, 0, 0, 0, 0, 0, 0, 0}},
        {1, 0, 2, 1, {1, 3}, 2, true},
        {0, 1, 3, 1, {2, 2, 2}, 3},
        {3, 0, 1, 2, {1, 1}},
        {2, 1, 2, 1, {3, 0}, 2, true},
        {0, 0, 1, 1, {2}, 3},
        {1, 1, 1, 1, {1}}});
  const std::vector<int> orders[] = {{0, 1, 2, 3, 4, 5, 6}, {0, 2, 4, 6}, {0, 1, 2, 3, 1, 2, 5, 0, 6}};
  for (int screens : {2, 3}) {
    for (const std::vector<int>& order : orders) {
      SCOPED_TRACE(::testing::Message() << screens << " screens, frames in order " << ::testing::PrintToString(order));
      TGIFCompositor single(image);
      TGIFCompositor ring(image, 0xFFFFFF, PixelFormat::pf24bit, screens);
      std::vector<const Bitmap*> shown;
      std::vector<Bitmap> expected;
      for (int k : order) {
        shown.push_back(&ring.Render(k));
        expected.push_back(single.Render(k));
        const std::size_t first = shown.size() > std::size_t(screens) ? shown.size() - screens : 0;
        for (std::size_t i = first; i < shown.size(); ++i)
          EXPECT_EQ(Letters(*shown[i]), Letters(expected[i])) << "picture " << i << " after frame " << k;
      }
      EXPECT_EQ(&ring.Render(order.back()), shown.back()) << "the frame shown again";
    }
  }
}

TEST(Compositor, ThirtyTwoBitScreenIsTransparentWhereNothingIsDrawn) {
  TGIFImage image;
  Load(image, 2, 1, {{0, 0, 2, 1, {0, 3}, 1, true}});
  TGIFCompositor screen(image, 0x000000, PixelFormat::pf32bit);
  const Bitmap& b = screen.Render(0);
  const std::uint8_t* p = b.Scanline(0);
  EXPECT_EQ(std::vector<int>(p, p + 8), (std::vector<int>{0, 0, 255, 255, 0, 0, 0, 0}));
  EXPECT_THROW(screen.Render(1), std::out_of_range);
}

TEST(Compositor, BackdropColourFillsTheScreen) {
  TGIFImage image;
  Load(image, 3, 1, {{1, 0, 1, 1, {3}, 2, true}});
  TGIFCompositor screen(image, 0x00FF00);  // green as 0x00BBGGRR
  EXPECT_EQ(Letters(screen.Render(0)), "GGG");
}

}  // namespace
}  // namespace giftest
