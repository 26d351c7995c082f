// The options dialog in its three modes, driven headless, and the main window's side of it.
#include "controls/colorcombobox.h"
#include "editor/options_dialog.h"
#include "tests/editor_app/app_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QToolBar>
#include <QTest>

namespace movinta::editor::forms {
namespace {

using testing::AppTest;
using testing::RecordingMessages;
using testing::ScopedSettingsDir;

QString S(const char* s) { return QString::fromLatin1(s); }

class OptionsDialogTest : public ::testing::Test {
protected:
  ScopedSettingsDir dir_;
  RecordingMessages messages_;
  SettingsStore store_;
};

TEST_F(OptionsDialogTest, EachModeShowsItsPagesAndCaption) {
  OptionsContext context;
  context.Favorites = {S("/pictures"), S("/work")};
  TfrmOptions all(nullptr, OptionsMode::AllPages, context, &store_);
  EXPECT_EQ(all.windowTitle(), S("Program Options"));
  ASSERT_EQ(all.tabOptions->count(), 5);
  EXPECT_EQ(all.tabOptions->tabText(4), S("About Movinta"));
  EXPECT_FALSE(all.pnlProgram->isHidden());
  all.tabOptions->setCurrentIndex(2);
  EXPECT_TRUE(all.pnlProgram->isHidden());
  EXPECT_FALSE(all.pnlPalettes->isHidden());
  EXPECT_EQ(all.lvFavorites->count(), 2);  // filled in every mode

  TfrmOptions favorites(nullptr, OptionsMode::Favorites, context, &store_);
  EXPECT_EQ(favorites.windowTitle(), S("Organize Favorites"));
  ASSERT_EQ(favorites.tabOptions->count(), 1);
  EXPECT_EQ(favorites.tabOptions->tabText(0), S("Favorites"));
  EXPECT_FALSE(favorites.pnlThumbnails->isHidden());
  EXPECT_FALSE(favorites.pnlFavorites->isHidden());
  EXPECT_TRUE(favorites.chkAutoLoad->isHidden());
  EXPECT_TRUE(favorites.pnlProgram->isHidden());

  context.ApplicationTitle = S("Larkspur GIF Movinta 6");
  TfrmOptions about(nullptr, OptionsMode::About, context, &store_);
  EXPECT_EQ(about.windowTitle(), S("About GIF Movinta"));
  ASSERT_EQ(about.tabOptions->count(), 1);
  EXPECT_FALSE(about.pnlAbout->isHidden());
  EXPECT_TRUE(about.lblAbout0->text().startsWith(S("Larkspur GIF Movinta 6.0.2")));
  QStringList opened;
  about.OpenAddress = [&](const QString& a) { opened << a; };
  about.btnWebPage->click();
  about.btnProducts->click();
  ASSERT_EQ(opened.size(), 2);
  EXPECT_TRUE(opened[1].startsWith(opened[0]));
  EXPECT_NE(opened[0], opened[1]);
}

TEST_F(OptionsDialogTest, DelayAndLoopEditsTakeDigitsAndStayWithinWhatTheSettingHolds) {
  Settings().DefaultDelay = 100;
  Settings().DefaultNSLoop = 0;
  TfrmOptions dialog(nullptr, OptionsMode::AllPages, {}, &store_);
  dialog.show();
  dialog.tabOptions->setCurrentIndex(1);
  QLineEdit* delay = dialog.txtDelay;
  delay->setFocus();
  QCoreApplication::processEvents();
  delay->selectAll();
  QTest::keyClicks(delay, S("70000"));
  EXPECT_EQ(delay->text(), S("100"));  // the default delay
  delay->selectAll();
  QTest::keyClicks(delay, S("4x5"));
  EXPECT_EQ(delay->text(), S("45"));  // letters never get in
  dialog.txtLoop->setText(S("70000"));
  dialog.edtDelayChange(dialog.txtLoop);
  EXPECT_EQ(dialog.txtLoop->text(), S("0"));  // the default loop count
  // Emptied and left: back to the text it had when it got the focus.
  dialog.edtDelayEnter(delay);
  delay->clear();
  dialog.edtDelayExit(delay);
  EXPECT_EQ(delay->text(), S("45"));
  EXPECT_EQ(dialog.udMaxUndo->maximum(), kMaxUndoLimit);
  EXPECT_EQ(dialog.udMaxUndo->minimum(), 1);
}

TEST_F(OptionsDialogTest, FavouritesButtonsFollowTheSelectionAndAskBeforeRemoving) {
  OptionsContext context;
  context.Favorites = {S("/a"), S("/b"), S("/c")};
  TfrmOptions dialog(nullptr, OptionsMode::Favorites, context, &store_);
  EXPECT_FALSE(dialog.btnRemove->isEnabled());
  dialog.lvFavorites->setCurrentRow(0);
  EXPECT_FALSE(dialog.btnUp->isEnabled());
  EXPECT_TRUE(dialog.btnDown->isEnabled());
  EXPECT_TRUE(dialog.btnRemove->isEnabled());
  dialog.btnDown->click();
  EXPECT_EQ(dialog.lvFavorites->item(1)->text(), S("/a"));
  EXPECT_EQ(dialog.lvFavorites->currentRow(), 1);

  QString started;
  dialog.ChooseFolder = [&](const QString& start) {
    started = start;
    return S("/b");  // already a favourite
  };
  dialog.btnAdd->click();
  EXPECT_EQ(started, S("/a"));  // the browse starts at the selected favourite
  EXPECT_EQ(dialog.lvFavorites->count(), 3);
  dialog.ChooseFolder = [](const QString&) { return S("/d"); };
  dialog.btnAdd->click();
  EXPECT_EQ(dialog.lvFavorites->item(2)->text(), S("/d"));
  EXPECT_EQ(dialog.lvFavorites->currentRow(), 2);

  messages_.Answers = {mrNo, mrYes};
  dialog.btnRemove->click();
  EXPECT_EQ(dialog.lvFavorites->count(), 4);
  dialog.btnRemove->click();
  ASSERT_EQ(messages_.Shown.size(), 2u);
  EXPECT_EQ(messages_.Shown[1].Text, S("Do you want to remove /d the Favorites list?"));
  EXPECT_EQ(messages_.Shown[1].Buttons, kYesNo);
  EXPECT_EQ(dialog.Favorites().Items, (QStringList{S("/b"), S("/a"), S("/c")}));
  EXPECT_EQ(dialog.lvFavorites->currentRow(), 1);
  EXPECT_TRUE(dialog.FavoritesChanged());
}

TEST_F(OptionsDialogTest, ShiftAltF7AsksAndSwitchesTheGifWarnings) {
  TfrmOptions dialog(nullptr, OptionsMode::AllPages, {}, &store_);
  std::vector<bool> switched;
  dialog.SetWarnings = [&](bool on) { switched.push_back(on); };
  const QString settings = S(sections::kSettings);
  messages_.Answers = {mrNo, mrYes, mrYes};
  QTest::keyClick(&dialog, Qt::Key_F7, Qt::ShiftModifier | Qt::AltModifier);
  EXPECT_TRUE(switched.empty());
  QTest::keyClick(&dialog, Qt::Key_F7, Qt::ShiftModifier | Qt::AltModifier);
  EXPECT_EQ(ReadRegInt(store_, settings, S("Warnings"), 0), 1);
  QTest::keyClick(&dialog, Qt::Key_F7, Qt::ShiftModifier | Qt::AltModifier);
  EXPECT_EQ(ReadRegInt(store_, settings, S("Warnings"), 1), 0);
  EXPECT_EQ(switched, (std::vector<bool>{true, false}));
  ASSERT_EQ(messages_.Shown.size(), 3u);
  EXPECT_TRUE(messages_.Shown[0].Text.endsWith(S("developer debugging purposes only.")));
  EXPECT_EQ(messages_.Shown[2].Text, S("Would you like to turn off GIF warnings?"));
  EXPECT_EQ(messages_.Shown[2].Buttons, kYesNoCancel);
}

// Every row of the dialog, from the store to its control and back through the main window.
class OptionsRoundTrip : public AppTest {};

TEST_F(OptionsRoundTrip, EveryRowLoadsIntoItsControlAndIsStoredAfterOk) {
  struct Row {
    const char* Section;
    const char* Name;
    int Before;  // stored before the dialog opens
    int After;   // stored once the dialog changed its control and closed with OK
  };
  const std::vector<Row> rows = {
      {"Settings", "ClipFrame", 0, 1},          {"Settings", "ClipDefault", 1, 0},
      {"Settings", "DisplayAnimation", 0, 1},   {"Settings", "DefaultDelay", 25, 300},
      {"Settings", "DefaultNSLoop", 3, 0},      {"Settings\\Toolbars", "NormalStyle", 1, 0},
      {"Settings", "AutoLoadStartUp", 0, 1},    {"ThumbNails", "ThumbailSize", 150, 50},
      {"Settings", "MaxUndo", 20, 80},          {"Settings", "SyncOpenDialog", 1, 0},
      {"Settings", "NoOpenDlgPreview", 1, 0},   {"Settings", "DropImageDefault", 6, 7},
      {"Settings", "FrameTransparentColor", 0x0000FF, 0x00FF00},
      {"Settings", "PaletteDefaults", 1, 0},    {"Settings", "PaletteType", 2, 1},
      {"Settings", "MaxColorCount", 64, 16},    {"Settings", "DitherMethod", 1, 0},
      {"Settings", "MaxImportCount", 32, 128},  {"ThumbNails", "FilterType", 11, 19},
  };
  {
    SettingsStore store;
    for (const Row& r : rows) WriteRegInt(store, S(r.Section), S(r.Name), r.Before);
    store.flush();
  }
  TfrmMain& main = OpenMain(QString(), false);
  bool checked = false;
  main.RunDialog = [&](QDialog& d) {
    auto& o = dynamic_cast<TfrmOptions&>(d);
    EXPECT_TRUE(o.optChange->isChecked());
    EXPECT_TRUE(o.chkDefault->isChecked());
    EXPECT_FALSE(o.chkAnimation->isChecked());
    EXPECT_EQ(o.txtDelay->text(), S("25"));
    EXPECT_EQ(o.txtLoop->text(), S("3"));
    EXPECT_TRUE(o.chkFlatTB->isChecked());
    EXPECT_FALSE(o.chkAutoLoad->isChecked());
    EXPECT_EQ(o.cbThumbSize->currentText(), S("150"));
    EXPECT_EQ(o.udMaxUndo->value(), 20);
    EXPECT_TRUE(o.chkExplorer->isChecked());
    EXPECT_TRUE(o.chkNoOpenPreview->isChecked());
    EXPECT_TRUE(o.chkDropDefault->isChecked());
    EXPECT_EQ(o.cbTransColor->GetSelectedColor(), 0x0000FF);
    EXPECT_TRUE(o.chkDefaultPal->isChecked());
    EXPECT_TRUE(o.optPalLocal->isChecked());
    EXPECT_EQ(o.cbMaxColors->currentText(), S("64"));
    EXPECT_TRUE(o.optFloyd->isChecked());
    EXPECT_EQ(o.cbMaxDither->currentText(), S("32"));
    EXPECT_EQ(o.cbFileFilters->currentIndex(), 11);
    checked = true;

    o.optClip->setChecked(true);
    o.chkDefault->setChecked(false);
    o.chkAnimation->setChecked(true);
    o.txtDelay->setText(S("300"));
    o.txtLoop->setText(S("0"));
    o.chkFlatTB->setChecked(false);
    o.chkAutoLoad->setChecked(true);
    o.cbThumbSize->setCurrentText(S("50"));
    o.udMaxUndo->setValue(80);
    o.chkExplorer->setChecked(false);
    o.chkNoOpenPreview->setChecked(false);
    o.chkDropDefault->setChecked(false);
    o.cbTransColor->SelectColor(0x00FF00);
    o.chkDefaultPal->setChecked(false);
    o.optPalNetcape->setChecked(true);
    o.cbMaxColors->setCurrentText(S("16"));
    o.optNearest->setChecked(true);
    o.cbMaxDither->setCurrentText(S("128"));
    o.cbFileFilters->setCurrentIndex(18);
    o.accept();
    return static_cast<int>(QDialog::Accepted);
  };
  main.mniToolsOptionsClick();
  ASSERT_TRUE(checked);
  SettingsStore store;
  for (const Row& r : rows) EXPECT_EQ(ReadRegInt(store, S(r.Section), S(r.Name), -1), r.After) << r.Name;
  // Taken in at once by the window, so that closing it writes the same again.
  EXPECT_EQ(Settings().DefaultDelay, 300);
  EXPECT_EQ(Settings().DefaultNSLoop, 0);
  EXPECT_EQ(Settings().FrameBackColor, 0x00FF00u);
  EXPECT_EQ(main.Documents().MaxUndo, 80);
  EXPECT_EQ(main.Toolbar(0)->styleSheet(), QString());  // flat again
  CloseMain();
  SettingsStore after;
  EXPECT_EQ(ReadRegInt(after, S("Settings"), S("DefaultDelay"), -1), 300);
  EXPECT_EQ(ReadRegInt(after, S("Settings\\Toolbars"), S("NormalStyle"), -1), 0);
  EXPECT_EQ(ReadRegInt(after, S("ThumbNails"), S("ThumbailSize"), -1), 50);
}

TEST_F(OptionsRoundTrip, OrganizedFavouritesAreStoredAtOnceAndHelpAboutShowsTheAboutPage) {
  {
    SettingsStore store;
    StoreFavorites(store, {S("/one"), S("/two")});
  }
  TfrmMain& main = OpenMain(QString(), false);
  main.RunDialog = [](QDialog& d) {
    auto& o = dynamic_cast<TfrmOptions&>(d);
    EXPECT_EQ(o.Mode(), OptionsMode::Favorites);
    EXPECT_EQ(o.Favorites().Items, (QStringList{S("/one"), S("/two")}));
    o.lvFavorites->setCurrentRow(1);
    o.btnUp->click();
    return static_cast<int>(QDialog::Accepted);
  };
  EXPECT_TRUE(main.OrganizeFavorites());
  SettingsStore store;
  EXPECT_EQ(ReadRegString(store, S(sections::kFavorites), S("MRU0"), QString()), S("/two"));
  EXPECT_EQ(ReadRegString(store, S(sections::kFavorites), S("MRU1"), QString()), S("/one"));

  OptionsMode shown = OptionsMode::AllPages;
  main.RunDialog = [&](QDialog& d) {
    shown = dynamic_cast<TfrmOptions&>(d).Mode();
    return static_cast<int>(QDialog::Rejected);
  };
  main.mniHelpAboutClick();
  EXPECT_EQ(shown, OptionsMode::About);
}

}  // namespace
}  // namespace movinta::editor::forms
