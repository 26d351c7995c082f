// Save, Save As and Save All, the sample-folder rule, the document tabs and the window commands.
#include "app_fixture.h"

#include "controls/shell/dialogs/ptopendlg.h"
#include "editor/document_tabs.h"
#include "editor/wizards.h"
#include "editor/model/save_rules.h"

#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

namespace movinta::editor {
namespace {

[[maybe_unused]] auto* const kQt = ::testing::AddGlobalTestEnvironment(new testing::QtEnvironment);

using testing::AppTest;

// ---- rules without a window

TEST(SaveRules, SampleFolderRuleFindsAFreeNameInTheWorkingFolder) {
  testing::ScopedTmpDir tmp;
  const QString sample = tmp.Path + QStringLiteral("/images");
  const QString working = tmp.Path + QStringLiteral("/working");
  for (const QString& f : {sample, working, sample + QStringLiteral("/deeper")}) QDir().mkpath(f);
  auto seven = [](int n) { return n > 7 ? 7 : 0; };
  const QString inSample = sample + QStringLiteral("/a.gif");
  const QString w = working + QLatin1Char('/');

  struct Case {
    const char* Why;
    QString File;
    QStringList Existing;  // in the working folder
    QString Working;
    QString Expected;
  };
  const Case cases[] = {
      {"outside the sample folder", tmp.Path + QStringLiteral("/a.gif"), {}, working, tmp.Path + QStringLiteral("/a.gif")},
      {"below the sample folder", sample + QStringLiteral("/deeper/a.gif"), {}, working,
       sample + QStringLiteral("/deeper/a.gif")},
      {"free name", inSample, {}, working, w + QStringLiteral("a.gif")},
      {"taken: the random number", inSample, {QStringLiteral("a.gif")}, working, w + QStringLiteral("a7.gif")},
      {"random one taken too: the first free",
       inSample,
       {QStringLiteral("a.gif"), QStringLiteral("a7.gif"), QStringLiteral("a0.gif")},
       working,
       w + QStringLiteral("a1.gif")},
      {"no working folder", inSample, {}, QString(), QString()},
  };
  for (const Case& c : cases) {
    for (const QString& f : QDir(working).entryList(QDir::Files)) QFile::remove(w + f);
    for (const QString& f : c.Existing) testing::WriteBytes(w + f, "x");
    EXPECT_EQ(SampleFolderSavePath(c.File, sample, c.Working, seven), c.Expected) << c.Why;
  }
}

TEST(SaveRules, HtmlPageIsTheTemplateWithTheNameEncoded) {
  const QString expected = QStringLiteral(
      "<HTML>\r\n<HEAD>\r\n  <META NAME=\"GENERATOR\" CONTENT=\"GIF Movinta - by Larkspur Software\">\r\n"
      "  <TITLE></TITLE>\r\n</HEAD>\r\n\r\n<BODY BGCOLOR=\"#FFFFFF\">\r\n"
      "<IMG SRC=\"my%20anim%20%C3%BC%26%22.gif\" ALT=\"Animated Image\" HEIGHT=\"80\" WIDTH=\"120\">\r\n"
      "</BODY></HTML>\r\n");
  EXPECT_EQ(HtmlPageText(QStringLiteral("my anim \u00FC&\".gif"), 120, 80), expected);
}

TEST(SaveRules, NumberedNamesGoBeforeTheRealSuffix) {
  struct Case {
    const char* Chosen;
    int Frame;
    const char* Suffix;
    const char* Expected;
  };
  const Case cases[] = {
      {"/t/x.bmp", 0, "bmp", "/t/xZQ10.bmp"},     {"/t/x.bmp", 2, "bmp", "/t/xZQ12.bmp"},
      {"/t/anim.gif", 3, "gif", "/t/animZQ13.gif"}, {"/t/x.jpeg", 3, "jpg", "/t/xZQ13.jpeg"},
      {"/t/x", 3, "bmp", "/t/xZQ13.bmp"},         {"/t/a.b/x", 12, "gif", "/t/a.b/xZQ112.gif"},
      {"x.jpg", 0, "jpg", "xZQ10.jpg"},
      // Another export format's suffix gives way to the chosen one's; other endings are the name's.
      {"/t/x.gif", 1, "jpg", "/t/xZQ11.jpg"},     {"/t/x.JPG", 1, "bmp", "/t/xZQ11.bmp"},
      {"/t/x.Bmp", 1, "bmp", "/t/xZQ11.Bmp"},     {"/t/x.png", 1, "gif", "/t/x.pngZQ11.gif"},
      {"/t/shot.2024", 0, "jpg", "/t/shot.2024ZQ10.jpg"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(NumberedExportName(QString::fromUtf8(c.Chosen), c.Frame, QString::fromLatin1(c.Suffix)),
              QString::fromUtf8(c.Expected))
        << c.Chosen;
  const int quality[] = {100, 75, 50, 25, 1};
  for (int position = 0; position < 5; ++position) EXPECT_EQ(JpegQualityForTrack(position), quality[position]);
}

TEST(SaveRules, AnExportsSaveDialogStartsInAFolderItCanWriteTo) {
  QTemporaryDir home;
  const QByteArray oldHome = qgetenv("HOME");
  qputenv("HOME", home.path().toLocal8Bit());
  const QString saveFolder = home.filePath(QStringLiteral("save")), documents = home.filePath(QStringLiteral("docs"));
  const QString pictures = home.filePath(QStringLiteral("Pictures"));
  QDir().mkpath(saveFolder);
  QDir().mkpath(documents);
  const QString missing = home.filePath(QStringLiteral("installed/images"));
  struct Case {
    QString folder, document, expected;
  };
  const Case cases[] = {
      {saveFolder, documents + QStringLiteral("/a.gif"), saveFolder},
      {missing, documents + QStringLiteral("/a.gif"), documents},
      {missing, missing + QStringLiteral("/a.gif"), home.path()},
      {QString(), QString(), home.path()},
  };
  for (const Case& c : cases) EXPECT_EQ(SaveStartFolder(c.folder, c.document), c.expected) << c.folder.toStdString();
  QDir().mkpath(pictures);
  EXPECT_EQ(SaveStartFolder(missing, missing + QStringLiteral("/a.gif")), pictures) << "the user's Pictures folder";
  qputenv("HOME", oldHome);
}

// ---- the commands in the main window

class SavingTest : public AppTest {
protected:
  // An edit of frame 0's delay, recorded as the editor records it.
  void Modify(TMDIChild* d, int delay) {
    main_->ActivateChild(d);
    ASSERT_EQ(main_->ActiveDocument(), d);
    d->AddUndoEntry(TUndoKind::GraphicControl, TUndoOperation::Changed, -1, -1, 0, QStringLiteral("Change Delay"));
    SetFrameDelay(*SharedImage()->Images().GetFrame(0), delay);
    d->SetModified(true);
  }
  static int FirstDelayOnDisk(const QString& path) {
    std::unique_ptr<TGIFImage> image = ReadGifFile(path);
    return image ? GetFrameDelay(*image, 0) : -1;
  }
  TDocumentTabs& Tabs() { return *main_->DocumentTabs(); }

  testing::ScriptedChooser chooser_;
};

// The file is written on a thread of its own while the window goes on handling events: an event
// posted before Save is handled while the save still runs, and the file is the one saved. A close
// asked for meanwhile waits for the save: the window stays, with its document.
TEST_F(SavingTest, SaveKeepsTheWindowTurningWhileTheFileIsWritten) {
  TfrmMain& main = OpenMain();
  TMDIChild* d = main.OpenFile(Gif(QStringLiteral("a.gif"), 3));
  ASSERT_NE(d, nullptr);
  Modify(d, 44);
  messages_.Answers = {mrNo};  // were the unsaved document asked about, it would go unsaved
  bool handled = false, stillSaving = false, closed = true;
  QMetaObject::invokeMethod(
      &main,
      [&] {
        handled = true;
        stillSaving = d->Modified;
        closed = main.close();
      },
      Qt::QueuedConnection);
  main.FileSaveExecute();
  EXPECT_TRUE(handled) << "the event waited for the save to end";
  EXPECT_TRUE(stillSaving);
  EXPECT_FALSE(closed);
  EXPECT_TRUE(messages_.Shown.empty());
  ASSERT_EQ(main.Documents().Count(), 1);
  EXPECT_EQ(main.ActiveDocument(), d);
  EXPECT_FALSE(d->Modified);
  EXPECT_EQ(FirstDelayOnDisk(Path(QStringLiteral("a.gif"))), 44);
  EXPECT_TRUE(main.isEnabled());
}

TEST_F(SavingTest, SaveAllSavesEveryModifiedDocumentAskingOnlyForUntitledOnes) {
  TfrmMain& main = OpenMain();
  TMDIChild* a = main.OpenFile(Gif(QStringLiteral("a.gif"), 2));
  TMDIChild* b = main.OpenFile(Gif(QStringLiteral("b.gif"), 2));
  TMDIChild* c = main.Documents().NewDocument();
  ASSERT_TRUE(a && b && c);
  ReplaceSharedImage(testing::MakeAnimation(2));
  c->SetModified(true);
  TMDIChild* d = main.OpenFile(Gif(QStringLiteral("d.gif"), 1));  // unmodified: left alone
  const QByteArray dBytes = testing::FileBytes(Path(QStringLiteral("d.gif")));
  Modify(a, 71);
  Modify(b, 72);
  chooser_.Names.push_back(Path(QStringLiteral("c.gif")));

  main.FileSaveAllExecute();

  EXPECT_EQ(chooser_.Asked, QStringList{QStringLiteral("Untitled1.gif")});
  EXPECT_EQ(main.ActiveDocument(), b) << "the document active at the start ends in front";
  EXPECT_EQ(FirstDelayOnDisk(Path(QStringLiteral("a.gif"))), 71);
  EXPECT_EQ(FirstDelayOnDisk(Path(QStringLiteral("b.gif"))), 72);
  EXPECT_EQ(FirstDelayOnDisk(Path(QStringLiteral("c.gif"))), 10);
  EXPECT_EQ(testing::FileBytes(Path(QStringLiteral("d.gif"))), dBytes);
  for (TMDIChild* x : {a, b, c, d}) EXPECT_FALSE(x->Modified);
  EXPECT_EQ(c->FileName, Path(QStringLiteral("c.gif")));
  for (const char* name : {"a.gif", "b.gif", "c.gif"})
    EXPECT_TRUE(main.RecentFiles().contains(Path(QString::fromLatin1(name)))) << name;
  EXPECT_EQ(Tabs().tabText(2), QStringLiteral("c.gif"));
  EXPECT_FALSE(main.FileSaveAll->isEnabled());
}

TEST_F(SavingTest, SaveKeepsSamplesAsShippedAndSaveAsTakesANewName) {
  TfrmMain& main = OpenMain();
  const QString sample = Path(QStringLiteral("images"));
  const QString working = Path(QStringLiteral("working"));
  QDir().mkpath(sample);
  QDir().mkpath(working);
  TSaveCommands& commands = main.SaveCommands();
  commands.SampleFolder = sample;
  commands.WorkingFolder = [working] { return working; };
  commands.Random = [](int) { return 5; };
  const QString samplePath = Gif(QStringLiteral("images/s.gif"), 2);
  const QByteArray sampleBytes = testing::FileBytes(samplePath);
  testing::WriteBytes(working + QStringLiteral("/s.gif"), "someone else's");

  TMDIChild* s = main.OpenFile(samplePath);
  Modify(s, 55);
  main.FileSaveExecute();
  const QString saved = working + QStringLiteral("/s5.gif");
  EXPECT_EQ(s->FileName, saved);
  EXPECT_EQ(FirstDelayOnDisk(saved), 55);
  EXPECT_EQ(testing::FileBytes(samplePath), sampleBytes);
  EXPECT_EQ(testing::FileBytes(working + QStringLiteral("/s.gif")), QByteArray("someone else's"));
  EXPECT_TRUE(main.RecentFiles().contains(saved));
  EXPECT_EQ(Tabs().tabText(0), QStringLiteral("s5.gif"));
  EXPECT_TRUE(chooser_.Asked.isEmpty());

  // Save As: Cancel changes nothing; a name moves the document there.
  Modify(s, 66);
  main.FileSaveAsExecute();
  EXPECT_EQ(chooser_.Asked, QStringList{QString()}) << "Save As starts with an empty name";
  EXPECT_TRUE(s->Modified);
  EXPECT_EQ(s->FileName, saved);
  chooser_.Names.push_back(Path(QStringLiteral("other.gif")));
  main.FileSaveAsExecute();
  EXPECT_FALSE(s->Modified);
  EXPECT_EQ(FirstDelayOnDisk(Path(QStringLiteral("other.gif"))), 66);
  EXPECT_EQ(FirstDelayOnDisk(saved), 55);
  EXPECT_EQ(Tabs().tabText(0), QStringLiteral("other.gif"));
}

// Notes what the save dialog's help button would offer while each name is asked for.
class HelpWatchingChooser : public IFileChooser {
public:
  explicit HelpWatchingChooser(const TSaveDialogHelp& help) : help_(help) { previous_ = SetFileChooser(this); }
  ~HelpWatchingChooser() override { SetFileChooser(previous_); }
  std::optional<QString> ChooseSaveName(const QString&, const QString&, const QString&) override {
    Seen.push_back(help_.Active ? help_.Tag : -1);
    return std::nullopt;
  }
  std::vector<int> Seen;

private:
  const TSaveDialogHelp& help_;
  IFileChooser* previous_;
};

TEST_F(SavingTest, TheOptimizeButtonBelongsToSaveAndSaveAsOnly) {
  TfrmMain& main = OpenMain();
  TSaveDialogHelp& help = main.SaveCommands().DialogHelp();
  HelpWatchingChooser watch(help);
  TMDIChild* d = main.Documents().NewDocument();
  ReplaceSharedImage(testing::MakeAnimation(2));
  d->SetModified(true);
  main.FileSaveExecute();
  main.FileSaveAsExecute();
  EXPECT_EQ(watch.Seen, (std::vector<int>{0, 1}));
  EXPECT_FALSE(help.Active);

  // The dialog carries the button only while a command runs and a wizard exists.
  ptshell::TPTSaveDlg dialog;
  help.Prepare(dialog);
  EXPECT_FALSE(dialog.Options() & ptshell::ptofShowHelp);
  std::vector<int> wizardTags;
  bool after = false;
  help.OptimizeWizard = [&wizardTags](int tag) {
    wizardTags.push_back(tag);
    return true;
  };
  help.AfterOptimize = [&after] { after = true; };
  help.Prepare(dialog);
  EXPECT_FALSE(dialog.Options() & ptshell::ptofShowHelp);
  {
    SaveDialogHelpScope scope(help, 1);
    help.Prepare(dialog);
    EXPECT_TRUE(dialog.Options() & ptshell::ptofShowHelp);

    ptshell::TPTFrmOpenDlg form;
    form.SetOptions(form.Options() | ptshell::ptofShowHelp);
    help.SaveDlgFormShow(&form);
    EXPECT_EQ(form.HelpBtn->text(), QStringLiteral("Optimi&ze"));
    EXPECT_FALSE(help.dlgSaveHelp(&form)) << "the dialog stays open";
    EXPECT_EQ(wizardTags, std::vector<int>{1});
    EXPECT_TRUE(after);
    EXPECT_FALSE(form.HelpBtn->isEnabled());
    help.dlgSaveFormClose(&form);
    EXPECT_TRUE(form.HelpBtn->isEnabled());
  }
  EXPECT_FALSE(help.Active);
}

TEST_F(SavingTest, TheOptimizeButtonOffersSaveAndSaveAsEachTheirOwnOutput) {
  TfrmMain& main = OpenMain();
  ASSERT_TRUE(main.OpenFile(Gif(QStringLiteral("a.gif"), 3)));
  TSaveDialogHelp& help = main.SaveCommands().DialogHelp();
  struct Offered {
    bool Replace, CreateNew, ReplaceChecked;
    bool operator==(const Offered&) const = default;
  };
  std::vector<Offered> seen;
  main.RunDialog = [&seen](QDialog& dialog) {
    auto* wizard = qobject_cast<forms::TfrmWizards*>(&dialog);
    if (!wizard) return int(QDialog::Rejected);
    wizard->show();
    seen.push_back({wizard->optReplace->isVisible(), wizard->optCreateNew->isVisible(),
                    wizard->optReplace->isChecked()});
    wizard->hide();
    return int(QDialog::Rejected);
  };
  for (const int tag : {0, 1}) {
    SaveDialogHelpScope scope(help, tag);
    ptshell::TPTFrmOpenDlg form;
    form.SetOptions(form.Options() | ptshell::ptofShowHelp);
    EXPECT_FALSE(help.dlgSaveHelp(&form));
  }
  main.OptimizeActiveDocument();  // as Animation > Optimize runs it
  EXPECT_EQ(seen, (std::vector<Offered>{{true, false, true}, {false, true, false}, {true, true, true}}))
      << "Save replaces, Save As creates a new animation, the menu offers both";
}

TEST_F(SavingTest, SaveWithoutADocumentSwitchesTheSaveCommandsOff) {
  TfrmMain& main = OpenMain();
  for (QAction* a : {main.FileSave, main.FileSaveAs, main.FileSaveAll}) a->setEnabled(true);
  main.FileSaveExecute();
  for (QAction* a : {main.FileSave, main.FileSaveAs, main.FileSaveAll}) EXPECT_FALSE(a->isEnabled());
}

TEST_F(SavingTest, TabsFollowTheDocuments) {
  TfrmMain& main = OpenMain();
  EXPECT_TRUE(main.MdiTabPanel()->isHidden());
  TMDIChild* a = main.OpenFile(Gif(QStringLiteral("a.gif"), 2));
  TMDIChild* b = main.OpenFile(Gif(QStringLiteral("b.gif"), 2));
  QCoreApplication::processEvents();
  EXPECT_FALSE(main.MdiTabPanel()->isHidden());
  EXPECT_GE(Tabs().height(), Tabs().sizeHint().height()) << "the tabs can be seen";
  ASSERT_EQ(Tabs().count(), 2);
  EXPECT_EQ(Tabs().tabText(0), QStringLiteral("a.gif"));
  EXPECT_EQ(Tabs().tabText(1), QStringLiteral("b.gif"));
  EXPECT_EQ(Tabs().currentIndex(), 1);
  EXPECT_EQ(main.TabIndexForFile(Path(QStringLiteral("a.gif"))), 0);
  EXPECT_EQ(main.TabIndexForFile(Path(QStringLiteral("none.gif"))), -1);

  // The bullet comes with an edit and goes with the save.
  Modify(a, 40);
  EXPECT_TRUE(Tabs().ShowsBullet(0));
  EXPECT_FALSE(Tabs().ShowsBullet(1));
  EXPECT_EQ(Tabs().currentIndex(), 0);
  main.FileSaveExecute();
  EXPECT_FALSE(Tabs().ShowsBullet(0));

  // Choosing a tab brings its document forward; a click on a tab restores a minimised one.
  Tabs().setCurrentIndex(1);
  EXPECT_EQ(main.ActiveDocument(), b);
  main.SubWindowFor(b)->showMinimized();
  const QPoint on = Tabs().tabRect(1).center();
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(on), Tabs().mapToGlobal(QPointF(on)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&Tabs(), &press);
  EXPECT_FALSE(main.SubWindowFor(b)->isMinimized());

  // Hovering shows the full path; the pop-up closes the hovered tab's document.
  const QPoint over = Tabs().tabRect(0).center();
  QMouseEvent move(QEvent::MouseMove, QPointF(over), Tabs().mapToGlobal(QPointF(over)), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(&Tabs(), &move);
  EXPECT_EQ(Tabs().HoverTab(), 0);
  EXPECT_EQ(main.StatusTextOf(2), Path(QStringLiteral("a.gif")));
  Tabs().popTabPopup();
  EXPECT_TRUE(Tabs().popTabClose->isEnabled());
  Tabs().popTabCloseClick();
  QCoreApplication::processEvents();
  ASSERT_EQ(main.Documents().Count(), 1);
  EXPECT_EQ(main.Documents().At(0), b);
  ASSERT_EQ(Tabs().count(), 1);
  EXPECT_EQ(Tabs().tabText(0), QStringLiteral("b.gif"));

  main.Documents().Close(b);
  QCoreApplication::processEvents();
  EXPECT_EQ(Tabs().count(), 0);
  EXPECT_TRUE(main.MdiTabPanel()->isHidden());
}

TEST_F(SavingTest, WindowCommandsArrangeTheDocumentWindows) {
  TfrmMain& main = OpenMain();
  main.resize(900, 700);
  std::vector<TMDIChild*> docs;
  for (const char* name : {"a.gif", "b.gif", "c.gif"}) docs.push_back(main.OpenFile(Gif(QString::fromLatin1(name), 1)));
  QCoreApplication::processEvents();
  QMdiArea& area = *main.MdiArea();
  const QRect space = area.viewport()->rect();
  auto geometry = [&](int i) { return main.SubWindowFor(docs[static_cast<std::size_t>(i)])->geometry(); };

  main.TileChildren(0);  // side by side
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(geometry(i).top(), space.top());
    EXPECT_EQ(geometry(i).height(), space.height());
    EXPECT_EQ(geometry(i).left(), space.left() + i * (space.width() / 3));
  }
  main.TileChildren(1);  // one above the other
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(geometry(i).left(), space.left());
    EXPECT_EQ(geometry(i).width(), space.width());
    EXPECT_EQ(geometry(i).top(), space.top() + i * (space.height() / 3));
  }

  main.ActivateChild(docs[0]);
  main.WindowNextDocExecute();
  EXPECT_EQ(main.ActiveDocument(), docs[1]);
  main.WindowPrevDocExecute();
  main.WindowPrevDocExecute();
  EXPECT_EQ(main.ActiveDocument(), docs[2]) << "previous wraps round";

  main.MinimizeAll();
  main.ArrangeAll();
  int x = space.left();
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(main.SubWindowFor(docs[static_cast<std::size_t>(i)])->isMinimized());
    EXPECT_EQ(geometry(i).left(), x);
    EXPECT_EQ(geometry(i).bottom(), space.bottom());
    x += geometry(i).width();
  }
}

}  // namespace
}  // namespace movinta::editor
