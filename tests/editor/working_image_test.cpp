#include "editor/model/settings.h"
#include "editor/model/string_tables.h"
#include "editor/model/working_image.h"
#include "gif_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace movinta::editor {
namespace {

using gif::TGIFAppExtNSLoop;
using gif::TGIFGraphicControlExtension;
using testing::Delays;
using testing::MakeAnimation;

void PutLoop(gif::TGIFSubImage& frame, int stored) {
  auto* loop = new TGIFAppExtNSLoop(&frame);
  loop->SetLoops(static_cast<std::uint16_t>(stored));
  frame.Extensions().Add(loop);
}

int LoopBlocks(gif::TGIFImage& image) {
  int n = 0;
  for (int f = 0; f < image.Images().GetCount(); ++f)
    for (int e = 0; e < image.Images().GetFrame(f)->Extensions().GetCount(); ++e)
      n += dynamic_cast<TGIFAppExtNSLoop*>(image.Images().GetFrame(f)->Extensions().GetExtension(e)) ? 1 : 0;
  return n;
}

int GraphicControls(gif::TGIFSubImage& frame) {
  int n = 0;
  for (int e = 0; e < frame.Extensions().GetCount(); ++e)
    n += dynamic_cast<TGIFGraphicControlExtension*>(frame.Extensions().GetExtension(e)) ? 1 : 0;
  return n;
}

TEST(LoopCount, ReadsPlaysFromTheStoredRepeats) {
  struct Case {
    int stored;  // -1: no loop block
    int plays;
  };
  for (const Case c : {Case{-1, 1}, Case{0, 0}, Case{65535, 0}, Case{4, 5}, Case{1, 2}}) {
    auto image = MakeAnimation(2);
    if (c.stored >= 0) PutLoop(*image->Images().GetFrame(0), c.stored);
    EXPECT_EQ(GetLoopCount(*image), c.plays) << c.stored;
  }
}

TEST(LoopCount, SetLoopCountStoresRepeatsWithOrWithoutABlock) {
  for (bool hadBlock : {false, true}) {
    auto image = MakeAnimation(2);
    if (hadBlock) PutLoop(*image->Images().GetFrame(0), 9);
    EXPECT_EQ(SetLoopCount(*image, 5), hadBlock);
    ASSERT_NE(FindLoopExtension(*image->Images().GetFrame(0)), nullptr);
    EXPECT_EQ(FindLoopExtension(*image->Images().GetFrame(0))->GetLoops(), 4);
    EXPECT_EQ(LoopBlocks(*image), 1);
    EXPECT_FALSE(SetLoopCount(*image, 1));
    EXPECT_EQ(GetLoopCount(*image), 5);
  }
  auto image = MakeAnimation(1);
  SetLoopCount(*image, 0);
  EXPECT_EQ(GetLoopCount(*image), 0);
}

TEST(MoveFrame, KeepsTheLoopBlockOnTheNewFirstFrame) {
  auto image = MakeAnimation(4);
  PutLoop(*image->Images().GetFrame(0), 7);
  MoveFrameTo(*image, 0, 3);
  EXPECT_EQ(Delays(*image), (std::vector<int>{20, 30, 40, 10}));
  ASSERT_NE(FindLoopExtension(*image->Images().GetFrame(0)), nullptr);
  EXPECT_EQ(FindLoopExtension(*image->Images().GetFrame(0))->GetLoops(), 7);
  EXPECT_EQ(LoopBlocks(*image), 1);
  MoveFrameTo(*image, 3, 0);
  EXPECT_EQ(Delays(*image), (std::vector<int>{10, 20, 30, 40}));
  EXPECT_EQ(LoopBlocks(*image), 1);
}

TEST(PrepareForSave, DropsOnlyEmptyOrDuplicateControlsAndKeepsTheLoopCount) {
  testing::ScopedTmpDir tmp;
  auto image = MakeAnimation(4);
  auto& f0 = *image->Images().GetFrame(0);
  auto& f1 = *image->Images().GetFrame(1);
  auto& f2 = *image->Images().GetFrame(2);
  auto& f3 = *image->Images().GetFrame(3);
  f0.GraphicControlExtension()->SetDelay(0);  // carries nothing: goes
  f1.GraphicControlExtension()->SetDelay(0);  // delay 0 but transparent: stays
  f1.GraphicControlExtension()->SetTransparent(true);
  f1.GraphicControlExtension()->SetTransparentColorIndex(1);
  f1.GraphicControlExtension()->SetDisposal(1);
  auto* extra = new TGIFGraphicControlExtension(&f2);  // a duplicate: goes
  extra->SetDelay(99);
  f2.Extensions().Add(extra);
  f3.GraphicControlExtension()->SetDisposal(3);
  PutLoop(f2, 6);  // the user's count, on the wrong frame

  PrepareForSave(*image, false);
  EXPECT_EQ(GraphicControls(f0), 0);
  ASSERT_EQ(GraphicControls(f1), 1);
  EXPECT_TRUE(f1.Transparent());
  EXPECT_EQ(f1.GraphicControlExtension()->GetDisposal(), 1) << "a transparent full-screen frame keeps its disposal";
  ASSERT_EQ(GraphicControls(f2), 1);
  EXPECT_EQ(f2.GraphicControlExtension()->GetDelay(), 30);
  EXPECT_EQ(f3.GraphicControlExtension()->GetDisposal(), 3);
  EXPECT_EQ(LoopBlocks(*image), 1);
  EXPECT_EQ(GetLoopCount(*image), 7);

  const QString path = tmp.Path + QStringLiteral("/out.gif");
  testing::WriteAnimation(*image, path);
  auto back = ReadGifFile(path);
  ASSERT_TRUE(back);
  EXPECT_EQ(GetLoopCount(*back), 7);
  EXPECT_TRUE(back->Images().GetFrame(1)->Transparent());
  EXPECT_EQ(back->Images().GetFrame(1)->GraphicControlExtension()->GetTransparentColorIndex(), 1);
  EXPECT_EQ(back->Images().GetFrame(1)->GraphicControlExtension()->GetDisposal(), 1);
  EXPECT_EQ(back->Images().GetFrame(3)->GraphicControlExtension()->GetDisposal(), 3);
}

TEST(PrepareForSave, KeepsFrameZerosOwnLoopBlockAndFillsAnEmptyGlobalTable) {
  auto image = MakeAnimation(2);
  PutLoop(*image->Images().GetFrame(0), 2);
  PutLoop(*image->Images().GetFrame(1), 8);
  image->GetGlobalColorMap().Clear();
  PrepareForSave(*image, true);
  EXPECT_EQ(LoopBlocks(*image), 1);
  EXPECT_EQ(GetLoopCount(*image), 3);
  EXPECT_EQ(image->GetGlobalColorMap().GetCount(), 216);
}

TEST(SaveToFile, AFailedSaveLeavesTheUsersFileAsItWas) {
  testing::ScopedTmpDir tmp;
  testing::RecordingMessages messages;
  const QString path = tmp.Path + QStringLiteral("/mine.gif");
  auto original = MakeAnimation(2);
  testing::WriteAnimation(*original, path);
  const QByteArray before = testing::FileBytes(path);
  auto changed = MakeAnimation(5, 8, 8);
  {
    testing::ReadOnlyFolder readOnly(tmp.Path);
    EXPECT_FALSE(SaveGraphicToFile(*changed, path, true, true));
  }
  EXPECT_EQ(testing::FileBytes(path), before);
  EXPECT_EQ(QDir(tmp.Path).entryList(QDir::Files), QStringList{QStringLiteral("mine.gif")});
  ASSERT_EQ(messages.Shown.size(), 1u);
  EXPECT_EQ(messages.Shown[0].Text, QStringLiteral("Error saving file! Unable to save %1 to disk.").arg(path));

  // Without force, only a file that exists is written.
  EXPECT_FALSE(SaveGraphicToFile(*changed, tmp.Path + QStringLiteral("/absent.gif"), false, false));
  EXPECT_FALSE(QFile::exists(tmp.Path + QStringLiteral("/absent.gif")));
  EXPECT_TRUE(SaveGraphicToFile(*changed, path, true, false));
  EXPECT_EQ(Delays(*ReadGifFile(path)), (std::vector<int>{10, 20, 30, 40, 50}));
}

TEST(LoadGifFile, MissingOrCorruptFilesAreReportedAndLeaveTheImage) {
  testing::ScopedTmpDir tmp;
  testing::RecordingMessages messages;
  const QString corrupt = tmp.Path + QStringLiteral("/corrupt.gif");
  QFile f(corrupt);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("GIF89a\x04\x00");
  f.close();
  auto image = MakeAnimation(3);
  for (const QString& name : {corrupt, tmp.Path + QStringLiteral("/missing.gif")}) {
    EXPECT_FALSE(LoadGifFile(*image, name));
    EXPECT_TRUE(messages.Saw(QStringLiteral("Error loading %1! GIF Movinta does not support").arg(name)));
    EXPECT_EQ(image->Images().GetCount(), 3);
  }
  EXPECT_FALSE(IsAnimationFile(corrupt));
}

TEST(FrameHelpers, TimesSizesColoursAndRemovableColours) {
  auto image = MakeAnimation(3);
  EXPECT_EQ(GetRunningTime(*image), 60);
  EXPECT_TRUE(HasSeveralFrames(*image));
  EXPECT_GT(GetEncodedSize(*image), 13u);
  EXPECT_EQ(GetBottomLeftColor(*image->Images().GetFrame(1)), 0xFFFFFFu);
  EXPECT_EQ(GetBottomLeftColor(*image->Images().GetFrame(2)), 0x0000FFu);
  EXPECT_EQ(GetFrameDelay(*image, 7), 0);

  testing::UseAsWorkingImage(MakeAnimation(3));
  TCmdColorMap map;
  map.Assign(SharedImage()->GetGlobalColorMap());
  EXPECT_FALSE(map.CanRemoveColor(0, -1));  // frame 0 uses index 0
  EXPECT_FALSE(map.CanRemoveColor(2, -1)) << "every frame on the global table counts, not only the first";
  EXPECT_TRUE(map.CanRemoveColor(3, -1));
  map.Add(0x0000FF);
  EXPECT_TRUE(map.CanRemoveColor(2, -1)) << "another entry holds the same colour";
  EXPECT_TRUE(map.CanRemoveColor(1, 0));
  EXPECT_FALSE(map.CanRemoveColor(1, 1));
  SharedImage(1);
}

TEST(FrameHelpers, ApplyStandardPaletteMergesEveryTableIntoOneGlobalTable) {
  testing::RecordingMessages messages;
  auto image = MakeAnimation(3);
  // A fourth frame with a table of its own, showing a green no global pixel uses.
  auto* local = new gif::TGIFSubImage(image.get());
  local->ColorMap().Add(0x00FF00);
  local->ColorMap().Add(0x000000);
  local->SetBounds(0, 0, 4, 3);
  image->Add(local);
  std::vector<gif::TColor> shown;
  for (int i = 0; i < image->Images().GetCount(); ++i) {
    gif::TGIFSubImage* f = image->Images().GetFrame(i);
    shown.push_back(f->GetActiveColorMap().GetColor(f->Data()[0]));
  }
  EXPECT_TRUE(ApplyStandardPalette(*image));
  EXPECT_TRUE(messages.Shown.empty());
  EXPECT_EQ(image->GetGlobalColorMap().GetCount(), 4);
  for (int i = 0; i < image->Images().GetCount(); ++i) {
    gif::TGIFSubImage* f = image->Images().GetFrame(i);
    EXPECT_EQ(f->ColorMap().GetCount(), 0);
    EXPECT_EQ(image->GetGlobalColorMap().GetColor(f->Data()[0]), shown[static_cast<std::size_t>(i)]) << i;
  }
}

TEST(FrameHelpers, PaletteDefaultsComeFromTheSettingsStore) {
  testing::ScopedSettingsDir settings;
  struct Case {
    int type, maxColors, dither;
    bool result;
    int method, bits, mode;
  };
  for (const Case c : {Case{0, 256, 0, true, 7, 8, 0}, Case{2, 16, 1, false, 7, 4, 1}, Case{1, 32, 5, true, 6, 8, 3},
                       Case{3, 64, 0, false, 6, 5, 0}}) {
    {
      SettingsStore store;
      store.writeInt(QStringLiteral("Settings"), QStringLiteral("PaletteType"), c.type);
      store.writeInt(QStringLiteral("Settings"), QStringLiteral("MaxColorCount"), c.maxColors);
      store.writeInt(QStringLiteral("Settings"), QStringLiteral("DitherMethod"), c.dither);
    }
    gif::TGIFImage image;
    image.ColorReduction = 6;
    image.SetColorReductionBits(5);
    image.DitherMode = 3;
    EXPECT_EQ(ApplyPaletteDefaults(image), c.result) << c.type;
    EXPECT_EQ(image.ColorReduction, c.method) << c.type;
    EXPECT_EQ(image.GetColorReductionBits(), c.bits) << c.type;
    EXPECT_EQ(image.DitherMode, c.mode) << c.type;
  }
}

}  // namespace
}  // namespace movinta::editor

namespace movinta::editor {
namespace {

TEST(FitImageAndBitmap, CutsFramesToTheBitmapKeepingTheirExtensionsOrCropsTheBitmap) {
  auto image = MakeAnimation(2);
  gif::TGIFSubImage& f1 = *image->Images().GetFrame(1);
  f1.SetBounds(2, 1, 4, 3);  // widens the screen to 6 x 4
  std::fill_n(f1.Data(), f1.DataSize(), std::uint8_t{3});
  ASSERT_EQ(image->GetWidth(), 6);
  gif::Bitmap bitmap(5, 3, gif::PixelFormat::pf24bit);
  FitImageAndBitmap(*image, bitmap, 0);
  EXPECT_EQ(image->GetWidth(), 5);
  EXPECT_EQ(image->GetHeight(), 3);
  EXPECT_EQ(image->Images().GetFrame(0)->GetWidth(), 4);
  EXPECT_EQ(f1.GetWidth(), 3);
  EXPECT_EQ(f1.GetHeight(), 2);
  EXPECT_EQ(f1.GetPixel(2, 1), 3);
  EXPECT_EQ(GetFrameDelay(*image, 1), 20);

  gif::Bitmap big(8, 8, gif::PixelFormat::pf8bit);
  big.SetPixelIndex(4, 2, 9);
  big.SetPixelIndex(1, 1, 7);
  FitImageAndBitmap(*image, big, 1);
  EXPECT_EQ(big.Width(), 5);
  EXPECT_EQ(big.Height(), 3);
  EXPECT_EQ(big.PixelIndex(4, 2), 9);
  EXPECT_EQ(big.PixelIndex(1, 1), 7);
}

}  // namespace
}  // namespace movinta::editor
