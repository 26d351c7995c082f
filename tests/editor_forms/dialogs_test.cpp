#include "controls/xpress.h"
#include "editor/forms/frame_inspector.h"
#include "editor/forms/palette_editor.h"
#include "editor/forms/prompts.h"
#include "editor/model/working_image.h"
#include "forms_fixture.h"

#include "editor/model/settings.h"

#include <QApplication>
#include <QLabel>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

namespace movinta::editor::forms {
namespace {

using testing::MakeAnimation;
using testing::SetPixels;

class DialogTest : public testing::DocumentFixture {};

TEST_F(DialogTest, GlobalPaletteSwatchesTypedValuesAddAndDelete) {
  auto image = MakeAnimation(1, 2, 1);
  image->GetGlobalColorMap().Clear();
  for (gif::TColor c : {0x000000u, 0x0000FFu}) image->GetGlobalColorMap().Add(c);
  gif::TGIFImage& working = Use(std::move(image));
  TfrmPalette dialog(nullptr, PaletteMode::Global, &working, 0);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Global Palette"));
  EXPECT_FALSE(dialog.btnColorDelete->isEnabled());  // two colours cannot lose one

  QTest::mouseClick(dialog.pbPalette, Qt::LeftButton, {}, QPoint(2, 5));
  EXPECT_EQ(dialog.SelectedIndex, 0);
  QTest::mouseClick(dialog.pbPalette, Qt::LeftButton, {}, QPoint(20, 5));
  EXPECT_EQ(dialog.SelectedIndex, 1);
  EXPECT_EQ(dialog.udRed->value(), 255);

  dialog.udGreen->Tag = 0;
  dialog.udGreen->Edit()->setText(QStringLiteral("300"));
  dialog.RgbEditExit(dialog.udGreen);
  EXPECT_TRUE(messages_.Saw(QStringLiteral("'300' is not within the 0-255 range.")));
  EXPECT_EQ(dialog.udGreen->value(), 0);
  dialog.udGreen->Edit()->setText(QStringLiteral("128"));
  dialog.RgbEditExit(dialog.udGreen);
  EXPECT_EQ(dialog.PaletteCopy()->GetColor(1), 0x0080FFu);
  EXPECT_TRUE(dialog.Changed);

  QTest::mouseClick(dialog.btnColorAdd, Qt::LeftButton);
  EXPECT_EQ(dialog.PaletteCopy()->GetCount(), 3);
  EXPECT_EQ(dialog.SelectedIndex, 2);
  ASSERT_TRUE(dialog.btnColorDelete->isEnabled());
  QTest::mouseClick(dialog.btnColorDelete, Qt::LeftButton);  // the unused white goes
  EXPECT_EQ(dialog.PaletteCopy()->GetCount(), 2);
  EXPECT_EQ(dialog.SelectedIndex, 1);

  // Closing with the focus in a field leaves it without reaching the dialog being destroyed.
  dialog.show();
  dialog.activateWindow();
  dialog.udRed->setFocus();
  QApplication::processEvents();
}

TEST_F(DialogTest, TransparentPickTakesThePixelsOwnIndexAmongTwins) {
  auto image = MakeAnimation(2, 3, 1);
  gif::TGIFSubImage& frame = *image->Images().GetFrame(1);
  for (gif::TColor c : {0x000000u, 0xFFFFFFu, 0x000000u}) frame.ColorMap().Add(c);
  SetPixels(frame, {1, 0, 2});
  gif::TGIFImage& working = Use(std::move(image));

  TfrmPalette pick(nullptr, PaletteMode::Transparent, &working, 1);
  ASSERT_NE(pick.pbImage, nullptr);
  EXPECT_FALSE(pick.btnColorAdd->isVisible() && pick.btnColorAdd->isEnabled());
  QTest::mouseClick(pick.pbImage, Qt::LeftButton, {}, QPoint(1, 0));
  EXPECT_EQ(pick.SelectedIndex, 0);  // a colour lookup would find the twin at 2
  QTest::mouseClick(pick.pbImage, Qt::LeftButton, {}, QPoint(2, 0));
  EXPECT_EQ(pick.SelectedIndex, 2);
  pick.pbImageMouseDown(5, 0);  // outside the frame
  EXPECT_EQ(pick.SelectedIndex, 2);

  TfrmPalette global(nullptr, PaletteMode::Transparent, &working, 0);  // no own table
  EXPECT_EQ(global.PaletteCopy()->GetCount(), 4);

  TfrmPalette value(nullptr, PaletteMode::ColorValue, &working, 0);
  EXPECT_EQ(value.PaletteCopy(), nullptr);
  value.SetSelectedColor(0x102030);
  value.udBlue->setValue(0x40);
  value.accept();
  EXPECT_EQ(value.Color(), 0x402030u);
}

TEST_F(DialogTest, PromptPagesResizeLoopHtmlAndSettings) {
  auto image = MakeAnimation(2, 200, 100);
  gif::TGIFImage& working = Use(std::move(image));
  SettingsStore store(settings_.Path() + QStringLiteral("/prompts.ini"));

  TfrmPrompts resize(nullptr, pgResize, &working, &store);
  resize.chkConstrain->setChecked(true);
  resize.udHeight->setValue(50);
  EXPECT_EQ(resize.txtHPercent->value(), 50);
  EXPECT_EQ(resize.txtWPercent->value(), 50);
  EXPECT_EQ(resize.udWidth->value(), 100);
  EXPECT_EQ(resize.tabPrompts->tabText(0), QStringLiteral("Resize"));

  auto loop = std::make_unique<TfrmPrompts>(nullptr, pgAnimationInfo, &working, &store);
  EXPECT_EQ(loop->txtCurrLoop->text(), QStringLiteral("1"));
  EXPECT_TRUE(loop->optLoopPlay->isChecked());
  EXPECT_TRUE(loop->txtLoop->isEnabled());
  loop->show();
  loop->activateWindow();
  loop->txtLoop->setFocus();
  QApplication::processEvents();
  loop.reset();
  AddLoopExtension(working, 0, 0);
  TfrmPrompts endless(nullptr, pgAnimationInfo, &working, &store);
  EXPECT_EQ(endless.txtCurrLoop->text(), QStringLiteral("0"));
  EXPECT_FALSE(endless.txtLoop->isEnabled());

  TfrmPrompts html(nullptr, pgHtmlTag, &working, &store);
  html.txtFileName->setText(QStringLiteral("a.gif"));
  html.txtHint->setText(QStringLiteral("A & B"));
  html.udBorder->setValue(0);
  EXPECT_EQ(html.txtHTML->toPlainText(),
            QStringLiteral("<img src=\"a.gif\" height=\"100\" width=\"200\" alt=\"A &amp; B\" border=\"0\">"));

  store.writeInt(QStringLiteral("Settings"), QStringLiteral("MaxColorCount"), 100);
  {
    TfrmPrompts palettes(nullptr, pgPalettes, &working, &store);
    EXPECT_EQ(palettes.cbMaxColors->currentText(), QStringLiteral("256"));
    palettes.optFloyd->setChecked(true);
    palettes.cbMaxColors->setCurrentIndex(2);
    palettes.accept();
  }
  EXPECT_EQ(store.readInt(QStringLiteral("Settings"), QStringLiteral("MaxColorCount"), 0), 64);
  EXPECT_EQ(store.readInt(QStringLiteral("Settings"), QStringLiteral("DitherMethod"), 0), 1);

  TfrmPrompts size(nullptr, pgFrameSize, &working, &store);
  EXPECT_TRUE(size.optClip->isChecked());
}

TEST_F(DialogTest, GlobalChangeAsksForBackgroundAndPicksAColour) {
  gif::TGIFImage& working = Use(MakeAnimation(2));
  TfrmPrompts global(nullptr, pgGlobalChange, &working);
  int runs = 0;
  global.RunPalette = [&](TfrmPalette& palette) {
    ++runs;
    palette.pbPaletteMouseDown(20, 5);
    return true;
  };
  messages_.Answers = {mrYes};
  global.chkTransparent->click();
  EXPECT_EQ(global.cbDisposal->currentText(), QStringLiteral("Background"));
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(global.PickedIndex, 1);
  EXPECT_EQ(global.PickedColor, 0xFFFFFFu);
  EXPECT_TRUE(global.Touched(global.chkTransparent));

  messages_.Answers = {mrCancel};
  global.btnResetClick();
  global.chkTransparent->click();
  EXPECT_FALSE(global.chkTransparent->isChecked());
  EXPECT_EQ(runs, 1);

  global.btnResetClick();
  global.txtDelay->setText(QStringLiteral("70000"));
  global.accept();
  EXPECT_EQ(global.txtDelay->text(), QString::number(Settings().DefaultDelay));
  EXPECT_TRUE(global.AnyChange);
}

class FakeHost : public IInspectorHost {
public:
  explicit FakeHost(TDocuments& docs) : docs_(docs) {}
  TMDIChild* ActiveDocument() const override { return docs_.Active(); }
  void ShowFrame(int index) override {
    ++Shown;
    if (Inspector) Inspector->ShowFrameProperties(docs_.Active(), index);
  }
  void ReloadActiveDocument() override { ++Reloads; }
  void InspectorClosed() override { ++Closed; }
  TfrmFloat* Inspector = nullptr;
  int Shown = 0, Reloads = 0, Closed = 0;

private:
  TDocuments& docs_;
};

TEST_F(DialogTest, InspectorEditsRowsWithUndoAndRefusesBadValues) {
  Use(MakeAnimation(2, 4, 3));
  FakeHost host(docs_);
  TfrmFloat inspector(&host);
  host.Inspector = &inspector;
  inspector.ShowFrameProperties(doc_, 1);
  EXPECT_TRUE(inspector.windowTitle().startsWith(QStringLiteral("Frame Inspector - ")));
  EXPECT_EQ(inspector.ValueText(rowWidth), QStringLiteral("4"));
  EXPECT_EQ(inspector.ValueText(rowDelay), QStringLiteral("20"));
  EXPECT_EQ(inspector.cbFrames->count(), 2);

  inspector.gridSelectCell(rowDisplay);  // a header hands over to the row below
  EXPECT_EQ(inspector.SelectedRow, rowInterlaced);
  EXPECT_TRUE(inspector.lbDrop->isVisibleTo(&inspector));
  inspector.SetValueText(rowInterlaced, QStringLiteral("true"));
  inspector.CommitEdit();
  EXPECT_EQ(inspector.ValueText(rowInterlaced), QStringLiteral("Yes"));
  EXPECT_EQ(doc_->History.LastCaption(), QStringLiteral("Interlaced"));
  EXPECT_TRUE(SharedImage()->Images().GetFrame(1)->GetInterlaced());

  inspector.SetValueText(rowInterlaced, QStringLiteral("perhaps"));
  inspector.CommitEdit();
  EXPECT_TRUE(messages_.Saw(QStringLiteral("Accepted values for this field are: Yes, No or True or False.")));
  EXPECT_EQ(inspector.ValueText(rowInterlaced), QStringLiteral("Yes"));

  const int count = doc_->History.Count();
  inspector.gridSelectCell(rowLeft);
  inspector.SetValueText(rowLeft, QStringLiteral("0"));  // unchanged
  inspector.CommitEdit();
  EXPECT_EQ(doc_->History.Count(), count);
  inspector.gridSelectCell(rowDelay);
  inspector.SetValueText(rowDelay, QStringLiteral("70000"));
  inspector.CommitEdit();
  EXPECT_TRUE(messages_.Saw(QStringLiteral("Accepted values for this field are: 0 to 65535.")));
  EXPECT_EQ(inspector.ValueText(rowDelay), QStringLiteral("20"));
  inspector.SetValueText(rowDelay, QStringLiteral("35"));
  inspector.CommitEdit();
  EXPECT_EQ(GetFrameDelay(*SharedImage(), 1), 35);
  EXPECT_EQ(doc_->History.LastCaption(), QStringLiteral("Change Delay"));

  inspector.gridSelectCell(rowDisposal);
  inspector.ChooseDropDownItem(3);
  EXPECT_EQ(SharedImage()->Images().GetFrame(1)->GraphicControlExtension()->GetDisposal(), 3);

  inspector.close();
  EXPECT_FALSE(inspector.isVisible());
  EXPECT_EQ(host.Closed, 1);
}

TEST_F(DialogTest, InspectorPaletteAndCommentTabs) {
  Use(MakeAnimation(1, 2, 2));
  FakeHost host(docs_);
  TfrmFloat inspector(&host);
  host.Inspector = &inspector;
  inspector.ShowFrameProperties(doc_, 0);
  EXPECT_EQ(inspector.Palette(), nullptr);
  EXPECT_TRUE(inspector.btnColorAdd->isEnabled());
  EXPECT_FALSE(inspector.btnColorDelete->isEnabled());

  messages_.Answers = {mrYes};
  inspector.btnColorAddClick();
  ASSERT_NE(inspector.Palette(), nullptr);
  EXPECT_EQ(host.Reloads, 1);
  EXPECT_EQ(doc_->History.LastCaption(), QStringLiteral("Add Local Palette"));

  inspector.RunPalette = [](TfrmPalette& palette) {
    palette.SetSelectedColor(0x00FFFF);
    return true;
  };
  inspector.btnColorAddClick();
  EXPECT_EQ(inspector.Palette()->GetCount(), 5);
  inspector.SelectColor(4);
  EXPECT_EQ(inspector.lblColor->text(), QStringLiteral("5 Colors - R: 255, G: 255, B: 0"));
  EXPECT_TRUE(inspector.btnColorDelete->isEnabled());
  inspector.btnColorDeleteClick();
  EXPECT_EQ(inspector.Palette()->GetCount(), 4);
  EXPECT_EQ(doc_->History.LastCaption(), QStringLiteral("Delete Color Palette Entry"));

  inspector.btnAddCommentsClick();
  ASSERT_EQ(inspector.lvComments->topLevelItemCount(), 1);
  EXPECT_EQ(inspector.mmoComments->toPlainText(), QStringLiteral("Comment 1"));
  inspector.mmoComments->setPlainText(QStringLiteral("About this"));
  inspector.mmoCommentsExit();
  EXPECT_EQ(doc_->History.LastCaption(), QStringLiteral("Change GIF Comment"));
  inspector.lvCommentsSelect(0);
  inspector.btnRemoveCommentsClick();
  EXPECT_EQ(inspector.lvComments->topLevelItemCount(), 0);
  doc_->Undo();
  inspector.ShowFrameProperties(doc_, 0);
  ASSERT_EQ(inspector.lvComments->topLevelItemCount(), 1);
  inspector.lvCommentsSelect(0);
  EXPECT_EQ(inspector.mmoComments->toPlainText(), QStringLiteral("About this"));

  inspector.ResetInspector();
  EXPECT_FALSE(inspector.tabImgInfo->isEnabled());
  EXPECT_EQ(inspector.windowTitle(), QStringLiteral("Frame Inspector"));

  inspector.show();
  inspector.activateWindow();
  inspector.tabImgInfo->setCurrentIndex(2);
  inspector.mmoComments->setFocus();
  QApplication::processEvents();
}

}  // namespace
}  // namespace movinta::editor::forms
