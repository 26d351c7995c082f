#include "editor/forms/inspector_logic.h"
#include "editor/forms/palette_logic.h"
#include "forms_fixture.h"

namespace movinta::editor::forms {
namespace {

using testing::ShownColors;

TEST(SwatchHitTest, AcceptsOnlyTheSixteenColumnsAndEntriesInUse) {
  struct Case {
    int x, y, count, index;
  } cases[] = {
      {2, 3, 256, -1},   {3, 3, 256, 0},   {17, 3, 256, 0},   {18, 3, 256, 1},  {242, 3, 256, 15},
      {243, 3, 256, -1}, {3, 18, 256, 16}, {242, 242, 256, 255}, {3, 243, 256, -1}, {18, 3, 1, -1},
      {3, 2, 256, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(SwatchIndexAt(c.x, c.y, c.count), c.index) << c.x << "," << c.y;
  EXPECT_EQ(SwatchPosition(17), QPoint(16, 16));
  EXPECT_EQ(SwatchPosition(-1), QPoint(-1, -1));
}

class PaletteSessionTest : public testing::DocumentFixture {
protected:
  gif::TGIFImage& Build() { return Use(testing::MakeTwinBlackAnimation()); }
};

TEST_F(PaletteSessionTest, DeletesUnusedAndRepeatedEntriesAndKeepsEveryPixelsColour) {
  gif::TGIFImage& image = Build();
  const auto before0 = ShownColors(image, 0), before1 = ShownColors(image, 1);
  PaletteEditSession session(&image, -1);
  EXPECT_FALSE(session.CanDelete(1));  // white is drawn and has no twin
  EXPECT_TRUE(session.CanDelete(2));
  EXPECT_TRUE(session.Delete(2));
  EXPECT_TRUE(session.CanDelete(2));  // the second black, now at 2
  EXPECT_TRUE(session.Delete(2));
  EXPECT_FALSE(session.Delete(0));    // the last black is now required
  ASSERT_EQ(session.Count(), 2);

  ApplyGlobalPaletteEdit(*doc_, image, session, QStringLiteral("Change Global Palette"));
  EXPECT_EQ(image.GetGlobalColorMap().GetCount(), 2);
  EXPECT_EQ(ShownColors(image, 0), before0);
  EXPECT_EQ(ShownColors(image, 1), before1);
  EXPECT_EQ(doc_->History.Last()->ClassNameText(), QStringLiteral("TActiveAnimation"));

  doc_->Undo();
  gif::TGIFImage& undone = *SharedImage();
  EXPECT_EQ(undone.GetGlobalColorMap().GetCount(), 4);
  EXPECT_EQ(undone.Images().GetFrame(0)->Data()[2], 3);
}

TEST_F(PaletteSessionTest, DeletionsWhoseSnapshotCannotBeWrittenChangeNothing) {
  gif::TGIFImage& image = Build();
  // Frame 0 with a local copy of the table: entry 2 is unused there too.
  image.Images().GetFrame(0)->ColorMap().Assign(image.GetGlobalColorMap());
  const std::vector<std::uint8_t> before = image.SaveToMemory();
  PaletteEditSession session(&image, -1);
  ASSERT_TRUE(session.Delete(2));
  tmp_.MakeUnusable();

  EXPECT_FALSE(ApplyGlobalPaletteEdit(*doc_, image, session, QStringLiteral("Change Global Palette")));
  ASSERT_EQ(messages_.Shown.size(), 1u);
  EXPECT_EQ(messages_.Shown[0].Type, MessageType::Error);

  const InspectorEdit edit = DeleteLocalColor(*doc_, image, 0, 2);
  EXPECT_EQ(edit.Outcome, EditOutcome::Refused);
  EXPECT_FALSE(edit.Message.isEmpty());

  EXPECT_EQ(image.SaveToMemory(), before);
  EXPECT_EQ(doc_->History.Count(), 0);
}

TEST_F(PaletteSessionTest, ColourChangesAloneAreATableUndo) {
  gif::TGIFImage& image = Build();
  PaletteEditSession session(&image, -1);
  session.SetColor(1, 0x00FF00);
  ASSERT_TRUE(session.AddColor(0x123456));
  EXPECT_TRUE(session.CanDelete(4));  // added here, nothing uses it
  ApplyGlobalPaletteEdit(*doc_, image, session, QStringLiteral("Change Global Palette"));
  EXPECT_EQ(doc_->History.Last()->ClassNameText(), QStringLiteral("TCommandPalette"));
  EXPECT_EQ(image.GetGlobalColorMap().GetColor(1), 0x00FF00u);
  EXPECT_EQ(image.GetGlobalColorMap().GetCount(), 5);
}

}  // namespace
}  // namespace movinta::editor::forms
