#include "editor/model/history.h"
#include "gif_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace movinta::editor {
namespace {

using gif::TGIFAppExtNSLoop;
using gif::TGIFCommentExtension;
using gif::TGIFGraphicControlExtension;
using testing::Delays;
using testing::MakeAnimation;

class HistoryTest : public ::testing::Test {
protected:
  void SetUp() override { testing::UseAsWorkingImage(MakeAnimation(3)); }
  void TearDown() override { SharedImage(1); }
  gif::TGIFSubImage& Frame(int i) { return *SharedImage()->Images().GetFrame(i); }
  testing::ScopedTmpDir tmp_;
};

TEST_F(HistoryTest, HoldsLimitPlusOneAndFreesTheOldestWithItsFile) {
  THistoryList history;
  EXPECT_EQ(history.LastFrameIndex(), -1);
  EXPECT_TRUE(history.LastCaption().isEmpty());
  for (int i = 0; i < 52; ++i)
    history.AddByKind(TUndoKind::Animation, TUndoOperation::Added, -1, -1, -1, QStringLiteral("Edit %1").arg(i));
  EXPECT_EQ(history.Count(), 51);
  EXPECT_EQ(history.Item(0)->Caption, QStringLiteral("Edit 1"));
  EXPECT_EQ(history.Trimmed(), 1);
  EXPECT_EQ(tmp_.Files().size(), 51);

  // A lowered limit trims the excess at the next addition.
  history.SetLimit(5);
  history.AddByKind(TUndoKind::Animation, TUndoOperation::Added, -1, -1, -1, QStringLiteral("Last"));
  EXPECT_EQ(history.Count(), 6);
  EXPECT_EQ(tmp_.Files().size(), 6);
  history.Clear();
  EXPECT_EQ(history.Trimmed(), 0);
  EXPECT_TRUE(tmp_.Files().isEmpty());
}

TEST_F(HistoryTest, UnknownKindsAddNothing) {
  THistoryList history;
  for (int kind : {0, 6, 8, 255})
    history.AddByKind(static_cast<TUndoKind>(kind), TUndoOperation::Added, 0, 0, 0, QStringLiteral("x"));
  EXPECT_EQ(history.Count(), 0);
}

TEST_F(HistoryTest, OperationZeroRaisesAndTheCommandStays) {
  THistoryList history;
  history.AddByKind(TUndoKind::GraphicControl, TUndoOperation::None, -1, -1, 0, QStringLiteral("Delay"));
  try {
    history.UndoLast();
    FAIL() << "expected ECommandError";
  } catch (const ECommandError& e) {
    EXPECT_EQ(e.Message(), QStringLiteral("Unknown Action Type from TGCExt!"));
  }
  EXPECT_EQ(history.Count(), 1);
}

TEST_F(HistoryTest, GraphicControlUndoRemovesAddsAndRewrites) {
  THistoryList history;
  // Operation 1: the edit adds an extension to a frame that had none.
  delete Frame(0).GraphicControlExtension();
  history.AddByKind(TUndoKind::GraphicControl, TUndoOperation::Added, -1, -1, 0, QStringLiteral("Add Delay"));
  SetFrameDelay(Frame(0), 55);
  history.UndoLast();
  EXPECT_EQ(Frame(0).GraphicControlExtension(), nullptr);

  // Operation 2: the edit removes one; it comes back with all its values.
  TGIFGraphicControlExtension* gce = Frame(1).GraphicControlExtension();
  gce->SetDisposal(2);
  gce->SetTransparent(true);
  gce->SetTransparentColorIndex(3);
  gce->SetUserInput(true);
  history.AddByKind(TUndoKind::GraphicControl, TUndoOperation::Removed, -1, -1, 1,
                    QStringLiteral("Remove Transparent"));
  delete gce;
  EXPECT_FALSE(Frame(1).Transparent());
  history.UndoLast();
  gce = Frame(1).GraphicControlExtension();
  ASSERT_NE(gce, nullptr);
  EXPECT_EQ(gce->GetDelay(), 20);
  EXPECT_EQ(gce->GetDisposal(), 2);
  EXPECT_TRUE(gce->GetTransparent());
  EXPECT_TRUE(Frame(1).Transparent());
  EXPECT_EQ(gce->GetTransparentColorIndex(), 3);
  EXPECT_TRUE(gce->GetUserInput());

  // Operation 3: values are written back into the existing extension.
  history.AddByKind(TUndoKind::GraphicControl, TUndoOperation::Changed, -1, -1, 1, QStringLiteral("Change Delay"));
  gce->SetDelay(1);
  gce->SetTransparent(false);
  history.UndoLast();
  EXPECT_EQ(gce->GetDelay(), 20);
  EXPECT_TRUE(gce->GetTransparent());
  EXPECT_EQ(history.Count(), 0);
}

TEST_F(HistoryTest, LoopUndoReturnsToTheRecordedBlockOrToNone) {
  struct Case {
    int storedBefore;  // -1: no block
    TUndoOperation operation;
    int storedAfterEdit;  // -1: the edit deletes the block
    int expected;         // -1: no block after undo
  };
  constexpr auto kAdded = TUndoOperation::Added, kRemoved = TUndoOperation::Removed, kChanged = TUndoOperation::Changed;
  for (const Case c : {Case{-1, kChanged, 4, -1}, Case{1, kChanged, 4, 1}, Case{0, kRemoved, -1, 0},
                       Case{5, kChanged, 0, 5}, Case{-1, kAdded, 2, -1}}) {
    testing::UseAsWorkingImage(MakeAnimation(2));
    if (c.storedBefore >= 0) AddLoopExtension(*SharedImage(), 0, c.storedBefore == 0 ? 0 : c.storedBefore + 1);
    THistoryList history;
    history.AddByKind(TUndoKind::Loop, c.operation, -1, 0, 0, QStringLiteral("Loop"));
    if (c.storedAfterEdit < 0)
      delete FindLoopExtension(Frame(0));
    else
      SetLoopCount(*SharedImage(), c.storedAfterEdit == 0 ? 0 : c.storedAfterEdit + 1);
    history.UndoLast();
    TGIFAppExtNSLoop* loop = FindLoopExtension(Frame(0));
    if (c.expected < 0) {
      EXPECT_EQ(loop, nullptr) << c.storedBefore << "/" << int(c.operation);
    } else {
      ASSERT_NE(loop, nullptr) << c.storedBefore << "/" << int(c.operation);
      EXPECT_EQ(loop->GetLoops(), c.expected);
    }
  }
}

TEST_F(HistoryTest, PaletteUndoOfALocalTableLeavesAFilledTableAlone) {
  for (TUndoOperation op : {TUndoOperation::Removed, TUndoOperation::Changed}) {
    testing::UseAsWorkingImage(MakeAnimation(2));
    Frame(1).ColorMap().Add(0x123456);
    THistoryList history;
    history.AddByKind(TUndoKind::Palette, op, -1, 0, 1, QStringLiteral("Local Palette"));
    Frame(1).ColorMap().Add(0x654321);
    history.UndoLast();
    EXPECT_EQ(Frame(1).ColorMap().GetCount(), 2) << int(op);
    Frame(1).ColorMap().Clear();
    history.AddByKind(TUndoKind::Palette, op, -1, 0, 1, QStringLiteral("Local Palette"));
    Frame(1).ColorMap().Clear();
    history.UndoLast();
    EXPECT_EQ(Frame(1).ColorMap().GetCount(), 0) << int(op);
  }
  // The global table is put back whatever it holds.
  THistoryList history;
  history.AddByKind(TUndoKind::Palette, TUndoOperation::Changed, -1, 0, -1, QStringLiteral("Change Global Palette"));
  SharedImage()->GetGlobalColorMap().SetColor(0, 0xABCDEF);
  SharedImage()->GetGlobalColorMap().Add(0x010101);
  history.UndoLast();
  EXPECT_EQ(SharedImage()->GetGlobalColorMap().GetCount(), 4);
  EXPECT_EQ(SharedImage()->GetGlobalColorMap().GetColor(0), 0x000000u);
}

TEST_F(HistoryTest, PaletteColourOperations) {
  THistoryList history;
  gif::TGIFColorMap& global = SharedImage()->GetGlobalColorMap();
  EXPECT_THROW(
      history.AddByKind(TUndoKind::Palette, TUndoOperation::ColorRemoved, -1, 0, -1, QStringLiteral("Delete Color")),
      ECommandError);
  history.AddByKind(TUndoKind::Palette, TUndoOperation::ColorRemoved, 2, 0, -1, QStringLiteral("Delete Color"));
  global.Delete(2);
  history.UndoLast();
  EXPECT_EQ(global.GetCount(), 4);
  EXPECT_EQ(global.GetColor(3), 0x0000FFu) << "the deleted colour returns at the end";
  history.AddByKind(TUndoKind::Palette, TUndoOperation::ColorAdded, -1, 0, -1, QStringLiteral("Add Color"));
  global.Add(0x777777);
  history.UndoLast();
  EXPECT_EQ(global.GetCount(), 4);
  history.AddByKind(TUndoKind::Palette, TUndoOperation::ColorChanged, 1, 0xFFFFFF, -1, QStringLiteral("Change Color"));
  global.SetColor(1, 0x101010);
  history.UndoLast();
  EXPECT_EQ(global.GetColor(1), 0xFFFFFFu);
}

TEST_F(HistoryTest, DeletedFrameReturnsAndAFailedReturnRaisesAndStays) {
  THistoryList history;
  history.AddByKind(TUndoKind::Frame, TUndoOperation::Removed, -1, -1, 1, QStringLiteral("Delete Frame"));
  auto* frame = dynamic_cast<TFrame*>(history.Last());
  ASSERT_NE(frame, nullptr);
  const QString snapshot = frame->TempFileName;
  EXPECT_TRUE(QFile::exists(snapshot));
  ASSERT_TRUE(DeleteFrameAt(*SharedImage(), 1));
  history.UndoLast();
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{10, 20, 30}));
  EXPECT_FALSE(QFile::exists(snapshot)) << "the snapshot goes with its command";

  history.AddByKind(TUndoKind::Frame, TUndoOperation::Removed, -1, -1, 0, QStringLiteral("Delete Frame"));
  ASSERT_TRUE(DeleteFrameAt(*SharedImage(), 0));
  QFile::remove(dynamic_cast<TFrame*>(history.Last())->TempFileName);
  EXPECT_THROW(history.UndoLast(), ECommandError);
  EXPECT_EQ(history.Count(), 1);
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{20, 30}));

  EXPECT_THROW(history.AddByKind(TUndoKind::Frame, TUndoOperation::Changed, -1, -1, 9, QStringLiteral("Width")),
               ECommandError);
}

TEST_F(HistoryTest, FrameMoveAndGeometryUndo) {
  THistoryList history;
  history.AddByKind(TUndoKind::Frame, TUndoOperation::Moved, -1, 2, 0, QStringLiteral("Move Frame"));
  MoveFrameTo(*SharedImage(), 0, 2);
  history.UndoLast();
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{10, 20, 30}));

  history.AddByKind(TUndoKind::Frame, TUndoOperation::Changed, -1, -1, 1, QStringLiteral("X-Offset"));
  Frame(1).SetLeft(3);  // widens the screen to 7
  Frame(1).SetInterlaced(true);
  history.UndoLast();
  EXPECT_EQ(Frame(1).GetLeft(), 0);
  EXPECT_FALSE(Frame(1).GetInterlaced());
  EXPECT_EQ(SharedImage()->GetWidth(), 4);
}

TEST_F(HistoryTest, CommentUndo) {
  THistoryList history;
  history.AddByKind(TUndoKind::Comment, TUndoOperation::Added, -1, 0, 0, QStringLiteral("Add Comment"));
  EXPECT_THROW(history.UndoLast(), ECommandError) << "index 0 is the graphic control, not a comment";
  history.Clear();

  AddCommentExtension(Frame(0), QStringLiteral("first line\nsecond"));
  const int index = Frame(0).Extensions().GetCount() - 1;
  history.AddByKind(TUndoKind::Comment, TUndoOperation::Changed, -1, index, 0, QStringLiteral("Edit Comment"));
  auto* comment = dynamic_cast<TGIFCommentExtension*>(Frame(0).Extensions().GetExtension(index));
  comment->Text() = {"changed"};
  history.UndoLast();
  EXPECT_EQ(comment->Text(), (gif::TStrings{"first line", "second"}));

  history.AddByKind(TUndoKind::Comment, TUndoOperation::Removed, -1, index, 0, QStringLiteral("Delete Comment"));
  delete comment;
  history.UndoLast();
  auto* back = dynamic_cast<TGIFCommentExtension*>(Frame(0).Extensions().GetExtension(index));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Text(), (gif::TStrings{"first line", "second"}));
}

TEST_F(HistoryTest, WholeAnimationSnapshotRestoresEverything) {
  THistoryList history;
  history.AddByKind(TUndoKind::Animation, TUndoOperation::Added, -1, -1, -1, QStringLiteral("Resize"));
  DeleteFrameAt(*SharedImage(), 0);
  SetFrameDelay(Frame(0), 99);
  history.UndoLast();
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{10, 20, 30}));
  EXPECT_TRUE(tmp_.Files().isEmpty());

  tmp_.MakeUnusable();
  EXPECT_THROW(history.AddByKind(TUndoKind::Animation, TUndoOperation::Added, -1, -1, -1, QStringLiteral("Resize")),
               ECommandError);
  EXPECT_EQ(history.Count(), 0);
}

TEST_F(HistoryTest, WholeAnimationUndoGivesEveryTableItsOwnLength) {
  // Lengths a GIF file cannot hold as they are: it pads each table to a power of two.
  const std::vector<int> lengths = {3, 1, 5, 0};  // global, then frames 0-2
  gif::TGIFImage& image = *SharedImage();
  image.GetGlobalColorMap().Delete(3);
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < lengths[static_cast<std::size_t>(i) + 1]; ++k)
      Frame(i).ColorMap().Add(static_cast<gif::TColor>(0x102030 * (k + 1) + i));
  auto tables = [](gif::TGIFImage& im) {
    std::vector<std::vector<gif::TColor>> out;
    out.push_back({});
    for (int k = 0; k < im.GetGlobalColorMap().GetCount(); ++k)
      out.back().push_back(im.GetGlobalColorMap().GetColor(k));
    for (int i = 0; i < im.Images().GetCount(); ++i) {
      gif::TGIFColorMap& map = im.Images().GetFrame(i)->ColorMap();
      out.push_back({});
      for (int k = 0; k < map.GetCount(); ++k) out.back().push_back(map.GetColor(k));
    }
    return out;
  };
  const auto before = tables(image);
  THistoryList history;
  history.AddByKind(TUndoKind::Animation, TUndoOperation::Replaced, -1, -1, 0, QStringLiteral("Delete Color"));
  image.GetGlobalColorMap().Add(0x777777);
  Frame(1).ColorMap().Delete(4);
  Frame(2).ColorMap().Add(0x010101);
  history.UndoLast();
  const auto after = tables(*SharedImage());
  EXPECT_EQ(after, before);
  for (std::size_t t = 0; t < after.size(); ++t) EXPECT_EQ(static_cast<int>(after[t].size()), lengths[t]) << t;
}

}  // namespace
}  // namespace movinta::editor
