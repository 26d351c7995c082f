#include "editor/forms/edit_dialogs_qt.h"
#include "editor/forms/palette_editor.h"
#include "editor/forms/prompts.h"
#include "forms_fixture.h"

#include <QApplication>
#include <QRadioButton>
#include <QSpinBox>

namespace movinta::editor::forms {
namespace {

using testing::MakeAnimation;

class EditDialogsTest : public testing::DocumentFixture {};

TEST_F(EditDialogsTest, ReadsEachDialogBackAndCancelGivesNothing) {
  Use(MakeAnimation(2, 20, 10));
  QtEditDialogs dialogs;
  dialogs.Run = [](QDialog& d) {
    if (auto* p = qobject_cast<TfrmPrompts*>(&d)) {
      if (p->Page() == pgFrameSize) p->optChange->setChecked(true);
      if (p->Page() == pgResize) p->udWidth->setValue(40);
      p->accept();
    }
    if (auto* palette = qobject_cast<TfrmPalette*>(&d)) {
      if (palette->Mode() == PaletteMode::Global) {
        palette->pbPaletteMouseDown(50, 5);  // entry 3, unused by the fixture's frames
        palette->btnColorDeleteClick();
      } else {
        palette->pbPaletteMouseDown(20, 5);
      }
    }
    return true;
  };
  EXPECT_EQ(dialogs.AskOversize(), std::optional<bool>(false));
  const auto size = dialogs.AskResize(20, 10);
  ASSERT_TRUE(size);
  EXPECT_EQ(size->Width, 40);
  EXPECT_EQ(size->Height, 10);

  const auto table = dialogs.EditGlobalPalette(SharedImage()->GetGlobalColorMap());
  ASSERT_TRUE(table);
  EXPECT_EQ(table->GetCount(), 3);
  ASSERT_NE(dialogs.LastGlobalEdit(), nullptr);
  EXPECT_TRUE(dialogs.LastGlobalEdit()->DeletedAny());

  const auto picked = dialogs.PickColor(0, PickedColor{0, 0});
  ASSERT_TRUE(picked);
  EXPECT_EQ(picked->Index, 1);
  EXPECT_EQ(picked->Color, 0xFFFFFFu);

  dialogs.Run = [](QDialog&) { return false; };
  EXPECT_FALSE(dialogs.AskAnimationInfo());
  EXPECT_FALSE(dialogs.AskPaletteDefaults());
}

TEST_F(EditDialogsTest, ThePickerAnswersTheColourItShowsWhenOkIsPressedAtOnce) {
  gif::TGIFImage& image = Use(MakeAnimation(2, 20, 10));
  gif::TGIFSubImage& frame = *image.Images().GetFrame(1);
  for (gif::TColor c : {0x00FF00u, 0x0000FFu, 0x123456u}) frame.ColorMap().Add(c);
  QtEditDialogs dialogs;
  dialogs.Run = [](QDialog&) { return true; };
  struct Case {
    PickedColor Start, Shown;
  };
  // Started with a colour that is not the entry's (Global Properties starts at entry 0, black).
  for (const Case c : {Case{{0x000000, 0}, {0x00FF00, 0}}, Case{{0xFFFFFF, 2}, {0x123456, 2}},
                       Case{{0x0000FF, 1}, {0x0000FF, 1}}}) {
    SCOPED_TRACE(c.Start.Index);
    const auto picked = dialogs.PickColor(1, c.Start);
    ASSERT_TRUE(picked);
    EXPECT_EQ(picked->Index, c.Shown.Index);
    EXPECT_EQ(picked->Color, c.Shown.Color);
  }
}

}  // namespace
}  // namespace movinta::editor::forms
