// The animation: defaults, settings, loading that fails safely, saving through
// a temporary file, copying, progress and the still picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "gif/gifimage.h"
#include "tests/gif/fixture.h"

using namespace gif;
using namespace giftest;
namespace fs = std::filesystem;

namespace {

Bytes TwoFrames() {
  return Cat({Header(3, 2, {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00}), GraphicControl(0x04, 10, 0),
              Image(0, 0, 3, 2, {1, 2, 3, 0, 1, 2}), GraphicControl(0x08 | 1, 20, 1), Image(1, 1, 2, 1, {3, 1}),
              Bytes{0x3B}});
}

struct TempDir {
  fs::path path;
  TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/gifcoreXXXXXX";
    path = mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::permissions(path, fs::perms::owner_all, ec);
    fs::remove_all(path, ec);
  }
};

TEST(GIFImage, StartsWithTheDefaults) {
  TGIFImage image;
  EXPECT_EQ(image.GetDrawOptions(), 0x060F);
  EXPECT_EQ(image.ColorReduction, 6);
  EXPECT_EQ(image.GetColorReductionBits(), 8);
  EXPECT_EQ(image.DitherMode, 0);
  EXPECT_EQ(image.Compression, gcLZW);
  EXPECT_EQ(image.AnimationSpeed, 100);
  EXPECT_EQ(image.ThreadPriority, 3);
  EXPECT_EQ(image.BackgroundColor, clNone);
  EXPECT_TRUE(image.IsEmpty());
  EXPECT_EQ(image.GetVersion(), 0);
  EXPECT_FALSE(image.ShouldDither());  // "only on palette displays", and there are none
  for (int bits : {2, 9}) {
    try {
      image.SetColorReductionBits(bits);
      ADD_FAILURE();
    } catch (const GIFException& e) {
      EXPECT_STREQ(e.what(), texts::InvalidBitsPerPixel);
    }
  }
  image.SetColorReductionBits(3);
  EXPECT_EQ(image.GetColorReductionBits(), 3);
}

TEST(GIFImage, LoadsFramesAndTheirSettings) {
  TGIFImage image;
  image.LoadFromMemory(TwoFrames());
  ASSERT_EQ(image.Images().GetCount(), 2);
  EXPECT_EQ(image.GetWidth(), 3);
  EXPECT_EQ(image.GetVersion(), gv89a);
  EXPECT_TRUE(image.IsTransparent());
  EXPECT_EQ(image.GetBackgroundColorIndex(), 0u);
  TGIFSubImage* second = image.Images().GetFrame(1);
  EXPECT_EQ(second->GraphicControlExtension()->GetDelay(), 20);
  EXPECT_EQ(second->GraphicControlExtension()->GetDisposal(), dmBackground);
  EXPECT_EQ(second->GetBoundsRect(), (TRect{1, 1, 3, 2}));
  EXPECT_TRUE(image.Equals(&image));
  TGIFImage other;
  EXPECT_FALSE(image.Equals(&other));
}

TEST(GIFImage, FailedLoadLeavesTheImageAsItWas) {
  TGIFImage image;
  image.LoadFromMemory(TwoFrames());
  const Bytes before = image.SaveToMemory();
  Bytes damaged = TwoFrames();
  damaged[13 + 12 + 8 + 9] = 0x87;  // a local table of 256 entries the file does not hold
  damaged.resize(60);
  for (const Bytes& bad : {Bytes{'G', 'I', 'F'}, damaged, Text("not a gif at all")}) {
    ByteReader stream(bad);
    EXPECT_THROW(image.LoadFromStream(stream), GIFException);
    EXPECT_EQ(stream.Position(), 0u);
    EXPECT_EQ(image.SaveToMemory(), before);
  }
}

// A long animation's frames are encoded on several threads, a window of frames at a time; the
// file is the one a write of one frame after another gives.
TEST(GIFImage, LargeAnimationsWriteWhatAFrameByFrameWriteWrites) {
  TGIFImage image;
  for (int c = 0; c < 256; ++c) image.GetGlobalColorMap().Add(static_cast<TColor>(c * 0x010203));
  for (int i = 0; i < 150; ++i) {
    auto* frame = new TGIFSubImage(&image);
    image.Add(frame);
    if (i % 50 == 5) continue;  // frames without pixels
    frame->SetBounds(i % 7, i % 5, 200 - i % 7, 180 - i % 5);
    if (i % 3 == 1)
      for (int c = 0; c < 40; ++c) frame->ColorMap().Add(static_cast<TColor>(c * 0x030201));
    frame->SetInterlaced(i % 4 == 2);
    std::uint8_t* p = frame->Data();
    const std::size_t colors = i % 3 == 1 ? 40 : 256;
    for (std::size_t k = 0; k < frame->DataSize(); ++k)
      p[k] = static_cast<std::uint8_t>((k / 7 + k % 200 / 16 + (k % 13 == 0 ? k * i : 0)) % colors);
    auto* gce = new TGIFGraphicControlExtension(frame);
    frame->Extensions().Add(gce);
    gce->SetDelay(static_cast<std::uint16_t>(i));
  }
  ByteWriter oneByOne;
  image.Header().SaveToStream(oneByOne);
  for (int i = 0; i < image.Images().GetCount(); ++i) image.Images().GetFrame(i)->SaveToStream(oneByOne);
  oneByOne.Write(0x3B);
  EXPECT_EQ(image.SaveToMemory(), oneByOne.Bytes());

  // Handed on in blocks as it is written (large data passed on whole), the output is the same.
  std::vector<std::uint8_t> passed;
  std::size_t blocks = 0;
  ByteWriter sink([&](std::span<const std::uint8_t> bytes) {
    passed.insert(passed.end(), bytes.begin(), bytes.end());
    ++blocks;
  });
  image.SaveToStream(sink);
  EXPECT_EQ(sink.Position(), oneByOne.Bytes().size());
  sink.Flush();
  EXPECT_EQ(passed, oneByOne.Bytes());
  EXPECT_GT(blocks, 1u);
  EXPECT_TRUE(sink.Bytes().empty());
}

TEST(GIFImage, SavesThroughATemporaryFileAndKeepsTheOldOneOnFailure) {
  TempDir dir;
  const std::string file = (dir.path / "anim.gif").string();
  TGIFImage image;
  image.LoadFromMemory(TwoFrames());
  image.SaveToFile(file);
  TGIFImage loaded;
  loaded.LoadFromFile(file);
  EXPECT_EQ(loaded.SaveToMemory(), image.SaveToMemory());

  // An image that cannot be written leaves the file untouched.
  const auto size = fs::file_size(file);
  TGIFImage empty;
  EXPECT_THROW(empty.SaveToFile(file), GIFException);
  EXPECT_EQ(fs::file_size(file), size);

  // A folder that cannot be written to: a clear error, the old file stays.
  if (geteuid() != 0) {
    fs::permissions(dir.path, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(image.SaveToFile(file), GIFException);
    fs::permissions(dir.path, fs::perms::owner_all);
  }
  EXPECT_THROW(image.SaveToFile((dir.path / "missing" / "x.gif").string()), GIFException);
  EXPECT_THROW(loaded.LoadFromFile((dir.path / "none.gif").string()), GIFException);
  // Nothing but the saved file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

TEST(GIFImage, ReportsProgressAroundLoadingAndSaving) {
  TGIFImage image;
  std::vector<std::pair<TProgressStage, std::string>> seen;
  image.OnProgress = [&](const void*, TProgressStage stage, int, bool, const std::string& m) { seen.emplace_back(stage, m); };
  image.LoadFromMemory(TwoFrames());
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen.front(), std::make_pair(TProgressStage::psStarting, std::string(texts::Loading)));
  EXPECT_EQ(seen.back(), std::make_pair(TProgressStage::psEnding, std::string(texts::Loading)));
  seen.clear();
  image.SaveToMemory();
  EXPECT_EQ(seen.front(), std::make_pair(TProgressStage::psStarting, std::string(texts::Saving)));
  EXPECT_EQ(seen[1], std::make_pair(TProgressStage::psRunning, std::string(texts::Saving)));
  EXPECT_EQ(seen.back(), std::make_pair(TProgressStage::psEnding, std::string(texts::Saving)));
}

TEST(GIFImage, AssignCopiesEverything) {
  TGIFImage source;
  source.LoadFromMemory(TwoFrames());
  source.SetDrawOptions(goAnimate);
  source.DitherMode = 3;
  TGIFImage copy;
  copy.Assign(source);
  EXPECT_EQ(copy.SaveToMemory(), source.SaveToMemory());
  EXPECT_EQ(copy.GetDrawOptions(), goAnimate);
  EXPECT_EQ(copy.DitherMode, 3);
  EXPECT_EQ(copy.Images().GetFrame(1)->GraphicControlExtension()->GetDelay(), 20);
  copy.Assign(copy);
  EXPECT_EQ(copy.Images().GetCount(), 2);
}

TEST(GIFImage, StillPictureAndDrawing) {
  TGIFImage image;
  EXPECT_EQ(image.GetBitmap(), nullptr);
  image.LoadFromMemory(TwoFrames());
  const Bitmap* still = image.GetBitmap();
  ASSERT_NE(still, nullptr);
  EXPECT_EQ(still->Width(), 3);
  EXPECT_EQ(still->PixelColor(1, 0), 0x0000FFu);
  Bitmap copy;
  image.AssignTo(copy);
  EXPECT_EQ(copy.PixelColor(2, 1), 0x0000FFu);

  Bitmap canvas(6, 4, PixelFormat::pf24bit);
  image.Draw(canvas, TRect{0, 0, 6, 4});
  EXPECT_EQ(canvas.PixelColor(3, 0), 0x0000FFu);  // frame 0's (1, 0) doubled
  EXPECT_EQ(canvas.PixelColor(0, 0), 0xFFFFFFu);

  // A screen of no size does not stop drawing: the frame spans the rect.
  image.Header().SetWidth(0);
  image.Header().SetHeight(0);
  Bitmap small(3, 2, PixelFormat::pf24bit);
  image.Draw(small, TRect{0, 0, 3, 2});
  EXPECT_EQ(small.PixelColor(1, 0), 0x0000FFu);

  // A single frame without a global table lends its table to the image.
  TGIFImage lone;
  lone.LoadFromMemory(Cat({Header(1, 1, {}), Image(0, 0, 1, 1, {1}, {0x000000, 0x123456}), Bytes{0x3B}}));
  lone.FlushRenderState();
  EXPECT_EQ(lone.GetGlobalColorMap().GetCount(), 2);
  EXPECT_EQ(lone.Images().GetFrame(0)->ColorMap().GetCount(), 0);
  EXPECT_EQ(lone.GetPalette().size(), 2u);
}

TEST(GIFImage, AddsBitmapsAsFrames) {
  TGIFImage image;
  image.ColorReduction = 0;
  Bitmap bitmap(2, 2, PixelFormat::pf24bit);
  bitmap.SetPixelColor(1, 1, 0x00FF00);
  EXPECT_EQ(image.Add(bitmap), 0);
  EXPECT_EQ(image.GetWidth(), 2);
  image.Assign(bitmap);
  ASSERT_EQ(image.Images().GetCount(), 1);
  EXPECT_EQ(image.Images().GetFrame(0)->ColorMap().GetColor(image.Images().GetFrame(0)->GetPixel(1, 1)), 0x00FF00u);
  TGIFImage again;
  again.LoadFromMemory(image.SaveToMemory());
  EXPECT_EQ(again.Images().GetFrame(0)->GetPixel(1, 1), image.Images().GetFrame(0)->GetPixel(1, 1));
}

}  // namespace
