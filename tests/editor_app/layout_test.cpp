// Every window the program makes shows its own texts whole, at the default font and at one half
// again as large: labels, buttons, check and radio boxes, group titles, tab captions and the fixed
// items of combos. Names and status texts are the user's data; one case each shows they get room.
#include "controls/shell/dialogs/ptfolderbrowsedlg.h"
#include "controls/shell/dialogs/ptopendlg.h"
#include "controls/shell/widgets/ptshelllist.h"
#include "editor/forms/forced_extension_save.h"
#include "editor/image_exporter.h"
#include "editor/options_dialog.h"
#include "editor/forms/palette_editor.h"
#include "editor/forms/plugin_explorer.h"
#include "editor/forms/progress_window.h"
#include "editor/forms/prompts.h"
#include "editor/forms/save_flash_dialog.h"
#include "editor/splash_screen.h"
#include "editor/forms/swf_html_form.h"
#include "editor/wizards.h"
#include "editor/document_window.h"
#include "editor/model/registry.h"
#include "editor/model/settings.h"
#include "editor/model/working_image.h"
#include "tests/editor_app/app_fixture.h"
#include "tests/editor_app/text_room.h"

#include <QAbstractItemView>
#include <QDir>
#include <QLabel>
#include <QListView>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

namespace movinta::editor::testing {
namespace {

using namespace forms;

QString Join(const std::set<QString>& cuts) {
  QString all;
  for (const QString& c : cuts) all += c + QLatin1Char('\n');
  return all;
}

// The application's font scaled for one test, the default one back afterwards.
class LayoutTest : public AppTest, public ::testing::WithParamInterface<double> {
protected:
  void SetUp() override {
    saved_ = QApplication::font();
    QFont scaled = saved_;
    scaled.setPointSizeF(saved_.pointSizeF() * GetParam());
    QApplication::setFont(scaled);
  }
  void TearDown() override {
    AppTest::TearDown();
    QApplication::setFont(saved_);
  }

  // Shows a window the way the program shows it and checks it.
  void Check(QWidget& window) {
    window.show();
    QApplication::processEvents();
    room_.CheckWindow(&window);
    window.close();
  }
  // Runs one of the file dialogs and checks its form while it is up.
  void CheckRun(ptshell::TPTDialog& dialog, const std::function<void(QDialog*)>& before = {}) {
    bool seen = false;
    dialog.OnFormShow = [&](QObject* sender) {
      auto* form = qobject_cast<QDialog*>(sender);
      QTimer::singleShot(0, form, [&, form] {
        if (before) before(form);
        room_.CheckWindow(form);
        seen = true;
        form->reject();
      });
    };
    dialog.Execute();
    EXPECT_TRUE(seen) << dialog.ClassName().toStdString();
  }

  TextRoom room_;
  QFont saved_;
};

TEST_P(LayoutTest, EveryWindowShowsItsOwnTextsWhole) {
  SettingsStore store;
  // Regular toolbar buttons first, then the flat ones the program starts with.
  WriteRegInt(store, QString::fromLatin1(sections::kToolbars), QStringLiteral("NormalStyle"), 1);
  OpenMain();
  room_.CheckWindow(main_.get());
  CloseMain();
  WriteRegInt(store, QString::fromLatin1(sections::kToolbars), QStringLiteral("NormalStyle"), 0);
  TfrmMain& main = OpenMain();
  TMDIChild* doc = main.OpenFile(Gif(QStringLiteral("sprite.gif"), 3));
  ASSERT_NE(doc, nullptr);
  room_.CheckWindow(&main);
  ASSERT_TRUE(the_frmFloat && the_frmThumbWin);
  the_frmFloat->show();
  the_frmThumbWin->show();
  room_.CheckWindow(the_frmFloat);
  room_.CheckWindow(the_frmThumbWin);

  for (OptionsMode mode : {OptionsMode::AllPages, OptionsMode::Favorites, OptionsMode::About}) {
    TfrmOptions options(&main, mode, OptionsContext{}, &store);
    Check(options);
  }
  QTemporaryDir tips;
  for (WizardMode mode : {WizardMode::Welcome, WizardMode::NewAnimation, WizardMode::Optimize, WizardMode::Tips}) {
    WizardContext context;
    context.TipsFolder = tips.path();
    context.ResourceLibrary = BuiltResourceLibrary();
    context.Store = &store;
    TfrmWizards wizard(&main, mode, context);
    wizard.show();
    // Each page in turn, as Next leads to it; the last one is left without finishing.
    for (int page = wizard.Page();; page = wizard.Page()) {
      room_.CheckWindow(&wizard);
      if (page < 0 || page >= LastPage(mode) || !wizard.btnNext->isEnabled()) break;
      wizard.btnNext->click();
      QApplication::processEvents();
      if (wizard.Page() == page) break;
    }
    wizard.close();
  }
  for (int page = 0; page < kPromptPageCount; ++page) {
    TfrmPrompts prompt(&main, page, SharedImage(), &store);
    if (page == pgGlobalChange) prompt.SetGlobalChangeCaptions(true, true, true);
    Check(prompt);
  }
  for (PaletteMode mode : {PaletteMode::Global, PaletteMode::Transparent, PaletteMode::ColorValue}) {
    TfrmPalette palette(&main, mode, SharedImage(), 0);
    Check(palette);
  }
  TfrmExporter exporter(&main);
  Check(exporter);
  TfrmPlugInExplorer plugins(&main);
  Check(plugins);
  TfrmProgress progress(&main);
  Check(progress);
  TSplashScreen splash(BuiltResourceLibrary());
  Check(splash);
  TSWFHTMLFrm html(320, 240, true, QStringLiteral("your_flash_movie.swf"), &main);
  Check(html);

  ptshell::TPTOpenDlg open;
  open.InitialDir = tmp_.Path;
  CheckRun(open);
  ptshell::TPTSaveDlg save;
  save.InitialDir = tmp_.Path;
  CheckRun(save);
  TSaveFlashDialog flash;
  flash.InitialDir = tmp_.Path;
  CheckRun(flash);
  TForcedExtensionSaveDlg avi;
  avi.InitialDir = tmp_.Path;
  CheckRun(avi);
  ptshell::TPTFolderBrowseDlg folder;
  CheckRun(folder);

  EXPECT_TRUE(room_.Cuts().empty()) << Join(room_.Cuts()).toStdString();
}

// The names in the file list get the room the pane has, also after the list moved on from a folder
// of short names, and wherever the long name sorts among the short ones.
TEST_P(LayoutTest, TheFileListShowsALongNameWholeInAWidePane) {
  const QString longNames[] = {QStringLiteral("twenty_char_name.gif"),
                               QStringLiteral("a_much_longer_file_name_for_sprites.gif")};
  ASSERT_EQ(longNames[0].size(), 20);
  ASSERT_EQ(longNames[1].size(), 39);
  for (const QString& longName : longNames) {
    SCOPED_TRACE(longName.toStdString());
    QTemporaryDir dir;
    const QString shortFolder = dir.path() + QStringLiteral("/short"), longFolder = dir.path() + QStringLiteral("/long");
    ASSERT_TRUE(QDir().mkpath(shortFolder) && QDir().mkpath(longFolder));
    WriteAnimation(*MakeAnimation(1), shortFolder + QStringLiteral("/a.gif"));
    for (int i = 0; i < 12; ++i) WriteAnimation(*MakeAnimation(1), longFolder + QStringLiteral("/%1.gif").arg(i));
    WriteAnimation(*MakeAnimation(1), longFolder + QLatin1Char('/') + longName);
    WriteAnimation(*MakeAnimation(1), longFolder + QStringLiteral("/z.gif"));
    ptshell::TPTOpenDlg open;
    open.InitialDir = shortFolder;
    int need = 0, has = -1, pane = 0;
    CheckRun(open, [&](QDialog* d) {
      auto* form = static_cast<ptshell::TPTFrmOpenDlg*>(d);
      form->resize(700, 500);
      form->PTShellCombo1->Folder().SetPath(longFolder.toStdString());
      for (int i = 0; i < 3; ++i) QApplication::processEvents();
      for (QListView* view : form->PTShellList1->findChildren<QListView*>()) {
        if (!view->isVisible()) continue;
        const QModelIndexList found =
            view->model()->match(view->model()->index(0, 0, view->rootIndex()), Qt::DisplayRole, longName, 1,
                                 Qt::MatchExactly);
        if (found.isEmpty()) continue;
        need = view->fontMetrics().horizontalAdvance(longName) + view->iconSize().width();
        has = view->visualRect(found.first()).width();
        pane = view->viewport()->width();
      }
    });
    ASSERT_GT(pane, need) << "the pane has the room";
    EXPECT_GE(has, need) << "the name is cut";
  }
}

// A small document window keeps its status texts apart: "Modified" whole, the name after it.
TEST_P(LayoutTest, ASmallDocumentWindowKeepsItsStatusTextsApart) {
  TfrmMain& main = OpenMain();
  TMDIChild* doc = main.OpenFile(Gif(QStringLiteral("sprite.gif"), 2));
  ASSERT_NE(doc, nullptr);
  TMDIChildWindow* window = main.WindowFor(doc);
  ASSERT_NE(window, nullptr);
  doc->Modified = true;
  window->UpdateState();
  QApplication::processEvents();
  auto* bar = window->findChild<QStatusBar*>();
  ASSERT_NE(bar, nullptr);
  int seen = 0, right = -1;
  QList<QLabel*> panels;
  for (QLabel* panel : bar->findChildren<QLabel*>())
    if (panel->isVisible() && !panel->text().isEmpty()) panels.append(panel);
  for (QLabel* panel : panels) {
    const QRect at(panel->mapTo(bar, panel->contentsRect().topLeft()), panel->contentsRect().size());
    // The last panel holds the name and takes what is left of the bar.
    if (panel != panels.last()) {
      EXPECT_GE(at.width(), panel->fontMetrics().horizontalAdvance(panel->text())) << panel->text().toStdString();
    }
    EXPECT_GT(at.left(), right) << panel->text().toStdString() << " runs into the text before it";
    right = at.left() + panel->fontMetrics().horizontalAdvance(panel->text());
    ++seen;
  }
  EXPECT_GE(seen, 2) << "the mark, \"Modified\" and the name";
}

INSTANTIATE_TEST_SUITE_P(Fonts, LayoutTest, ::testing::Values(1.0, 1.5), [](const auto& info) {
  return info.param == 1.0 ? std::string("DefaultFont") : std::string("LargerFont");
});

}  // namespace
}  // namespace movinta::editor::testing
