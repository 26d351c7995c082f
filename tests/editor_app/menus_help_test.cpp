// The main window's menus: document-dependent items, the timer after the last close, Close All,
// the toolbar items, Tools > HTML Code, and the help pages the Help menu, F1 and the dialogs' Help
// buttons open (through a recording URL opener, over the help pages of the source tree).
#include "editor/document_tabs.h"
#include "editor/options_dialog.h"
#include "editor/forms/prompts.h"
#include "editor/wizards.h"
#include "editor/help_commands.h"
#include "editor/model/string_tables.h"
#include "editor/qt_services.h"
#include "editor/widget_helpers.h"
#include "tests/editor_app/app_fixture.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QUrl>
#include <QWidget>

namespace movinta::editor {
namespace {

using testing::AppTest;

QString S(const char* s) { return QString::fromLatin1(s); }

class RecordingOpener : public IUrlOpener {
public:
  RecordingOpener() { previous_ = SetUrlOpener(this); }
  ~RecordingOpener() override { SetUrlOpener(previous_); }
  bool Open(const QUrl& url) override {
    Opened.append(url);
    return true;
  }
  // The file names of local pages, the whole address of others.
  QStringList Names() const {
    QStringList out;
    for (const QUrl& url : Opened) out.append(url.isLocalFile() ? QFileInfo(url.toLocalFile()).fileName() : url.toString());
    return out;
  }
  QList<QUrl> Opened;

private:
  IUrlOpener* previous_;
};

// Points the shared data folder at another place for the test.
class ScopedDataDir {
public:
  explicit ScopedDataDir(const QString& folder)
      : old_(qgetenv("MOVINTA6_DATA_DIR")), hadOld_(qEnvironmentVariableIsSet("MOVINTA6_DATA_DIR")) {
    qputenv("MOVINTA6_DATA_DIR", folder.toLocal8Bit());
  }
  ~ScopedDataDir() {
    if (hadOld_)
      qputenv("MOVINTA6_DATA_DIR", old_);
    else
      qunsetenv("MOVINTA6_DATA_DIR");
  }

private:
  QByteArray old_;
  bool hadOld_;
};

QList<QAction*> AllItems(const QList<QAction*>& items) {
  QList<QAction*> out;
  for (QAction* item : items) {
    out.append(item);
    if (QMenu* sub = item->menu()) out.append(AllItems(sub->actions()));
  }
  return out;
}

class MenusTest : public AppTest {
protected:
  QAction* Item(const char* name) { return main_->findChild<QAction*>(S(name)); }
  void Edit(TMDIChild* d, int delay) {
    d->AddUndoEntry(TUndoKind::GraphicControl, TUndoOperation::Changed, -1, -1, 0, S("Change Delay"));
    SetFrameDelay(*SharedImage()->Images().GetFrame(0), delay);
    d->SetModified(true);
  }
  // Three modified documents, c in front.
  void OpenThreeModified() {
    for (const char* name : {"a.gif", "b.gif", "c.gif"}) {
      ASSERT_TRUE(main_->OpenGifDocument(Gif(S(name), 2)));
      Edit(main_->ActiveDocument(), 40);
    }
  }

  ScopedDataDir data_{S(MOVINTA_SOURCE_DIR "/editor/data")};
  RecordingOpener opener_;
};

TEST_F(MenusTest, DocumentDependentItemsAreEnabledExactlyWhileADocumentIsOpen) {
  TfrmMain& main = OpenMain();
  // An add-in's item, deep in a menu of its own, is marked the same way.
  QMenu* plugins = main.menuBar()->addMenu(S("Add-in"));
  QMenu* deep = plugins->addMenu(S("Deeper"));
  QAction* addIn = AddMenuItem(deep, S("Do it"), [] {}, S("hint"));
  SetDocumentDependent(addIn, true);
  main.UpdateDocumentMenus();
  QList<QAction*> dependent;
  for (QAction* item : AllItems(main.menuBar()->actions()))
    if (IsDocumentDependent(item)) dependent.append(item);
  ASSERT_GE(dependent.size(), 5);
  EXPECT_TRUE(dependent.contains(addIn));
  EXPECT_TRUE(dependent.contains(main.FileClose));
  auto enabled = [&dependent] {
    int n = 0;
    for (QAction* item : dependent) n += item->isEnabled() ? 1 : 0;
    return n;
  };
  EXPECT_EQ(enabled(), 0);
  EXPECT_TRUE(main.FileOpen->isEnabled()) << "items without a document stay";

  ASSERT_TRUE(main.OpenGifDocument(Gif(S("a.gif"), 2)));
  EXPECT_EQ(enabled(), dependent.size());
  Edit(main.ActiveDocument(), 30);
  EXPECT_TRUE(main.FileSave->isEnabled());

  messages_.Answers = {mrNo};
  // Timed from before the close, which starts the timer: a busy machine may pause between the two.
  QElapsedTimer clock;
  clock.start();
  main.FileCloseExecute();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_EQ(main.Documents().Count(), 0);
  // The closing window still counted as a document: the timer settles the menus afterwards.
  ASSERT_TRUE(main.Timer().isActive());
  EXPECT_EQ(main.Timer().interval(), 700);
  while (main.Timer().isActive() && clock.elapsed() < 5000) QTest::qWait(20);
  EXPECT_GE(clock.elapsed(), 600);
  EXPECT_FALSE(main.Timer().isActive());
  EXPECT_EQ(enabled(), 0);
  EXPECT_FALSE(main.FileSave->isEnabled());
  EXPECT_FALSE(main.FileSaveAll->isEnabled());
  EXPECT_TRUE(main.MdiTabPanel()->isHidden());
}

TEST_F(MenusTest, CloseAllAsksAtEachDocumentFromTheBackAndStopsAtCancel) {
  struct Case {
    std::deque<int> Answers;
    int Left;        // documents still open
    int Asked;       // save questions shown
    bool ASaved;     // a.gif written with the edit
  };
  const Case cases[] = {
      {{mrNo, mrNo, mrNo}, 0, 3, false},
      {{mrYes, mrNo, mrNo}, 0, 3, true},
      {{mrNo, mrCancel}, 2, 2, false},
      {{mrCancel}, 3, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Left * 10 + c.Asked);
    TfrmMain& main = OpenMain();
    OpenThreeModified();
    main.Timer().stop();
    messages_.Shown.clear();
    messages_.Answers = c.Answers;
    main.FileCloseAll->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(main.Documents().Count(), c.Left);
    ASSERT_EQ(static_cast<int>(messages_.Shown.size()), c.Asked);
    const char* const order[] = {"a.gif", "b.gif", "c.gif"};
    for (int i = 0; i < c.Asked; ++i) EXPECT_TRUE(messages_.Shown[static_cast<std::size_t>(i)].Text.contains(S(order[i])));
    EXPECT_EQ(GetFrameDelay(*ReadGifFile(Path(S("a.gif"))), 0) == 40, c.ASaved);
    if (c.Left > 0) {
      // What a cancel keeps stays as it was: tabs, commands, no reset.
      EXPECT_FALSE(main.MdiTabPanel()->isHidden());
      EXPECT_FALSE(main.Timer().isActive());
      EXPECT_EQ(main.DocumentTabs()->count(), c.Left);
      EXPECT_TRUE(main.FileCloseAll->isEnabled());
      EXPECT_NE(main.ActiveDocument(), nullptr);
    } else {
      EXPECT_TRUE(main.MdiTabPanel()->isHidden());
      EXPECT_TRUE(main.Timer().isActive());
    }
    CloseMain();
  }
}

TEST_F(MenusTest, ExitAsksEveryDocumentFromTheBackAndClosesNoneUntilAllHaveAgreed) {
  struct Case {
    std::deque<int> Answers;
    int Left;     // documents still open
    bool ASaved;  // a.gif written with the edit
  };
  const Case cases[] = {
      {{mrNo, mrNo, mrCancel}, 3, false},
      {{mrYes, mrNo, mrCancel}, 3, true},
      {{mrNo, mrYes, mrNo}, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Answers.size() * 10 + c.Left);
    TfrmMain& main = OpenMain();
    OpenThreeModified();
    messages_.Shown.clear();
    messages_.Answers = c.Answers;
    main.FileExit->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(main.Documents().Count(), c.Left);
    ASSERT_EQ(messages_.Shown.size(), 3u) << "one question for each document";
    const char* const order[] = {"a.gif", "b.gif", "c.gif"};
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(messages_.Shown[static_cast<std::size_t>(i)].Text.contains(S(order[i])));
    EXPECT_EQ(GetFrameDelay(*ReadGifFile(Path(S("a.gif"))), 0) == 40, c.ASaved);
    EXPECT_EQ(main.isVisible(), c.Left > 0);
    if (c.Left > 0) {
      EXPECT_EQ(main.DocumentTabs()->count(), 3);
      for (int i = 0; i < 3; ++i) EXPECT_EQ(main.Documents().At(i)->Modified, !(c.ASaved && i == 0)) << i;
    }
    CloseMain();
  }
}

TEST_F(MenusTest, ToolbarItemsShowAndHideTheToolbarOfTheirTag) {
  TfrmMain& main = OpenMain();
  const char* const toolbarOfTag[] = {"tbStandard", "tbAnimation", "tbFrame"};
  const QList<QAction*> items = main.ToolbarItems();
  ASSERT_EQ(items.size(), 3);
  for (int t = 0; t < 3; ++t) main.findChild<QToolBar*>(S(toolbarOfTag[t]))->setVisible(true);
  for (QAction* item : items) item->setChecked(true);
  for (QAction* item : items) {
    const int tag = item->property("tag").toInt();
    ASSERT_GE(tag, 0);
    ASSERT_LT(tag, 3);
    QToolBar* own = main.findChild<QToolBar*>(S(toolbarOfTag[tag]));
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_TRUE(own->isHidden()) << toolbarOfTag[tag];
    int shown = 0;
    for (const char* name : toolbarOfTag) shown += main.findChild<QToolBar*>(S(name))->isHidden() ? 0 : 1;
    EXPECT_EQ(shown, 2) << "only the item's own toolbar goes";
    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_FALSE(own->isHidden());
  }
}

TEST_F(MenusTest, HtmlCodeNeedsADocumentAndShowsItsImageTag) {
  TfrmMain& main = OpenMain();
  main.mniToolsClick();
  EXPECT_FALSE(main.mniToolsHTML->isEnabled());
  ASSERT_TRUE(main.OpenGifDocument(Gif(S("a b.gif"), 2)));
  main.mniToolsClick();
  EXPECT_TRUE(main.mniToolsHTML->isEnabled());
  QString fileName, html;
  int page = -1;
  main.RunDialog = [&](QDialog& dialog) {
    auto& prompts = dynamic_cast<forms::TfrmPrompts&>(dialog);
    page = prompts.Page();
    fileName = prompts.txtFileName->text();
    html = prompts.txtHTML->toPlainText();
    return static_cast<int>(QDialog::Rejected);
  };
  main.mniToolsHTML->trigger();
  EXPECT_EQ(page, 6);
  EXPECT_EQ(fileName, S("a b.gif"));
  EXPECT_TRUE(html.contains(S("a b.gif"))) << html.toStdString();
}

TEST_F(MenusTest, EveryHelpItemOpensItsPage) {
  // Every page the program names is installed.
  for (int context : HelpPageContexts())
    EXPECT_TRUE(QFileInfo(QDir(HelpFolder()).filePath(HelpPageName(context))).isFile()) << context;

  TfrmMain& main = OpenMain();
  QStringList dialogs;
  main.RunDialog = [&dialogs](QDialog& dialog) {
    if (auto* w = dynamic_cast<forms::TfrmWizards*>(&dialog)) dialogs << S("wizards %1").arg(static_cast<int>(w->Mode()));
    if (auto* o = dynamic_cast<forms::TfrmOptions*>(&dialog)) dialogs << S("options %1").arg(static_cast<int>(o->Mode()));
    return static_cast<int>(QDialog::Rejected);
  };
  const QString site = S(kMakerWebPage);
  struct Case {
    const char* Item;
    QString Opened;  // the page, or the dialog shown
  };
  const Case cases[] = {
      {"HelpContents", S("index.html")},
      {"mniHelpHome", site},
      {"mniHelpOrder", site + S("sales/")},
      {"mniHelpSupport", site + S("help/")},
      {"HelpLiveHelp", site + S("help/live/")},
      {"mniHelpTips", S("wizards 3")},
      {"mniHelpWelcome", S("wizards 0")},
      {"mniHelpAbout", S("options %1").arg(static_cast<int>(forms::OptionsMode::About))},
  };
  for (const Case& c : cases) {
    opener_.Opened.clear();
    dialogs.clear();
    QAction* item = Item(c.Item);
    ASSERT_NE(item, nullptr) << c.Item;
    EXPECT_EQ(item->parent(), main.HelpMenu()) << c.Item;
    item->trigger();
    const QStringList got = opener_.Names() + dialogs;
    EXPECT_EQ(got, QStringList{c.Opened}) << c.Item;
  }
  EXPECT_EQ(Item("HelpContents")->shortcut(), QKeySequence(Qt::Key_F1));
  EXPECT_TRUE(messages_.Shown.empty());
}

TEST_F(MenusTest, EveryHelpPageLinksOnlyToPagesThatExist) {
  // The pages the program names, and every page they lead to.
  QStringList pages, queue;
  for (int context : HelpPageContexts()) queue << HelpPageName(context);
  const QRegularExpression link(S("(?:href|src)=\"([^\"#]*)[^\"]*\""));
  while (!queue.isEmpty()) {
    const QString page = queue.takeFirst();
    if (pages.contains(page)) continue;
    pages << page;
    QFile file(QDir(HelpFolder()).filePath(page));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page.toStdString();
    for (const auto& m : link.globalMatch(QString::fromUtf8(file.readAll()))) {
      const QString target = m.captured(1);
      if (target.isEmpty() || target.contains(QLatin1Char(':'))) continue;  // the page itself, or the web
      EXPECT_TRUE(QFileInfo(QDir(HelpFolder()).filePath(target)).isFile()) << page.toStdString() << " -> "
                                                                            << target.toStdString();
      if (target.endsWith(S(".html"))) queue << target;
    }
  }
  EXPECT_TRUE(pages.contains(S("image-browser.html")) && pages.contains(S("exports.html")));
}

TEST_F(MenusTest, F1InADialogWithoutAPageOfItsOwnOpensTheContents) {
  TfrmMain& main = OpenMain();
  ASSERT_TRUE(main.OpenGifDocument(Gif(S("a.gif"), 2)));
  main.RunDialog = [](QDialog& dialog) {
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    QTest::keyClick(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_F1);
    dialog.hide();
    return static_cast<int>(QDialog::Rejected);
  };
  struct Case {
    const char* Name;
    std::function<void()> Run;
  };
  const Case cases[] = {
      {"Options", [&main] { main.mniToolsOptionsClick(); }},
      {"About", [&main] { main.mniHelpAboutClick(); }},
      {"Plugin Info", [&main] { main.mniHelPluginInfoClick(); }},
  };
  for (const Case& c : cases) {
    opener_.Opened.clear();
    c.Run();
    EXPECT_EQ(opener_.Names(), QStringList{S("index.html")}) << c.Name;
  }
  // The exporter and the image browser have pages of their own.
  opener_.Opened.clear();
  main.mniFileExportImageClick();
  auto* exporter = qobject_cast<QDialog*>(QApplication::activeModalWidget());
  ASSERT_NE(exporter, nullptr);
  QTest::keyClick(exporter->focusWidget() ? exporter->focusWidget() : exporter, Qt::Key_F1);
  exporter->reject();
  ASSERT_NE(the_frmThumbWin, nullptr);
  QTest::keyClick(the_frmThumbWin, Qt::Key_F1);
  EXPECT_EQ(opener_.Names(), (QStringList{S("exports.html"), S("image-browser.html")}));
  EXPECT_TRUE(messages_.Shown.empty());
}

TEST_F(MenusTest, MissingHelpIsAnErrorMessage) {
  ScopedDataDir empty(tmp_.Path);
  OpenMain();
  Item("HelpContents")->trigger();
  ASSERT_EQ(messages_.Shown.size(), 1u);
  EXPECT_EQ(messages_.Shown[0].Type, MessageType::Error);
  EXPECT_TRUE(messages_.Saw(S("index.html")));
  // A context without a page says so too.
  EXPECT_FALSE(ShowHelpContext(12345));
  EXPECT_EQ(messages_.Shown.size(), 2u);
  EXPECT_TRUE(opener_.Opened.isEmpty());
}

TEST_F(MenusTest, F1AndTheHelpButtonOfADialogOpenItsPage) {
  TfrmMain& main = OpenMain();
  ASSERT_TRUE(main.OpenGifDocument(Gif(S("a.gif"), 2)));
  // Each run of the wizards dialog presses F1 inside it, then its Help button; the welcome dialog
  // then turns into the new-animation wizard and presses F1 again.
  main.RunDialog = [](QDialog& dialog) {
    auto& wizard = dynamic_cast<forms::TfrmWizards&>(dialog);
    wizard.setWindowModality(Qt::ApplicationModal);
    wizard.show();
    QTest::keyClick(wizard.btnHelp, Qt::Key_F1);
    EXPECT_TRUE(wizard.btnHelp->isVisible());
    wizard.btnHelp->click();
    if (wizard.Mode() == forms::WizardMode::Welcome) {
      wizard.btnNew->click();
      QTest::keyClick(&wizard, Qt::Key_F1);
    }
    wizard.hide();
    return static_cast<int>(QDialog::Rejected);
  };
  struct Case {
    std::function<void()> Run;
    QStringList Pages;
  };
  const Case cases[] = {
      {[&main] { main.mniHelpTipsClick(); }, {S("tips.html"), S("tips.html")}},
      {[&main] { main.FileNewExecute(); }, {S("new-animation-wizard.html"), S("new-animation-wizard.html")}},
      {[&main] { main.RunOptimizeWizard(); }, {S("optimization-wizard.html"), S("optimization-wizard.html")}},
      {[&main] { main.mniHelpWelcomeClick(); },
       {S("welcome.html"), S("welcome.html"), S("new-animation-wizard.html")}},
  };
  for (const Case& c : cases) {
    opener_.Opened.clear();
    c.Run();
    EXPECT_EQ(opener_.Names(), c.Pages);
  }
  EXPECT_TRUE(messages_.Shown.empty());
}

}  // namespace
}  // namespace movinta::editor
