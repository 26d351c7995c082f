// Frames: bounds, pixels, image blocks, rendering, drawing, bitmap import,
// cropping and merging.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>
#include <set>
#include <utility>

#include "gif/color/reduce.h"
#include "gif/gifimage.h"
#include "tests/gif/fixture.h"

using namespace gif;
using namespace giftest;

namespace {

// Black, white, red, green as the global table.
Bytes FourColours(const Bytes& blocks, int width = 2, int height = 2) {
  return Cat({Header(width, height, {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00}), blocks, Bytes{0x3B}});
}

std::uint32_t CanvasColor(const Bitmap& canvas, int x, int y) {
  const std::uint8_t* p = canvas.Scanline(y) + x * 4;
  return static_cast<std::uint32_t>(p[2]) | p[1] << 8 | p[0] << 16;
}

TEST(GIFFrame, ImageBlockOfNoSizeDrawsNothingAndIsWrittenBack) {
  // With its table and data, and bare (some writers stop after the descriptor, even
  // when it announces a local table).
  const struct {
    const char* name;
    Bytes block;
  } cases[] = {
      {"no width, with data", Image(1, 0, 0, 2, {})},
      {"no height, with a local table", Image(0, 1, 2, 0, {}, {0xFF0000, 0x00FF00})},
      {"no width, bare", Bytes{0x2C, 0, 0, 0, 0, 0, 0, 1, 0, 0x00}},
      {"no size, bare with a table flag", Bytes{0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0x80}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes file = FourColours(Cat({c.block, Image(0, 0, 1, 1, {2})}), 3, 2);
    TGIFImage image;
    Warnings warnings;
    warnings.Attach(image);
    image.LoadFromMemory(file);
    ASSERT_EQ(image.Images().GetCount(), 2);
    TGIFSubImage* frame = image.Images().GetFrame(0);
    EXPECT_TRUE(frame->IsEmpty());
    EXPECT_EQ(frame->GetWidth() * frame->GetHeight(), 0);
    EXPECT_EQ(image.GetWidth(), 3);
    Bitmap canvas(3, 2, PixelFormat::pf32bit);
    frame->Draw(canvas, TRect{0, 0, 3, 2}, false, false);
    EXPECT_EQ(CanvasColor(canvas, 1, 1), 0u);
    // Written back as it came: the whole file, since our encoder writes the one-pixel
    // image as the fixture does only when the sizes agree; compare the descriptors.
    const Bytes saved = image.SaveToMemory();
    const std::size_t head = 13 + 12;
    ASSERT_GT(saved.size(), head + c.block.size());
    EXPECT_EQ(Bytes(saved.begin() + head, saved.begin() + static_cast<std::ptrdiff_t>(head + 10)),
              Bytes(c.block.begin(), c.block.begin() + 10));
    TGIFImage again;
    again.OnWarning = [](const void*, int, const std::string&) {};
    again.LoadFromMemory(saved);
    ASSERT_EQ(again.Images().GetCount(), 2);
    EXPECT_TRUE(again.Images().GetFrame(0)->IsEmpty());
    EXPECT_EQ(again.Images().GetFrame(1)->GetPixel(0, 0), 2);
  }
}

TEST(GIFFrame, BoundsWidenTheScreenWithWarnings) {
  TGIFImage image;
  Warnings warnings;
  warnings.Attach(image);
  auto* frame = new TGIFSubImage(&image);
  image.Add(frame);
  frame->SetBounds(0, 0, 4, 3);  // the screen was 0 x 0: no warning
  EXPECT_TRUE(warnings.texts.empty());
  EXPECT_EQ(image.GetWidth(), 4);
  frame->GetScanline(1)[2] = 7;
  frame->SetLeft(2);
  EXPECT_EQ(frame->GetPixel(2, 1), 7);  // moving keeps the pixels
  EXPECT_EQ(image.GetWidth(), 6);
  EXPECT_EQ(warnings.texts, (std::vector<std::string>{texts::WidthTooSmall, texts::ExceedsScreen}));
  frame->SetWidth(5);
  EXPECT_EQ(frame->GetPixel(2, 1), 0);  // resizing empties them
  EXPECT_EQ(frame->GetBoundsValue(3), 5);
  EXPECT_EQ(frame->GetBoundsValue(9), 0);
  EXPECT_EQ(frame->GetBoundsRect(), (TRect{2, 0, 7, 3}));

  try {
    image.SetWidth(6);
    ADD_FAILURE();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), texts::WidthTooSmall);
  }
  EXPECT_EQ(image.GetWidth(), 7);
}

TEST(GIFFrame, PixelAccessChecksCoordinates) {
  TGIFImage image;
  image.LoadFromMemory(FourColours(Image(0, 0, 2, 2, {0, 1, 2, 3})));
  TGIFSubImage* frame = image.Images().GetFrame(0);
  EXPECT_EQ(frame->GetPixel(1, 1), 3);
  EXPECT_EQ(frame->GetScanline(1)[0], 2);
  for (auto [x, y] : {std::pair{2, 0}, {0, 2}, {-1, 0}}) EXPECT_THROW(frame->GetPixel(x, y), GIFException);
  TGIFSubImage empty(&image);
  try {
    empty.GetScanline(0);
    ADD_FAILURE();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), texts::ImageIsEmpty);
  }
}

TEST(GIFFrame, SavesAndReloadsEveryKindOfFrame) {
  Bytes pixels(7 * 9);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i % 5);
  const struct {
    const char* name;
    Bytes file;
    int compression;
  } cases[] = {
      {"interlaced with local table",
       Cat({Header(7, 9, {}), Image(0, 0, 7, 9, pixels, {1, 2, 3, 4, 5}, true), Bytes{0x3B}}), gcLZW},
      {"run-length", Cat({Header(7, 9, {1, 2, 3, 4, 5}), Image(0, 0, 7, 9, pixels, {}, false, 3), Bytes{0x3B}}), gcRLE},
      {"offset", Cat({Header(9, 12, {1, 2, 3, 4, 5}), Image(2, 3, 7, 9, pixels, {}, false, 3), Bytes{0x3B}}), gcLZW},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TGIFImage image;
    image.LoadFromMemory(c.file);
    image.Compression = static_cast<TGIFCompression>(c.compression);
    const bool interlaced = image.Images().GetFrame(0)->GetInterlaced();
    TGIFImage again;
    again.LoadFromMemory(image.SaveToMemory());
    TGIFSubImage* f = again.Images().GetFrame(0);
    EXPECT_EQ(f->GetInterlaced(), interlaced);
    EXPECT_EQ(f->GetBoundsRect(), image.Images().GetFrame(0)->GetBoundsRect());
    EXPECT_EQ(Bytes(f->Data(), f->Data() + f->DataSize()), pixels);
    EXPECT_EQ(f->ColorMap().GetCount(), image.Images().GetFrame(0)->ColorMap().GetCount() ? 8 : 0);
  }
}

TEST(GIFFrame, IndicesBeyondTheTableWarnAndStillSave) {
  TGIFImage image;
  Warnings warnings;
  warnings.Attach(image);
  // Two colours, but pixels use index 3.
  image.LoadFromMemory(Cat({Header(2, 1, {0x000000, 0xFFFFFF}), Image(0, 0, 2, 1, {1, 3}), Bytes{0x3B}}));
  EXPECT_TRUE(warnings.Has(texts::ColorNotInTable));
  TGIFImage again;
  again.LoadFromMemory(image.SaveToMemory());
  EXPECT_EQ(again.Images().GetFrame(0)->GetPixel(1, 0), 3);
  EXPECT_EQ(again.GetGlobalColorMap().GetCount(), 4);

  // The largest index is found again after the pixels change, in a write after an earlier one.
  image.Images().GetFrame(0)->Data()[0] = 6;
  again.LoadFromMemory(image.SaveToMemory());
  EXPECT_EQ(again.Images().GetFrame(0)->GetPixel(0, 0), 6);
  EXPECT_EQ(again.GetGlobalColorMap().GetCount(), 8);
}

TEST(GIFFrame, HugeDescriptorFailsBeforeAllocating) {
  // 20-odd bytes claiming a 65535 x 65535 frame.
  const Bytes file = Cat({Header(1, 1, {0, 0xFFFFFF}), Bytes{0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 0, 0x3B}});
  TGIFImage image;
  const auto start = std::chrono::steady_clock::now();
  try {
    image.LoadFromMemory(file);
    ADD_FAILURE();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), texts::FrameTooLarge);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  // Nor does a tiny frame on a forged screen when the still picture is made.
  image.LoadFromMemory(Cat({Header(60000, 60000, {0, 0xFFFFFF}), Image(5, 5, 1, 1, {1}), Bytes{0x3B}}));
  EXPECT_THROW(image.GetBitmap(), GIFException);
  image.MaxFramePixels = 100;
  EXPECT_THROW(image.LoadFromMemory(FourColours(Image(0, 0, 11, 10, Bytes(110, 1)), 11, 10)), GIFException);
  EXPECT_NO_THROW(image.LoadFromMemory(FourColours(Image(0, 0, 10, 10, Bytes(100, 1)), 10, 10)));
}

TEST(GIFFrame, RendersPixelsAndATransparencyMask) {
  TGIFImage image;
  image.LoadFromMemory(FourColours(Cat({GraphicControl(1, 0, 2), Image(0, 0, 2, 2, {2, 2, 1, 3})})));
  TGIFSubImage* frame = image.Images().GetFrame(0);
  const Bitmap& bitmap = frame->GetBitmap();
  ASSERT_EQ(bitmap.Format(), PixelFormat::pf8bit);
  EXPECT_EQ(bitmap.PixelIndex(1, 1), 3);
  EXPECT_EQ(bitmap.PixelColor(1, 1), 0x00FF00u);
  ASSERT_TRUE(frame->HasMask());
  const Bitmap& mask = frame->Mask();
  EXPECT_EQ(mask.PixelIndex(0, 0), 1);
  EXPECT_EQ(mask.PixelIndex(1, 0), 1);
  EXPECT_EQ(mask.PixelIndex(0, 1), 0);
  // A new transparent index gives a new mask.
  frame->GraphicControlExtension()->SetTransparentColorIndex(3);
  ASSERT_TRUE(frame->HasMask());
  EXPECT_EQ(frame->Mask().PixelIndex(0, 0), 0);
  EXPECT_EQ(frame->Mask().PixelIndex(1, 1), 1);
  frame->GraphicControlExtension()->SetTransparentColorIndex(2);

  // The first row is transparent: drawn over a blue canvas it shows blue.
  Bitmap canvas(2, 2, PixelFormat::pf32bit);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) canvas.SetPixelColor(x, y, 0xFF0000);
  frame->Draw(canvas, TRect{0, 0, 2, 2}, true, false);
  EXPECT_EQ(CanvasColor(canvas, 0, 0), 0xFF0000u);
  EXPECT_EQ(CanvasColor(canvas, 0, 1), 0xFFFFFFu);
  frame->Draw(canvas, TRect{0, 0, 2, 2}, false, false);
  EXPECT_EQ(CanvasColor(canvas, 0, 0), 0x0000FFu);  // red entry, 0x00BBGGRR

  // Doubled into a 4 x 4 rect, and tiled.
  Bitmap big(4, 4, PixelFormat::pf32bit);
  frame->Draw(big, TRect{0, 0, 4, 4}, false, false);
  EXPECT_EQ(CanvasColor(big, 3, 3), 0x00FF00u);
  Bitmap tiled(4, 4, PixelFormat::pf32bit);
  frame->Draw(tiled, TRect{0, 0, 4, 4}, false, true);
  EXPECT_EQ(CanvasColor(tiled, 3, 3), 0x00FF00u);
  EXPECT_EQ(CanvasColor(tiled, 2, 1), 0xFFFFFFu);
}

TEST(GIFFrame, DitheredRenderUsesTheCubeAndKeepsTransparentPixelsUnderTheMask) {
  TGIFImage image;
  image.SetDrawOptions(goDither);
  ASSERT_TRUE(image.ShouldDither());
  image.LoadFromMemory(FourColours(Cat({GraphicControl(1, 0, 2), Image(0, 0, 2, 2, {2, 1, 0, 3})})));
  TGIFSubImage* frame = image.Images().GetFrame(0);
  const Bitmap& bitmap = frame->GetBitmap();
  EXPECT_EQ(bitmap.Colors().size(), 256u);
  EXPECT_EQ(bitmap.PixelColor(1, 0), 0xFFFFFFu);
  EXPECT_EQ(bitmap.PixelColor(0, 1), 0x000000u);
  EXPECT_EQ(bitmap.PixelIndex(0, 0), 36 * 5);  // the cube index of red, under the mask
  EXPECT_TRUE(frame->HasMask());
}

TEST(GIFFrame, ImportsBitmaps) {
  TGIFImage image;
  image.ColorReduction = rmNone;
  // 300 colours cannot become a frame without reduction.
  Bitmap many(300, 1, PixelFormat::pf24bit);
  for (int x = 0; x < 300; ++x) many.SetPixelColor(x, 0, static_cast<std::uint32_t>(x));
  TGIFSubImage frame(&image);
  try {
    frame.Assign(many);
    ADD_FAILURE();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), texts::ColorTableOverflow);
  }
  image.ColorReduction = rmNetscape;
  frame.Assign(many);
  EXPECT_EQ(frame.GetWidth(), 300);
  EXPECT_LE(frame.ColorMap().GetCount(), 256);

  // An 8-bit bitmap is taken as it is.
  Bitmap indexed(2, 1, PixelFormat::pf8bit);
  indexed.SetColors({Rgb{1, 2, 3}, Rgb{4, 5, 6}});
  indexed.Scanline(0)[1] = 1;
  frame.Assign(indexed);
  EXPECT_EQ(frame.GetPixel(1, 0), 1);
  EXPECT_EQ(frame.ColorMap().GetColor(1), 0x060504u);

  // Alpha becomes transparency through a new entry.
  image.ColorReduction = rmNone;
  Bitmap rgba(2, 1, PixelFormat::pf32bit);
  rgba.SetPixelColor(0, 0, 0x0000FF);
  rgba.Scanline(0)[7] = 0;  // the second pixel is transparent
  frame.Assign(rgba);
  ASSERT_NE(frame.GraphicControlExtension(), nullptr);
  EXPECT_TRUE(frame.Transparent());
  EXPECT_EQ(frame.GetPixel(1, 0), frame.GraphicControlExtension()->GetTransparentColorIndex());
  EXPECT_NE(frame.GetPixel(0, 0), frame.GetPixel(1, 0));

  // Frames copy pixels, tables and extensions.
  TGIFSubImage copy(&image);
  copy.Assign(frame);
  EXPECT_EQ(copy.GetPixel(1, 0), frame.GetPixel(1, 0));
  EXPECT_EQ(copy.Extensions().GetCount(), 1);
  EXPECT_TRUE(copy.Transparent());
}

TEST(GIFFrame, CropCutsTransparentBorders) {
  TGIFImage image;
  image.LoadFromMemory(FourColours(Cat({GraphicControl(1, 0, 0), Image(0, 0, 4, 3, {0, 0, 0, 0, 0, 1, 2, 0, 0, 0, 3, 0})}), 4, 3));
  TGIFSubImage* frame = image.Images().GetFrame(0);
  frame->Crop();
  EXPECT_EQ(frame->GetBoundsRect(), (TRect{1, 1, 3, 3}));
  EXPECT_EQ(Bytes(frame->Data(), frame->Data() + frame->DataSize()), (Bytes{1, 2, 0, 3}));

  image.LoadFromMemory(FourColours(Cat({GraphicControl(1, 0, 0), Image(0, 0, 2, 2, {0, 0, 0, 0})})));
  image.Images().GetFrame(0)->Crop();
  EXPECT_TRUE(image.Images().GetFrame(0)->IsEmpty());
}

TEST(GIFFrame, MergeMakesRepeatsTransparentWithAnUnusedIndex) {
  // The second frame repeats the first except at one pixel; index 0 (black,
  // the reference colour's neighbour) stays in use, so another index is chosen.
  const Bytes first = Image(0, 0, 2, 2, {1, 2, 3, 1});
  const Bytes second = Image(0, 0, 2, 2, {1, 2, 0, 1});
  TGIFImage image;
  image.LoadFromMemory(FourColours(Cat({first, second})));
  TGIFSubImage* f1 = image.Images().GetFrame(1);
  f1->Merge(image.Images().GetFrame(0));
  ASSERT_TRUE(f1->Transparent());
  const int t = f1->GraphicControlExtension()->GetTransparentColorIndex();
  EXPECT_NE(t, 0);
  EXPECT_EQ(Bytes(f1->Data(), f1->Data() + 4), (Bytes{std::uint8_t(t), std::uint8_t(t), 0, std::uint8_t(t)}));

  // After a frame that restores the background nothing changes.
  image.LoadFromMemory(FourColours(Cat({GraphicControl(2 << 2, 10, 0), first, second})));
  f1 = image.Images().GetFrame(1);
  f1->Merge(image.Images().GetFrame(0));
  EXPECT_FALSE(f1->Transparent());
  EXPECT_EQ(f1->GetPixel(0, 0), 1);
}

}  // namespace

namespace {

// 8 colours, and a 9 x 7 frame using each of them in a pattern of no long runs.
Bytes EightColourFrame() {
  Bytes pixels(9 * 7);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>((i * 5 + i / 9) % 8);
  return Cat({Header(9, 7, {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF}),
              Image(0, 0, 9, 7, pixels, {}, false, 3), Bytes{0x3B}});
}

std::array<std::uint8_t, 256> MapOf(std::initializer_list<int> firstEight) {
  std::array<std::uint8_t, 256> map{};
  for (int v = 0; v < 256; ++v) map[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(v);
  int v = 0;
  for (int to : firstEight) map[static_cast<std::size_t>(v++)] = static_cast<std::uint8_t>(to);
  return map;
}

}  // namespace

// Recolouring maps a frame's pixels only when they are next read: whatever reads them (its own
// accessors, a copy, a render, a write, its counts) sees every map given, in order.
TEST(GIFFrame, PixelsRemappedLaterReadAsRemappedEverywhere) {
  const auto first = MapOf({7, 6, 5, 4, 3, 2, 1, 0});
  const auto second = MapOf({1, 1, 2, 3, 4, 5, 6, 0});
  TGIFImage source;
  source.LoadFromMemory(EightColourFrame());
  const TGIFSubImage& original = *source.Images().GetFrame(0);
  Bytes expected(original.Data(), original.Data() + original.DataSize());
  ASSERT_EQ(std::set<std::uint8_t>(expected.begin(), expected.end()).size(), 8u);
  for (std::uint8_t& p : expected) p = second[first[p]];
  const struct {
    const char* name;
    std::function<Bytes(TGIFSubImage&)> read;
  } readers[] = {
      {"pixels", [](TGIFSubImage& f) { return Bytes(std::as_const(f).Data(), std::as_const(f).Data() + f.DataSize()); }},
      {"pixel by pixel",
       [](TGIFSubImage& f) {
         Bytes out;
         for (int y = 0; y < f.GetHeight(); ++y)
           for (int x = 0; x < f.GetWidth(); ++x) out.push_back(f.GetPixel(x, y));
         return out;
       }},
      {"a copy",
       [](TGIFSubImage& f) {
         TGIFSubImage copy(f.Image());
         copy.Assign(f);
         return Bytes(std::as_const(copy).Data(), std::as_const(copy).Data() + copy.DataSize());
       }},
      {"the rendered bitmap",
       [](TGIFSubImage& f) {
         const Bitmap& b = f.GetBitmap();
         Bytes out;
         for (int y = 0; y < b.Height(); ++y) out.insert(out.end(), b.Scanline(y), b.Scanline(y) + b.Width());
         return out;
       }},
      {"written and read back",
       [](TGIFSubImage& f) {
         TGIFImage again;
         again.LoadFromMemory(f.Image()->SaveToMemory());
         const TGIFSubImage& g = *again.Images().GetFrame(0);
         return Bytes(g.Data(), g.Data() + g.DataSize());
       }},
  };
  for (const auto& r : readers) {
    SCOPED_TRACE(r.name);
    TGIFImage image;
    image.LoadFromMemory(EightColourFrame());
    TGIFSubImage& frame = *image.Images().GetFrame(0);
    frame.IndexCounts();  // counted before, carried through the maps
    frame.RemapPixels(first);
    frame.RemapPixels(second);
    std::array<std::uint64_t, 256> counts{};
    for (std::uint8_t p : expected) ++counts[p];
    EXPECT_EQ(frame.IndexCounts(), counts);
    EXPECT_EQ(r.read(frame), expected);
  }
}

// A frame written once and then recoloured writes what a frame holding the recoloured pixels
// writes, whether its data is made from what was written before (a one-to-one map) or encoded
// again (a map that joins two colours).
TEST(GIFFrame, RecolouredFramesWriteWhatTheirPixelsWrite) {
  const struct {
    std::array<std::uint8_t, 256> map;
    bool encodes;
  } cases[] = {{MapOf({3, 0, 1, 2, 7, 4, 5, 6}), false}, {MapOf({1, 1, 2, 3, 4, 5, 6, 0}), true}};
  for (const auto& [map, encodes] : cases) {
    for (bool interlaced : {false, true}) {
      SCOPED_TRACE(testing::Message() << (encodes ? "joining" : "one to one") << (interlaced ? ", interlaced" : ""));
      TGIFImage image;
      image.EncodedDataCache = std::make_shared<TGIFEncodedDataCache>();
      image.LoadFromMemory(EightColourFrame());
      image.Images().GetFrame(0)->SetInterlaced(interlaced);
      image.SaveToMemory();  // the cache holds the frame's data now
      image.Images().GetFrame(0)->RemapPixels(map);
      const std::uint64_t encoded = image.EncodedDataCache->Misses();
      const std::vector<std::uint8_t> written = image.SaveToMemory();
      EXPECT_EQ(image.EncodedDataCache->Misses() > encoded, encodes);

      TGIFImage plain;
      plain.LoadFromMemory(EightColourFrame());
      TGIFSubImage& frame = *plain.Images().GetFrame(0);
      frame.SetInterlaced(interlaced);
      for (std::size_t i = 0; i < frame.DataSize(); ++i) frame.Data()[i] = map[frame.Data()[i]];
      EXPECT_EQ(written, plain.SaveToMemory());
    }
  }
}
