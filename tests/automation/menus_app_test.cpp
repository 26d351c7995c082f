// The running editor's menu tree as scripts address it, and its commands following the documents:
// the paths scripts write, the menu-item objects on built-in items, and the Window and export
// commands with documents open, over the real main window and its automation server.
#include "automation/automation_server.h"
#include "automation/wiring/editor_automation.h"
#include "automation/menu_item.h"
#include "tests/editor_app/app_fixture.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include <set>

namespace movinta::editor {
namespace {

// The Qt environment is the one addins_app_test.cpp registers for this program.

QString S(const char* s) { return QString::fromUtf8(s); }

class MenusAppTest : public testing::AppTest {
protected:
  TfrmMain& Start() {
    TfrmMain& main = OpenMain({}, false);
    server_ = std::make_unique<wiring::TEditorAutomation>(main);
    main.show();
    QCoreApplication::processEvents();
    return main;
  }
  automation::TGIFApplication& App() { return *server_->Application(); }
  std::shared_ptr<automation::TIntfMenuItem> Menu(const char* path) { return App().Menu(S(path)); }
  void TearDown() override {
    server_.reset();
    AppTest::TearDown();
  }

  std::unique_ptr<wiring::TEditorAutomation> server_;
};

TEST_F(MenusAppTest, ThePathsScriptsWriteResolveAndTheMainMenuKeepsItsOrder) {
  TfrmMain& main = Start();
  const char* const paths[] = {
      "File|New",
      "File|Open...",
      "File|Save",
      "File|Save As",
      "File|Save As|Save As Animated GIF (.gif)...",
      "File|Save As|Save As Macromedia Flash (.swf)...",
      "File|Save All",
      "File|Import|AVI Animation",
      "File|Export|Single Images...",
      "File|Export|As AVI Animation...",
      "File|Export|As HTML Page...",
      "File|Export|Save As Macromedia Flash (.swf)...",
      "File|Close",
      "File|Close All",
      "Edit|Undo",
      "Edit|Paste Comments",
      "Tools|Frame Inspector",
      "Tools|HTML Code...",
      "Animation|Play Animation",
      "Animation|Pause Animation",
      "Window|Next Document",
      "Window|Previous Document",
      "Window|Cascade",
      "Window|Tile Horizontally",
      "Window|Tile Vertically",
      "Help|Contents...",
      "Help|Support Online",
  };
  for (const char* path : paths) EXPECT_TRUE(App().MenuExists(S(path))) << path;

  QStringList order;
  for (QAction* top : main.menuBar()->actions()) order << QString(top->text()).remove(QLatin1Char('&'));
  EXPECT_EQ(order, QStringList({"File", "Edit", "View", "Tools", "Frame", "Animation", "Plug-ins", "Window", "Help"}));
  EXPECT_EQ(Menu("Plug-ins")->MenuIndex(), 6);
  EXPECT_EQ(Menu("Window")->MenuIndex(), 7);
  EXPECT_EQ(Menu("Help")->MenuIndex(), 8);
  // A Thumbnails item also sits in the image browser's pop-up; its place is the one in the menu.
  EXPECT_EQ(Menu("View|Thumbnails")->SubItem(1)->MenuIndex(), 1);
  // The Flash movie is a format of Save As and an export: the item at each path has its place there.
  EXPECT_EQ(Menu("File|Save As|Save As Macromedia Flash (.swf)...")->MenuIndex(), 1);
  EXPECT_EQ(Menu("File|Export|Save As Macromedia Flash (.swf)...")->MenuIndex(), 3);
  EXPECT_EQ(Menu("File|Export")->SubItem(3)->MenuIndex(), 3);
  // Frame > Frame Size: each item's tag is the size it chooses.
  auto sizes = Menu("Frame|Frame Size");
  ASSERT_EQ(sizes->SubItemCount(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(sizes->SubItem(i)->Tag(), 80 + 16 * i) << sizes->SubItem(i)->Caption().toStdString();

  // View > Toolbars: the items' tags name their toolbars, and a script's tag is kept.
  auto toolbars = Menu("View|Toolbars");
  ASSERT_EQ(toolbars->SubItemCount(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(toolbars->SubItem(i)->Tag(), i);
  // An item is checked while its toolbar shows, however the toolbar was hidden.
  main.findChild<QToolBar*>(S("tbStandard"))->hide();
  QCoreApplication::processEvents();
  EXPECT_FALSE(toolbars->SubItem(0)->Checked());
  Menu("Help|Support Online")->SetTag(7);
  EXPECT_EQ(Menu("Help|Support Online")->Tag(), 7);
}

// Walks every menu of the main menu: within one, no two items share a mnemonic letter.
void ExpectDistinctMnemonics(const QMenu& menu, const QString& path) {
  std::set<QChar> letters;
  for (const QAction* item : menu.actions()) {
    if (item->isSeparator()) continue;
    const QString text = item->text();
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
      if (text[i] != QLatin1Char('&')) continue;
      if (text[i + 1] == QLatin1Char('&')) {
        ++i;
        continue;
      }
      EXPECT_TRUE(letters.insert(text[i + 1].toLower()).second)
          << (path + QStringLiteral(" > ") + text).toStdString() << " repeats its mnemonic";
      break;
    }
    if (const QMenu* sub = item->menu()) ExpectDistinctMnemonics(*sub, path + QStringLiteral(" > ") + text);
  }
}

TEST_F(MenusAppTest, NoTwoItemsOfAMenuShareAMnemonic) {
  TfrmMain& main = Start();
  // With documents, so that the Window menu lists them.
  ASSERT_NE(main.OpenFile(Gif(S("a.gif"), 2)), nullptr);
  ASSERT_NE(main.OpenFile(Gif(S("b.gif"), 2)), nullptr);
  main.WindowMenu()->popup(QPoint(0, 0));
  main.WindowMenu()->hide();
  std::set<QChar> top;
  for (QAction* item : main.menuBar()->actions()) {
    const qsizetype at = item->text().indexOf(QLatin1Char('&'));
    if (at >= 0) {
      EXPECT_TRUE(top.insert(item->text()[at + 1].toLower()).second) << item->text().toStdString();
    }
    if (item->menu()) ExpectDistinctMnemonics(*item->menu(), item->text());
  }
}

TEST_F(MenusAppTest, WithTwoDocumentsTheWindowCommandsAreOnAndTile) {
  TfrmMain& main = Start();
  EXPECT_FALSE(Menu("Window|Cascade")->Enabled());
  ASSERT_NE(main.OpenFile(Gif(S("a.gif"), 2)), nullptr);
  ASSERT_NE(main.OpenFile(Gif(S("b.gif"), 2)), nullptr);
  QCoreApplication::processEvents();
  for (const char* item : {"Next Document", "Previous Document", "Cascade", "Tile Horizontally", "Tile Vertically",
                           "Minimize All", "Arrange All"})
    EXPECT_TRUE(Menu((std::string("Window|") + item).c_str())->Enabled()) << item;
  auto* cascade = qobject_cast<QToolButton*>(
      main.findChild<QToolBar*>(S("tbAnimation"))->widgetForAction(main.WindowCascade));
  ASSERT_NE(cascade, nullptr);
  EXPECT_TRUE(cascade->isEnabled());

  const QList<QMdiSubWindow*> windows = main.MdiArea()->subWindowList();
  ASSERT_EQ(windows.size(), 2);
  auto sideBySide = [&] { return windows[0]->geometry().top() == windows[1]->geometry().top(); };
  auto stacked = [&] { return windows[0]->geometry().left() == windows[1]->geometry().left(); };
  Menu("Window|Cascade")->Execute();
  EXPECT_FALSE(sideBySide() || stacked());
  Menu("Window|Tile Vertically")->Execute();
  EXPECT_TRUE(sideBySide() && !stacked());
  App().TileHorizontal();
  EXPECT_TRUE(stacked() && !sideBySide());
  App().Cascade();
  App().TileVertical();
  EXPECT_TRUE(sideBySide() && !stacked());
}

// Before the first document and after the last the sub-menus of File read as the menus show them.
TEST_F(MenusAppTest, SaveAsAndExportAreOffBeforeTheFirstDocumentAsAfterTheLast) {
  TfrmMain& main = Start();
  const char* const menus[] = {"File|Save As", "File|Export"};
  for (const char* path : menus) EXPECT_FALSE(Menu(path)->Enabled()) << path << " at start";
  ASSERT_NE(main.OpenFile(Gif(S("a.gif"), 2)), nullptr);
  QCoreApplication::processEvents();
  for (const char* path : menus) EXPECT_TRUE(Menu(path)->Enabled()) << path << " with a document";
  main.FileCloseAllExecute();
  main.TimerTimer();
  for (const char* path : menus) EXPECT_FALSE(Menu(path)->Enabled()) << path << " after Close All";
}

TEST_F(MenusAppTest, AnEmptyAnimationCannotBeExportedOrSavedAs) {
  TfrmMain& main = Start();
  ASSERT_NE(main.Documents().NewDocument(), nullptr);
  QCoreApplication::processEvents();
  for (const char* path : {"File|Export|Single Images...", "File|Export|As AVI Animation...",
                           "File|Export|As HTML Page...", "File|Export|Save As Macromedia Flash (.swf)...",
                           "File|Save As", "File|Save As|Save As Animated GIF (.gif)..."})
    EXPECT_FALSE(Menu(path)->Enabled()) << path;
  EXPECT_FALSE(main.FileSaveAs->isEnabled()) << "the toolbar's button";
  ASSERT_NE(main.OpenFile(Gif(S("a.gif"), 2)), nullptr);
  QCoreApplication::processEvents();
  for (const char* path : {"File|Export|As HTML Page...", "File|Save As|Save As Animated GIF (.gif)..."})
    EXPECT_TRUE(Menu(path)->Enabled()) << path;

  // While it plays, Save As and Undo are off like every other edit.
  main.ActiveDocument()->AddUndoEntry(TUndoKind::GraphicControl, TUndoOperation::Changed, -1, -1, 0, S("Change Delay"));
  main.ActiveDocument()->SetModified(true);
  ASSERT_TRUE(main.Player()->Playback().Play());
  EXPECT_FALSE(main.FileSaveAs->isEnabled());
  EXPECT_FALSE(main.FileSaveAsGif->isEnabled());
  EXPECT_FALSE(main.EditUndo->isEnabled());
  main.Player()->Playback().Stop(true);
  EXPECT_TRUE(main.FileSaveAs->isEnabled());
  EXPECT_TRUE(main.EditUndo->isEnabled());
}

TEST_F(MenusAppTest, AnItemAScriptPutIntoTheWindowMenuSurvivesItsShowing) {
  TfrmMain& main = Start();
  ASSERT_NE(main.OpenFile(Gif(S("a.gif"), 2)), nullptr);
  ASSERT_NE(main.OpenFile(Gif(S("b.gif"), 2)), nullptr);
  auto added = Menu("Window")->AddSubItem();
  added->SetCaption(S("Tidy Up"));
  auto cascade = Menu("Window|Cascade");
  for (int shown = 0; shown < 2; ++shown) {
    main.WindowMenu()->popup(QPoint(0, 0));
    QCoreApplication::processEvents();
    main.WindowMenu()->hide();
  }
  EXPECT_EQ(added->Caption(), S("Tidy Up"));
  EXPECT_TRUE(App().MenuExists(S("Window|Tidy Up")));
  EXPECT_EQ(cascade->Caption(), S("&Cascade")) << "the fixed items are the same objects";
  int listed = 0;
  for (QAction* item : main.WindowMenu()->actions()) listed += item->isCheckable() ? 1 : 0;
  EXPECT_EQ(listed, 2) << "one numbered item per document, made anew at each showing";
}

}  // namespace
}  // namespace movinta::editor
