#include "editor/forms/inspector_logic.h"
#include "editor/forms/palette_logic.h"
#include "forms_fixture.h"

#include <QTemporaryDir>

namespace movinta::editor::forms {
namespace {

using testing::MakeAnimation;
using testing::SetPixels;
using testing::ShownColors;

TEST(InspectorValues, AreCheckedAndNormalisedByRow) {
  struct Case {
    int row;
    const char* text;
    bool ok;
    const char* value;    // stored text when ok
    const char* message;  // start of the message when refused
  } cases[] = {
      {rowInterlaced, "true", true, "Yes", ""},
      {rowTransparent, "FALSE", true, "No", ""},
      {rowLocalPalette, "yes", true, "Yes", ""},
      {rowInterlaced, "maybe", false, "", "Accepted values for this field are: Yes, No or True or False."},
      {rowDisposal, "background", true, "Background", ""},
      {rowDisposal, "don't remove", true, "Don't Remove", ""},
      {rowDisposal, "Restore", false, "", "Accepted values for this field are: None, Don't Remove, Background, Previous"},
      {rowDelay, " 1 2 ", true, "12", ""},
      {rowDelay, "65535", true, "65535", ""},
      {rowDelay, "65536", false, "", "Accepted values for this field are: 0 to 65535."},
      {rowDelay, "99999999999999999999", false, "", "Accepted values for this field are: 0 to 65535."},
      {rowDelay, "-3", false, "", "This field requires a number value."},
      {rowLeft, "abc", false, "", "This field requires a number value."},
      {rowLeft, "65525", true, "65525", ""},   // frame 10 wide
      {rowLeft, "65526", false, "", "Accepted values for this field are: 0 to 65525."},
      {rowTop, "65516", false, "", "Accepted values for this field are: 0 to 65515."},  // 20 high
  };
  for (const Case& c : cases) {
    const ValueCheck v = CheckInspectorValue(c.row, QString::fromUtf8(c.text), 10, 20);
    EXPECT_EQ(v.Ok, c.ok) << c.text;
    if (c.ok)
      EXPECT_EQ(v.Value, QString::fromUtf8(c.value)) << c.text;
    else
      EXPECT_EQ(v.Message, QString::fromUtf8(c.message)) << c.text;
  }
}

TEST(InspectorValues, UndoCaptionsAndKinds) {
  struct Case {
    int row;
    const char* value;
    const char* caption;
    TUndoKind kind;
    TUndoOperation operation;
  };
  constexpr auto kFrame = TUndoKind::Frame, kControl = TUndoKind::GraphicControl, kPalette = TUndoKind::Palette;
  constexpr auto kAdded = TUndoOperation::Added, kRemoved = TUndoOperation::Removed, kChanged = TUndoOperation::Changed;
  const Case cases[] = {
      {rowLeft, "3", "Change X-Offset", kFrame, kChanged},
      {rowTop, "3", "Change Y-Offset", kFrame, kChanged},
      {rowInterlaced, "Yes", "Interlaced", kFrame, kChanged},
      {rowInterlaced, "No", "Non-Interlaced", kFrame, kChanged},
      {rowTransparent, "Yes", "Make Transparent", kControl, kChanged},
      {rowTransparent, "No", "Remove Transparency", kControl, kChanged},
      {rowLocalPalette, "Yes", "Add Local Palette", kPalette, kAdded},
      {rowLocalPalette, "No", "Remove Local Palette", kPalette, kRemoved},
      {rowDelay, "5", "Change Delay", kControl, kChanged},
      {rowDisposal, "None", "Change Disposal", kControl, kChanged},
  };
  for (const Case& c : cases) {
    const QString v = QString::fromUtf8(c.value);
    EXPECT_EQ(InspectorUndoCaption(c.row, v), QString::fromUtf8(c.caption));
    const UndoKind k = InspectorUndoKind(c.row, v);
    EXPECT_EQ(k.Kind, c.kind) << c.caption;
    EXPECT_EQ(k.Operation, c.operation) << c.caption;
  }
}

TEST(InspectorLayout, PaletteGridAndDropDownAndRows) {
  struct Case {
    int count, rows, columns;
  } cases[] = {{10, 3, 4}, {256, 16, 16}, {2, 1, 2}, {0, 1, 1}, {1, 1, 1}, {17, 4, 5}};
  for (const Case& c : cases) {
    const PaletteGridLayout l = LayoutPaletteGrid(c.count, 160, 120);
    EXPECT_EQ(l.Rows, c.rows) << c.count;
    EXPECT_EQ(l.Columns, c.columns) << c.count;
    EXPECT_EQ(l.ColumnWidth, 160 / c.columns);
    EXPECT_EQ(l.RowHeight, 120 / c.rows);
  }
  const PaletteGridLayout ten = LayoutPaletteGrid(10, 160, 120);
  EXPECT_EQ(PaletteCellIndex(ten, 1, 2, 10), 9);
  EXPECT_EQ(PaletteCellIndex(ten, 2, 2, 10), -1);  // beyond the table

  // Two items of 18 pixels: 38 high; it opens below unless that runs past the grid.
  EXPECT_EQ(PlaceDropDown(100, 50, 90, 18, 2, 300), QRect(101, 42, 91, 38));
  EXPECT_EQ(PlaceDropDown(100, 298, 90, 18, 2, 300), QRect(101, 298, 91, 38).translated(0, -8));
  EXPECT_EQ(PlaceDropDown(100, 299, 90, 18, 2, 300), QRect(101, 299 - 38 - 18 - 8, 91, 38));

  EXPECT_EQ(SelectableRow(0), 1);
  EXPECT_EQ(SelectableRow(5), 6);
  EXPECT_EQ(SelectableRow(9), 10);
  EXPECT_EQ(SelectableRow(3), 3);
  EXPECT_EQ(DropDownItems(rowDisposal).size(), 4);
  EXPECT_TRUE(DropDownItems(rowDelay).isEmpty());
  EXPECT_EQ(ColorLabelText(16, 0x030201), QStringLiteral("16 Colors - R: 1, G: 2, B: 3"));
}

TEST(InspectorPlacement, DefaultsBesideTheMainWindowAndRoundTrips) {
  QTemporaryDir dir;
  SettingsStore store(dir.filePath(QStringLiteral("s.ini")));
  EXPECT_EQ(LoadInspectorPlacement(store, QRect(100, 40, 800, 600)), QRect(100 + 800 - 220 + 10, 90, 220, 430));
  SaveInspectorPlacement(store, QRect(5, 6, 200, 400), false);
  EXPECT_EQ(LoadInspectorPlacement(store, QRect(100, 40, 800, 600)), QRect(5, 6, 200, 400));
  EXPECT_EQ(store.readInt(QStringLiteral("FormPos\\Inspector"), QStringLiteral("Visible"), 1), 0);
}

class InspectorEditTest : public testing::DocumentFixture {};

TEST_F(InspectorEditTest, EditsRecordOneUndoEachAndSameValuesNone) {
  gif::TGIFImage& image = Use(MakeAnimation(2, 4, 3));
  struct Step {
    int row;
    const char* value;
  } steps[] = {{rowLeft, "7"}, {rowTop, "2"}, {rowInterlaced, "Yes"}, {rowTransparent, "Yes"},
               {rowDelay, "55"}, {rowDisposal, "Previous"}};
  for (const Step& s : steps) {
    const int before = doc_->History.Count();
    EXPECT_EQ(ApplyInspectorValue(*doc_, image, 1, s.row, QString::fromUtf8(s.value)).Outcome, EditOutcome::Applied);
    EXPECT_EQ(doc_->History.Count(), before + 1);
    EXPECT_EQ(InspectorValueText(*image.Images().GetFrame(1), s.row), QString::fromUtf8(s.value));
    // The same value again changes nothing and records nothing.
    EXPECT_EQ(ApplyInspectorValue(*doc_, image, 1, s.row, QString::fromUtf8(s.value)).Outcome, EditOutcome::Unchanged);
    EXPECT_EQ(doc_->History.Count(), before + 1);
  }
  EXPECT_EQ(ApplyInspectorValue(*doc_, image, 1, rowHeight, QStringLiteral("9")).Outcome, EditOutcome::Unchanged);
  for (int i = 0; i < 6; ++i) doc_->Undo();
  gif::TGIFSubImage& f = *SharedImage()->Images().GetFrame(1);
  EXPECT_EQ(f.GetLeft(), 0);
  EXPECT_EQ(f.GetTop(), 0);
  EXPECT_FALSE(f.GetInterlaced());
  EXPECT_FALSE(f.Transparent());
  EXPECT_EQ(f.GraphicControlExtension()->GetDelay(), 20);
}

TEST_F(InspectorEditTest, LocalPaletteOnKeepsColoursAndOffRemapsOrRefuses) {
  gif::TGIFImage& image = Use(MakeAnimation(1, 2, 2));
  gif::TGIFSubImage& frame = *image.Images().GetFrame(0);
  SetPixels(frame, {0, 1, 2, 3});
  const auto shown = ShownColors(image, 0);

  const InspectorEdit on = ApplyInspectorValue(*doc_, image, 0, rowLocalPalette, QStringLiteral("Yes"));
  EXPECT_EQ(on.Outcome, EditOutcome::Applied);
  EXPECT_TRUE(on.ReloadNeeded);
  EXPECT_EQ(frame.ColorMap().GetCount(), 4);
  EXPECT_EQ(ShownColors(image, 0), shown);

  // Reordered local table: turning it off moves the pixels to the global positions.
  frame.ColorMap().Clear();
  for (gif::TColor c : {0x00FF00u, 0x0000FFu, 0xFFFFFFu, 0x000000u}) frame.ColorMap().Add(c);
  const auto reordered = ShownColors(image, 0);
  EXPECT_EQ(ApplyInspectorValue(*doc_, image, 0, rowLocalPalette, QStringLiteral("No")).Outcome, EditOutcome::Applied);
  EXPECT_EQ(frame.ColorMap().GetCount(), 0);
  EXPECT_EQ(ShownColors(image, 0), reordered);
  EXPECT_EQ(doc_->History.Last()->ClassNameText(), QStringLiteral("TActiveAnimation"));
  doc_->Undo();
  EXPECT_EQ(ShownColors(*SharedImage(), 0), reordered);
  EXPECT_EQ(SharedImage()->Images().GetFrame(0)->ColorMap().GetCount(), 4);

  // A colour the global table lacks: refused, nothing recorded.
  gif::TGIFSubImage& again = *SharedImage()->Images().GetFrame(0);
  again.ColorMap().SetColor(0, 0x123456);
  const int count = doc_->History.Count();
  const InspectorEdit off = ApplyInspectorValue(*doc_, *SharedImage(), 0, rowLocalPalette, QStringLiteral("No"));
  EXPECT_EQ(off.Outcome, EditOutcome::Refused);
  EXPECT_FALSE(off.Message.isEmpty());
  EXPECT_EQ(doc_->History.Count(), count);
  EXPECT_EQ(again.ColorMap().GetCount(), 4);
}

TEST_F(InspectorEditTest, LocalColoursAddChangeAndDeleteWithoutChangingPixels) {
  gif::TGIFImage& image = Use(MakeAnimation(1, 2, 2));
  gif::TGIFSubImage& frame = *image.Images().GetFrame(0);
  SetPixels(frame, {0, 1, 3, 3});
  EXPECT_EQ(DeleteLocalColor(*doc_, image, 0, 0).Outcome, EditOutcome::Unchanged);  // no local table yet
  ASSERT_EQ(AddLocalPalette(*doc_, image, 0).Outcome, EditOutcome::Applied);
  EXPECT_EQ(AddLocalColor(*doc_, image, 0, 0x000000).Outcome, EditOutcome::Applied);  // a twin of entry 0 at 4
  EXPECT_EQ(ChangeLocalColor(*doc_, image, 0, 1, 0x808080).Outcome, EditOutcome::Applied);
  const auto shown = ShownColors(image, 0);

  const InspectorEdit required = DeleteLocalColor(*doc_, image, 0, 3);
  EXPECT_EQ(required.Outcome, EditOutcome::Refused);
  EXPECT_EQ(required.Message, QStringLiteral("This color is required by the image and cannot be removed."));

  EXPECT_EQ(DeleteLocalColor(*doc_, image, 0, 2).Outcome, EditOutcome::Applied);  // unused
  EXPECT_EQ(DeleteLocalColor(*doc_, image, 0, 0).Outcome, EditOutcome::Applied);  // black lives on at the end
  EXPECT_EQ(frame.ColorMap().GetCount(), 3);
  EXPECT_EQ(ShownColors(image, 0), shown);

  doc_->Undo();
  doc_->Undo();
  EXPECT_EQ(SharedImage()->Images().GetFrame(0)->ColorMap().GetCount(), 5);
  EXPECT_EQ(SharedImage()->Images().GetFrame(0)->ColorMap().GetColor(4), 0x000000u);
  EXPECT_EQ(ShownColors(*SharedImage(), 0), shown);
  doc_->Undo();  // the colour change
  EXPECT_EQ(SharedImage()->Images().GetFrame(0)->ColorMap().GetColor(1), 0xFFFFFFu);

  gif::TGIFSubImage& now = *SharedImage()->Images().GetFrame(0);
  now.ColorMap().SetOptimized(true);
  EXPECT_TRUE(DeleteLocalColor(*doc_, *SharedImage(), 0, 2).Message.contains(QStringLiteral("already optimized")));
}

TEST_F(InspectorEditTest, CommentsAddChangeRemoveAndUndo) {
  gif::TGIFImage& image = Use(MakeAnimation(2));
  AddCommentExtension(*image.Images().GetFrame(1), QStringLiteral("old"));
  const int ext = AddComment(*doc_, image, QStringLiteral("Comment 2"));
  ASSERT_GE(ext, 0);
  auto items = ListComments(image);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].Caption, QStringLiteral("Comment 1"));
  EXPECT_EQ(items[0].Frame, 0);
  EXPECT_EQ(items[0].Extension, ext);
  EXPECT_EQ(items[1].Frame, 1);
  EXPECT_EQ(items[1].Text, QStringLiteral("old"));

  EXPECT_TRUE(ChangeComment(*doc_, image, 1, items[1].Extension, QStringLiteral("new\ntext")));
  EXPECT_FALSE(ChangeComment(*doc_, image, 1, items[1].Extension, QStringLiteral("new\ntext")));
  EXPECT_TRUE(RemoveComment(*doc_, image, 1, items[1].Extension));
  EXPECT_EQ(ListComments(image).size(), 1u);
  doc_->Undo();
  items = ListComments(*SharedImage());
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1].Text, QStringLiteral("new\ntext"));
  doc_->Undo();  // the change
  EXPECT_EQ(ListComments(*SharedImage())[1].Text, QStringLiteral("old"));
  doc_->Undo();  // the addition
  EXPECT_EQ(ListComments(*SharedImage()).size(), 1u);
}

}  // namespace
}  // namespace movinta::editor::forms
