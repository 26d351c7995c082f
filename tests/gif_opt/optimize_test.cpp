// Optimisation must make animations smaller without changing what they show.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>

#include "gif/optimize/optimize.h"
#include "tests/gif_opt/animation_builder.h"

namespace {

using namespace giftest;
using gif::optimize::TColorMapOptimizer;

constexpr TColor kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF, kBlack = 0;

std::vector<std::uint8_t> Fill(int n, std::uint8_t v) { return std::vector<std::uint8_t>(static_cast<std::size_t>(n), v); }

// A moving square over a still background, with local tables, transparency,
// every disposal, a frame drawn over a restored one and a fully transparent frame.
void BuildMixed(TGIFImage& image) {
  MakeScreen(image, 8, 6, {kWhite, kRed, kGreen, kBlue});
  auto* first = AddFrame(image, {0, 0, 8, 6, Fill(48, 0), {}, true, 20, 1, -1});
  auto* loop = new TGIFAppExtNSLoop(first);
  first->Extensions().Add(loop);
  std::vector<std::uint8_t> square = Fill(48, 0);
  for (int y = 1; y < 3; ++y)
    for (int x = 2; x < 4; ++x) square[static_cast<std::size_t>(y) * 8 + x] = 1;
  AddFrame(image, {0, 0, 8, 6, square, {}, true, 10, 1, -1});                            // repeats the background
  AddFrame(image, {3, 2, 3, 3, {3, 3, 3, 3, 2, 3, 3, 3, 3}, {0x00FF00, 0xFF00FF, 0x0000FF, 0x123456}, true, 10, 3, 3});
  AddFrame(image, {1, 1, 4, 3, {0, 0, 0, 0, 0, 2, 2, 0, 0, 0, 0, 0}, {}, true, 10, 2, 0});  // disposal 2, transparent rim
  AddFrame(image, {0, 0, 8, 6, Fill(48, 2), {}, true, 7, 1, 2});                          // fully transparent
  AddFrame(image, {4, 0, 4, 6, Fill(24, 3), {}, true, 10, 1, -1});
  auto* last = AddFrame(image, {0, 0, 2, 2, {1, 1, 1, 1}, {}, true, 10, 0, -1});
  auto* comment = new TGIFCommentExtension(last);
  comment->Text().push_back("kept apart");
  last->Extensions().Add(comment);
}

// Random noise frames with a drifting patch: many colours, many repeats.
void BuildNoise(TGIFImage& image) {
  std::mt19937 random(7);
  MakeScreen(image, 12, 9, {});
  for (int i = 0; i < 40; ++i) image.GetGlobalColorMap().Add(random() & 0xFFFFFF);
  std::vector<std::uint8_t> base(12 * 9);
  for (auto& p : base) p = static_cast<std::uint8_t>(random() % 40);
  AddFrame(image, {0, 0, 12, 9, base, {}, true, 5, 1, -1});
  for (int k = 1; k < 6; ++k) {
    std::vector<std::uint8_t> next = base;
    for (int y = 2; y < 5; ++y)
      for (int x = k; x < k + 3; ++x) next[static_cast<std::size_t>(y) * 12 + x] = static_cast<std::uint8_t>(random() % 40);
    AddFrame(image, {0, 0, 12, 9, next, {}, true, 5, k % 2 ? 1 : 0, -1});
    base = next;
  }
}

// Disposal 2 and 3 frames followed by opaque frames that cover them or not.
void BuildDisposals(TGIFImage& image) {
  MakeScreen(image, 6, 4, {kBlack, kRed, kGreen, kBlue});
  AddFrame(image, {1, 1, 3, 2, Fill(6, 1), {}, true, 10, 2, -1});
  AddFrame(image, {0, 0, 6, 4, Fill(24, 2), {}, true, 10, 1, -1});  // covers the disposed frame
  AddFrame(image, {2, 1, 2, 2, Fill(4, 3), {}, true, 10, 3, -1});
  AddFrame(image, {0, 0, 6, 4, Fill(24, 1), {}, true, 10, 3, -1});  // covers it, restores again
  AddFrame(image, {0, 0, 3, 4, Fill(12, 3), {}, true, 10, 2, -1});
  std::vector<std::uint8_t> holed = Fill(24, 2);
  holed[0] = 0;
  AddFrame(image, {0, 0, 6, 4, holed, {}, true, 10, 1, 0});         // covers it but is transparent
}

struct Fixture {
  const char* name;
  std::function<void(TGIFImage&)> build;
};

const Fixture kFixtures[] = {{"mixed", BuildMixed}, {"noise", BuildNoise}, {"disposals", BuildDisposals}};

struct Pass {
  const char* name;
  std::function<void(TGIFImage&)> run;
};

const Pass kPasses[] = {
    {"colormap", [](TGIFImage& i) { Optimize(i, ooColorMap); }},
    {"cleanup", [](TGIFImage& i) { Optimize(i, ooCleanup); }},
    {"merge", [](TGIFImage& i) { Optimize(i, ooMerge); }},
    {"crop", [](TGIFImage& i) { Optimize(i, ooCrop); }},
    {"all", [](TGIFImage& i) { Optimize(i, ooAll); }},
    {"merge_then_crop", [](TGIFImage& i) { Optimize(i, ooMerge | ooCrop); }},
    {"colormaps", [](TGIFImage& i) { OptimizeColorMaps(i); }},
    {"colormaps_then_all", [](TGIFImage& i) { OptimizeColorMaps(i); Optimize(i, ooAll); }},
};

std::string TempPath(const std::string& leaf) {
  const char* dir = std::getenv("TMPDIR");
  return (std::filesystem::path(dir && *dir ? dir : "/tmp") / ("gif_opt_" + std::to_string(getpid()) + "_" + leaf)).string();
}

bool HaveGifdiff() { return std::system("command -v gifdiff >/dev/null 2>&1") == 0; }

TEST(OptimizeTest, EveryPassKeepsWhatEveryFrameShows) {
  const bool gifdiff = HaveGifdiff();
  for (const Fixture& fixture : kFixtures) {
    for (const Pass& pass : kPasses) {
      SCOPED_TRACE(std::string(fixture.name) + " / " + pass.name);
      TGIFImage before, after;
      fixture.build(before);
      fixture.build(after);
      pass.run(after);
      EXPECT_EQ(Timeline(before), Timeline(after));
      // The saved file reads back the same, and an independent reader agrees.
      const std::string a = TempPath(std::string(fixture.name) + "_a.gif");
      const std::string b = TempPath(std::string(fixture.name) + "_" + pass.name + ".gif");
      before.SaveToFile(a);
      after.SaveToFile(b);
      TGIFImage reread;
      reread.LoadFromFile(b);
      EXPECT_EQ(Timeline(before), Timeline(reread));
      if (gifdiff) {
        EXPECT_EQ(std::system(("gifdiff -w '" + a + "' '" + b + "' >&2").c_str()), 0);
      }
      std::filesystem::remove(a);
      std::filesystem::remove(b);
    }
  }
}

// Animations made by the peers themselves: FFmpeg's one global table and
// ImageMagick's local tables per frame.
TEST(OptimizeTest, PeerMadeAnimationsLookTheSameAndShrink) {
  if (!HaveGifdiff() || std::system("command -v ffmpeg >/dev/null 2>&1") != 0 ||
      std::system("test -x /usr/bin/convert-im6.q16") != 0)
    GTEST_SKIP() << "needs gifdiff, ffmpeg and ImageMagick";
  const std::string made = TempPath("peer.gif"), ours = TempPath("peer_ours.gif");
  const std::string commands[] = {
      "ffmpeg -y -v error -f lavfi -t 1 -i testsrc=size=64x48:rate=8 '" + made + "'",
      "/usr/bin/convert-im6.q16 -seed 1 -size 32x24 plasma:fractal -duplicate 3 -distort SRT '%[fx:t*20]' "
      "-set delay 6 -loop 0 '" + made + "'",
  };
  for (const std::string& command : commands) {
    SCOPED_TRACE(command);
    ASSERT_EQ(std::system(command.c_str()), 0);
    TGIFImage image;
    image.LoadFromFile(made);
    const std::size_t plain = image.SaveToMemory().size();
    const auto shown = Timeline(image);
    Optimize(image, ooAll);
    EXPECT_EQ(Timeline(image), shown);
    image.SaveToFile(ours);
    EXPECT_EQ(std::system(("gifdiff -w '" + made + "' '" + ours + "' >&2").c_str()), 0);
    EXPECT_LE(std::filesystem::file_size(ours), plain);
  }
  std::filesystem::remove(made);
  std::filesystem::remove(ours);
}

TEST(OptimizeTest, AllPassesMakeTheMixedAnimationSmaller) {
  TGIFImage image;
  BuildMixed(image);
  const std::size_t size = image.SaveToMemory().size();
  OptimizeColorMaps(image);
  Optimize(image, ooAll);
  EXPECT_LT(image.SaveToMemory().size(), size);
}

TEST(OptimizeColorMapsTest, SameColoursInOtherOrdersBecomeOneGlobalTableByUse) {
  TGIFImage image;
  MakeScreen(image, 4, 1, {});
  AddFrame(image, {0, 0, 4, 1, {0, 1, 1, 2}, {kRed, kGreen, kBlue}, true, 10, 1, -1});
  AddFrame(image, {0, 0, 4, 1, {2, 2, 2, 0}, {kBlue, kRed, kGreen}, true, 10, 1, -1});
  const auto shown = Timeline(image);
  TColorMapOptimizer optimizer(image);
  optimizer.Optimize();
  // Green 5 uses, blue 2, red 1.
  const TGIFColorMap& global = image.GetGlobalColorMap();
  ASSERT_EQ(global.GetCount(), 3);
  EXPECT_EQ(TGIFColorMap::RGBToColor(global.Entry(0)), kGreen);
  EXPECT_EQ(TGIFColorMap::RGBToColor(global.Entry(1)), kBlue);
  EXPECT_EQ(TGIFColorMap::RGBToColor(global.Entry(2)), kRed);
  EXPECT_TRUE(global.GetOptimized());
  for (int i = 0; i < 2; ++i) EXPECT_EQ(image.Images().GetFrame(i)->ColorMap().GetCount(), 0);
  EXPECT_EQ(Timeline(image), shown);
}

// The palette merge an editor runs after each added frame passes over every frame of the
// animation more than once: after each frame it says the work goes on (a running stage without a
// new measure), so that a program can keep its window going through a long animation.
TEST(OptimizeColorMapsTest, PassesOverTheFramesSayAfterEachFrameThatTheWorkGoesOn) {
  for (const Fixture& fixture : kFixtures) {
    SCOPED_TRACE(fixture.name);
    TGIFImage image;
    fixture.build(image);
    int onGlobal = 0, nonEmpty = 0;
    for (int i = 0; i < image.Images().GetCount(); ++i) {
      const TGIFSubImage* f = image.Images().GetFrame(i);
      if (f->IsEmpty()) continue;
      ++nonEmpty;
      if (f->ColorMap().GetCount() == 0) ++onGlobal;
    }
    int goingOn = 0, other = 0;
    image.OnProgress = [&](const void*, TProgressStage stage, int percent, bool, const std::string& message) {
      if (stage == TProgressStage::psRunning && percent == -1 && message == texts::Optimizing)
        ++goingOn;
      else if (percent < 0)
        ++other;
    };
    Optimize(image, ooColorMap);
    EXPECT_GE(goingOn, onGlobal) << "the global table's count";
    goingOn = 0;
    OptimizeColorMaps(image);
    EXPECT_GE(goingOn, 2 * nonEmpty) << "the merge's count and rewrite";
    EXPECT_EQ(other, 0);
  }
}

TEST(OptimizeColorMapsTest, ColoursBeyond256GoToTheNearestByDistance) {
  TGIFImage image;
  MakeScreen(image, 16, 32, {});
  // Frame 0 uses 256 colours twice each: blue (0, 0, 200), grey (100, 100,
  // 100) and 254 greens far from everything. Frame 1 uses (0, 0, 255) once: it
  // does not fit. Its channel sum (255) is nearer the grey's (300) than the
  // blue's (200), but the blue is by far the nearer colour.
  std::vector<TColor> colours{0xC80000, 0x646464};
  for (int i = 0; i < 254; ++i) colours.push_back(0x00FF00u | static_cast<TColor>(i));
  auto* f0 = new TGIFSubImage(&image);
  for (TColor c : colours) f0->ColorMap().Add(c);
  f0->SetBounds(0, 0, 16, 32);
  for (int i = 0; i < 512; ++i) f0->Data()[i] = static_cast<std::uint8_t>(i % 256);
  image.Add(f0);
  AddFrame(image, {0, 0, 1, 1, {0}, {0xFF0000}, true, 10, 1, -1});
  OptimizeColorMaps(image);
  ASSERT_EQ(image.GetGlobalColorMap().GetCount(), 256);
  const int index = image.Images().GetFrame(1)->Data()[0];
  EXPECT_EQ(TGIFColorMap::RGBToColor(image.GetGlobalColorMap().Entry(index)), 0xC80000u);
}

TEST(OptimizeColorMapsTest, TransparencyTakesTheLastIndexAndReferencesKeepTheirColours) {
  TGIFImage image;
  MakeScreen(image, 2, 1, {kRed, kBlack, kWhite, kBlue});
  image.Header().SetBackgroundColorIndex(2);  // white: no pixel uses it
  auto* f = AddFrame(image, {0, 0, 2, 1, {3, 1}, {}, true, 10, 1, 1});
  auto* text = new TGIFTextExtension(f);
  text->ForegroundColorIndex = 3;
  text->BackgroundColorIndex = 2;
  f->Extensions().Add(text);
  AddFrame(image, {0, 0, 2, 1, {0, 0}, {kGreen, kRed}, true, 10, 1, -1});
  const auto shown = Timeline(image);
  OptimizeColorMaps(image);
  EXPECT_EQ(Timeline(image), shown);
  const TGIFColorMap& global = image.GetGlobalColorMap();
  const int t = f->GraphicControlExtension()->GetTransparentColorIndex();
  EXPECT_TRUE(f->Transparent());
  EXPECT_EQ(f->Data()[1], t);
  EXPECT_EQ(t, global.GetCount() - 2);  // the black slot, then the background's white
  EXPECT_EQ(TGIFColorMap::RGBToColor(global.Entry(image.Header().GetBackgroundColorIndex())), kWhite);
  EXPECT_EQ(TGIFColorMap::RGBToColor(global.Entry(text->ForegroundColorIndex)), kBlue);
  EXPECT_EQ(TGIFColorMap::RGBToColor(global.Entry(text->BackgroundColorIndex)), kWhite);
}

TEST(OptimizeColorMapsTest, PixelsOutsideTheTableBecomeZeroWithAWarning) {
  TGIFImage image;
  MakeScreen(image, 3, 1, {kRed, kGreen});
  AddFrame(image, {0, 0, 3, 1, {1, 7, 1}, {}, true, 10, 1, -1});
  std::vector<std::string> warnings;
  image.OnWarning = [&](const void*, int, const std::string& m) { warnings.push_back(m); };
  OptimizeColorMaps(image);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], texts::ColorNotInTable);
  const TGIFColorMap& global = image.GetGlobalColorMap();
  EXPECT_EQ(TGIFColorMap::RGBToColor(global.Entry(image.Images().GetFrame(0)->Data()[1])), kRed);
}

TEST(OptimizeColorMapsTest, AWarningHandlerThatThrowsLeavesNothingBehind) {
  TGIFImage image;
  MakeScreen(image, 3, 1, {kRed, kGreen});
  AddFrame(image, {0, 0, 3, 1, {1, 7, 1}, {}, true, 10, 1, -1});
  image.OnWarning = [](const void*, int, const std::string& m) { throw std::runtime_error(m); };
  EXPECT_THROW(OptimizeColorMaps(image), std::runtime_error);
}

TEST(OptimizeColorMapTest, SortingTheGlobalTableKeepsTheBackgroundColour) {
  TGIFImage image;
  MakeScreen(image, 3, 1, {kWhite, kRed, kGreen, kBlue});
  image.Header().SetBackgroundColorIndex(3);  // blue, used once
  AddFrame(image, {0, 0, 3, 1, {2, 2, 3}, {}, true, 10, 1, -1});
  Optimize(image, ooColorMap);
  EXPECT_EQ(image.Header().GetBackgroundColor(), kBlue);
  EXPECT_EQ(TGIFColorMap::RGBToColor(image.GetGlobalColorMap().Entry(0)), kGreen);
}

TEST(OptimizeCleanupTest, DropsTransparencyNobodyUsesAndUnneededBlocks) {
  TGIFImage image;
  MakeScreen(image, 2, 2, {kRed, kGreen, kBlue, kWhite});
  auto* f0 = AddFrame(image, {0, 0, 2, 2, {0, 1, 1, 0}, {}, true, 10, 1, 3});
  f0->Extensions().Add(new TGIFAppExtNSLoop(f0));
  auto* c0 = new TGIFCommentExtension(f0);
  f0->Extensions().Add(c0);
  auto* f1 = AddFrame(image, {0, 0, 2, 2, {2, 2, 2, 2}, {}, true, 0, 1, -1});
  auto* f2 = AddFrame(image, {0, 0, 1, 1, {1}, {}, true, 10, 1, -1});
  f2->Extensions().Add(new TGIFAppExtNSLoop(f2));
  Optimize(image, ooCleanup);
  EXPECT_FALSE(f0->Transparent());
  auto count = [](TGIFSubImage* f, auto probe) {
    int n = 0;
    for (int i = 0; i < f->Extensions().GetCount(); ++i) n += probe(f->Extensions().GetExtension(i)) ? 1 : 0;
    return n;
  };
  auto isLoop = [](TGIFExtension* e) { return dynamic_cast<TGIFAppExtNSLoop*>(e) != nullptr; };
  auto isComment = [](TGIFExtension* e) { return dynamic_cast<TGIFCommentExtension*>(e) != nullptr; };
  EXPECT_EQ(count(f0, isLoop), 1);
  EXPECT_EQ(count(f0, isComment), 0);
  EXPECT_EQ(count(f2, isLoop), 0);
  EXPECT_EQ(f1->GraphicControlExtension(), nullptr);  // delay 0, nothing to say
  EXPECT_NE(f2->GraphicControlExtension(), nullptr);

  TGIFImage still;
  MakeScreen(still, 1, 1, {kRed});
  auto* only = AddFrame(still, {0, 0, 1, 1, {0}, {}, true, 50, 2, -1});
  only->Extensions().Add(new TGIFAppExtNSLoop(only));
  Optimize(still, ooCleanup);
  EXPECT_EQ(only->Extensions().GetCount(), 0);
}

// The loop count of an animation whose only loop block sits on a later frame survives the
// clean-up: the block moves to frame 0 with its count.
TEST(OptimizeCleanupTest, ALoopBlockOnlyOnALaterFrameMovesToFrameZero) {
  TGIFImage image;
  MakeScreen(image, 2, 2, {kRed, kGreen});
  auto* f0 = AddFrame(image, {0, 0, 2, 2, {0, 1, 1, 0}, {}, true, 10, 1, -1});
  AddFrame(image, {0, 0, 2, 2, {1, 1, 1, 1}, {}, true, 10, 1, -1});
  auto* f2 = AddFrame(image, {0, 0, 2, 2, {0, 0, 0, 0}, {}, true, 10, 1, -1});
  auto* later = new TGIFAppExtNSLoop(f2);
  later->SetLoops(4);
  f2->Extensions().Add(later);
  Optimize(image, ooCleanup);
  ASSERT_GT(f0->Extensions().GetCount(), 0);
  auto* moved = dynamic_cast<TGIFAppExtNSLoop*>(f0->Extensions().GetExtension(0));
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(moved->GetLoops(), 4);
  for (int i = 0; i < f2->Extensions().GetCount(); ++i)
    EXPECT_EQ(dynamic_cast<TGIFAppExtNSLoop*>(f2->Extensions().GetExtension(i)), nullptr);
}

TEST(OptimizeCleanupTest, DisposalChangesOnlyWhereNobodyCanSeeIt) {
  TGIFImage image;
  BuildDisposals(image);
  Optimize(image, ooCleanup);
  auto disposal = [&](int i) { return image.Images().GetFrame(i)->GraphicControlExtension()->GetDisposal(); };
  EXPECT_EQ(disposal(0), dmNone);        // covered by an opaque frame
  EXPECT_EQ(disposal(2), dmPrevious);    // the next frame restores what lay under it
  EXPECT_EQ(disposal(4), dmBackground);  // the next frame is transparent
}

TEST(OptimizeCropTest, EmptiedFramesHandTheirDelayBackAndTheFirstFrameStays) {
  TGIFImage image;
  MakeScreen(image, 4, 4, {kRed, kGreen});
  auto* f0 = AddFrame(image, {0, 0, 4, 4, Fill(16, 1), {}, true, 30, 1, 1});  // draws nothing
  f0->Extensions().Add(new TGIFAppExtNSLoop(f0));
  AddFrame(image, {0, 0, 4, 4, Fill(16, 0), {}, true, 20, 1, -1});             // opaque
  AddFrame(image, {0, 0, 4, 4, Fill(16, 1), {}, true, 15, 1, 1});              // draws nothing
  std::vector<std::uint8_t> dot = Fill(16, 1);
  dot[6] = 0;
  AddFrame(image, {0, 0, 4, 4, dot, {}, true, 10, 1, 1});
  AddFrame(image, {0, 0, 4, 4, Fill(16, 1), {}, true, 10, 2, 1});              // clears: must stay whole
  const auto shown = Timeline(image);
  Optimize(image, ooCrop);
  EXPECT_EQ(Timeline(image), shown);
  ASSERT_EQ(image.Images().GetCount(), 4);
  EXPECT_EQ(f0->GetBoundsRect(), (TRect{0, 0, 1, 1}));
  EXPECT_EQ(f0->Extensions().GetCount(), 2);  // the loop block survives
  EXPECT_EQ(image.Images().GetFrame(1)->GraphicControlExtension()->GetDelay(), 35);  // opaque frame before it
  EXPECT_EQ(image.Images().GetFrame(2)->GetBoundsRect(), (TRect{2, 1, 3, 2}));
  EXPECT_EQ(image.Images().GetFrame(3)->GetBoundsRect(), (TRect{0, 0, 4, 4}));
}

TEST(OptimizeTest, RefusesACallersPaletteWithoutCleanupAndReportsProgress) {
  TGIFImage image;
  BuildMixed(image);
  EXPECT_THROW(Optimize(image, ooReduceColors, 9), GIFException);
  EXPECT_NO_THROW(Optimize(image, ooReduceColors | ooCleanup, 9));
  std::vector<std::pair<TProgressStage, int>> seen;
  image.OnProgress = [&](const void*, TProgressStage s, int p, bool, const std::string& m) {
    if (m == texts::Optimizing) seen.emplace_back(s, p);
  };
  Optimize(image, ooAll);
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen.front(), std::make_pair(TProgressStage::psStarting, 0));
  EXPECT_EQ(seen.back(), std::make_pair(TProgressStage::psEnding, 100));
  for (std::size_t i = 2; i + 1 < seen.size(); ++i) EXPECT_GE(seen[i].second, seen[i - 1].second);
  TGIFImage empty;
  EXPECT_NO_THROW(Optimize(empty, ooAll));
}

}  // namespace
