#include "app_fixture.h"
#include "editor/command_line.h"
#include "editor/splash_screen.h"
#include "editor/start_page.h"
#include "editor/widget_helpers.h"

#include <QAction>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>
#include <QWindow>

#include <map>

namespace movinta::editor {
namespace {

[[maybe_unused]] auto* const kQt = ::testing::AddGlobalTestEnvironment(new testing::QtEnvironment);

using testing::AppTest;

TEST(CommandLineTest, SwitchesAreNeverTakenForFiles) {
  struct Case {
    QStringList Arguments;
    QString File;
    QString Automation;
    bool Waits;
  };
  const Case cases[] = {
      {{}, {}, {}, true},
      {{"a.gif"}, "a.gif", {}, true},
      {{"-Embedding"}, {}, "EMBEDDING", false},
      {{"--automation", "b.gif"}, "b.gif", "AUTOMATION", false},
      {{"-regserver"}, {}, "REGSERVER", false},
      {{"--UNREGSERVER"}, {}, "UNREGSERVER", false},
      {{"--no-splash", "c.gif", "d.gif"}, "c.gif", {}, false},
      {{"-unknown", "e.gif"}, "e.gif", {}, true},
      {{"--", "-f.gif"}, "-f.gif", {}, true},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(c.Arguments);
    EXPECT_EQ(line.FileName, c.File) << c.Arguments.join(' ').toStdString();
    EXPECT_EQ(line.AutomationSwitch, c.Automation) << c.Arguments.join(' ').toStdString();
    EXPECT_EQ(line.SplashWaits(), c.Waits) << c.Arguments.join(' ').toStdString();
  }
}

TEST_F(AppTest, WithoutAFileTheStartPagePlaysTheBundledAnimationUntilTheWindowIsResized) {
  TfrmMain& main = OpenMain();
  ASSERT_TRUE(the_frmThumbWin && the_frmFloat);
  EXPECT_EQ(the_frmThumbWin->windowTitle(), QStringLiteral("Image Browser"));
  EXPECT_EQ(the_frmFloat->windowTitle(), QStringLiteral("Frame Inspector"));
  EXPECT_TRUE(the_frmThumbWin->isVisible()) << "a first start shows the image browser";
  EXPECT_TRUE(main.ThumbView->isChecked());
  EXPECT_TRUE(the_frmFloat->isVisible());
  ASSERT_TRUE(main.StartPageShown());
  EXPECT_GT(main.StartPicture()->FrameCount(), 1);
  EXPECT_TRUE(messages_.Shown.empty());

  main.resize(main.width() + 40, main.height());
  QCoreApplication::processEvents();
  EXPECT_FALSE(main.StartPageShown());
  EXPECT_EQ(main.StartPicture()->FrameCount(), 0);
}

TEST_F(AppTest, TheCommandLineFileOpensInTheDeferredStartUpInsteadOfTheStartPage) {
  const QString a = Gif(QStringLiteral("a.gif"), 3);
  TfrmMain& main = OpenMain(a, false);
  EXPECT_EQ(main.Documents().Count(), 0) << "nothing opens while the windows are being made";
  main.show();
  QCoreApplication::processEvents();
  ASSERT_EQ(main.Documents().Count(), 1);
  EXPECT_EQ(main.Documents().Active()->FileName, a);
  EXPECT_FALSE(main.StartPageShown());
  EXPECT_EQ(main.RecentFiles(), QStringList{a});
  EXPECT_EQ(testing::Delays(*SharedImage()), (std::vector<int>{10, 20, 30}));
}

TEST_F(AppTest, AMissingOrUnsupportedCommandLineFileIsReportedAndOpensNothing) {
  struct Case {
    QString File;
    QString Message;
  };
  const Case cases[] = {
      {Path(QStringLiteral("gone.gif")), QStringLiteral("Could not open gone.gif. The file may have moved.")},
      {Path(QStringLiteral("notes.xyz")),
       QStringLiteral("Error loading notes.xyz! GIF Movinta does not support the file type or it is a corrupted file.")},
  };
  for (const Case& c : cases) {
    messages_.Shown.clear();
    TfrmMain& main = OpenMain(c.File);
    EXPECT_EQ(main.Documents().Count(), 0);
    ASSERT_EQ(messages_.Shown.size(), 1u) << c.File.toStdString();
    EXPECT_EQ(messages_.Shown[0].Text, c.Message);
    EXPECT_EQ(messages_.Shown[0].Type, MessageType::Warning);
    CloseMain();
  }
}

TEST_F(AppTest, DocumentMenusFollowTheDocumentsAndSettleAfterTheLastOneCloses) {
  TfrmMain& main = OpenMain();
  EXPECT_FALSE(main.FileClose->isEnabled());
  EXPECT_FALSE(main.FileSaveAs->isEnabled());
  main.OpenGifDocument(Gif(QStringLiteral("a.gif"), 2));
  EXPECT_TRUE(main.FileClose->isEnabled());
  EXPECT_TRUE(main.FileCloseAll->isEnabled());
  main.FileCloseAll->trigger();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(main.Documents().Count(), 0);
  EXPECT_TRUE(main.Timer().isActive());
  main.TimerTimer();
  EXPECT_FALSE(main.Timer().isActive());
  EXPECT_FALSE(main.FileClose->isEnabled());
  EXPECT_FALSE(main.FileSave->isEnabled());
  EXPECT_FALSE(main.FileSaveAll->isEnabled());
}

TEST_F(AppTest, SettingsWrittenAtExitAreReadAtTheNextStart) {
  {
    TfrmMain& main = OpenMain();
    main.setGeometry(40, 50, 700, 500);
    main.AddRecentFile(QStringLiteral("/x/old.gif"));
    main.AddRecentFile(QStringLiteral("/x/new.gif"));
    CloseMain();
  }
  TfrmMain& main = OpenMain(QString(), false);
  EXPECT_EQ(main.RecentFiles(), (QStringList{QStringLiteral("/x/new.gif"), QStringLiteral("/x/old.gif")}));
  EXPECT_EQ(main.geometry().size(), QSize(700, 500));
}

TEST_F(AppTest, AnInspectorHiddenOnceComesBackWithTheFirstFrameShown) {
  WriteSetting(QStringLiteral("FormPos\\Inspector"), QStringLiteral("HideOnce"), QString(), true, 1);
  TfrmMain& main = OpenMain();
  EXPECT_FALSE(main.mniToolInspector->isChecked());
  EXPECT_FALSE(the_frmFloat->isVisible());
  EXPECT_EQ(ReadSettingInt(QStringLiteral("FormPos\\Inspector"), QStringLiteral("HideOnce"), 1), 0);
  main.OpenGifDocument(Gif(QStringLiteral("a.gif"), 2));
  EXPECT_TRUE(main.mniToolInspector->isChecked());
  EXPECT_TRUE(the_frmFloat->isVisible());
}

// The tool windows belong to the main window: above it, but never above the questions it asks.
TEST_F(AppTest, ToolWindowsStayAboveTheMainWindowAndBelowItsQuestions) {
  TfrmMain& main = OpenMain();
  the_frmThumbWin->show();
  the_frmFloat->show();
  QCoreApplication::processEvents();
  for (QWidget* tool : {static_cast<QWidget*>(the_frmThumbWin), static_cast<QWidget*>(the_frmFloat)}) {
    SCOPED_TRACE(tool->windowTitle().toStdString());
    EXPECT_EQ(tool->windowType(), Qt::Tool);
    EXPECT_FALSE(tool->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    ASSERT_NE(tool->windowHandle(), nullptr);
    EXPECT_EQ(tool->windowHandle()->transientParent(), main.windowHandle());
  }
}

// Records, for each tool window, whether the main window was on the screen when the tool window
// showed, and how often it was raised.
class ToolWindowWatch : public QObject {
public:
  explicit ToolWindowWatch(const QWidget& main) : main_(main) {}
  void Watch(QWidget* tool) { tool->installEventFilter(this); }
  std::map<QObject*, bool> MainShownFirst;
  std::map<QObject*, int> Raised;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && !MainShownFirst.count(watched))
      MainShownFirst[watched] = main_.windowHandle() && main_.windowHandle()->isVisible();
    if (event->type() == QEvent::ZOrderChange) ++Raised[watched];
    return false;
  }

private:
  const QWidget& main_;
};

QList<QWidget*> Tools() { return {the_frmThumbWin, the_frmFloat}; }

// A window manager makes a window the tool window of its owner only when the owner is on the screen
// as the tool window maps: shown before, the inspector fell behind the main window at every click.
TEST_F(AppTest, ToolWindowsShowOnlyOnceTheMainWindowIsOnTheScreen) {
  TfrmMain& main = OpenMain(QString(), false);
  ToolWindowWatch watch(main);
  for (QWidget* tool : Tools()) watch.Watch(tool);
  main.show();
  QCoreApplication::processEvents();
  for (QWidget* tool : Tools()) {
    SCOPED_TRACE(tool->windowTitle().toStdString());
    EXPECT_TRUE(tool->isVisible());
    ASSERT_TRUE(watch.MainShownFirst.count(tool));
    EXPECT_TRUE(watch.MainShownFirst[tool]) << "shown while the main window was not yet on the screen";
    EXPECT_EQ(tool->windowHandle()->transientParent(), main.windowHandle());
  }
}

TEST_F(AppTest, ToolWindowsGoWithTheMinimisedMainWindowAndComeBackWithIt) {
  TfrmMain& main = OpenMain();
  the_frmThumbWin->show();
  the_frmFloat->close();  // closed by the user: stays closed
  QCoreApplication::processEvents();
  main.setWindowState(main.windowState() | Qt::WindowMinimized);
  QCoreApplication::processEvents();
  EXPECT_TRUE(the_frmThumbWin->isMinimized()) << "left on the desktop";
  main.setWindowState(main.windowState() & ~Qt::WindowMinimized);
  QCoreApplication::processEvents();
  EXPECT_TRUE(the_frmThumbWin->isVisible() && !the_frmThumbWin->isMinimized()) << "not back with the main window";
  EXPECT_FALSE(the_frmFloat->isVisible()) << "a closed tool window came back";
  EXPECT_TRUE(main.ThumbView->isChecked());
  EXPECT_FALSE(main.mniToolInspector->isChecked());

  the_frmFloat->show();
  main.setWindowState(Qt::WindowMinimized);
  QCoreApplication::processEvents();
  for (QWidget* tool : Tools()) EXPECT_TRUE(tool->isMinimized()) << tool->windowTitle().toStdString();
  main.setWindowState(Qt::WindowMaximized);
  QCoreApplication::processEvents();
  for (QWidget* tool : Tools())
    EXPECT_TRUE(tool->isVisible() && !tool->isMinimized()) << tool->windowTitle().toStdString();
}

TEST_F(AppTest, ToolWindowsComeBackAboveTheMainWindowWhenAModalDialogCloses) {
  TfrmMain& main = OpenMain();
  for (QWidget* tool : Tools()) tool->show();
  QCoreApplication::processEvents();
  ToolWindowWatch watch(main);
  for (QWidget* tool : Tools()) watch.Watch(tool);
  QMessageBox box(QMessageBox::Information, QStringLiteral("Movinta"), QStringLiteral("Done."), QMessageBox::Ok, &main);
  QTimer::singleShot(50, &box, [&box] { box.button(QMessageBox::Ok)->click(); });
  box.exec();
  QDialog dialog(&main);
  QTimer::singleShot(50, &dialog, [&dialog] { dialog.reject(); });
  dialog.exec();
  QCoreApplication::processEvents();
  for (QWidget* tool : Tools()) EXPECT_EQ(watch.Raised[tool], 2) << tool->windowTitle().toStdString();

  // A window that is not modal leaves them where they are.
  watch.Raised.clear();
  QWidget loose(&main, Qt::Window);
  loose.show();
  loose.hide();
  QCoreApplication::processEvents();
  for (QWidget* tool : Tools()) EXPECT_EQ(watch.Raised[tool], 0) << tool->windowTitle().toStdString();
}

// The browser's first place is below the main window, which at a larger text size fills the screen;
// a place kept from other screens may lie anywhere. Either way the browser starts on the screens.
TEST_F(AppTest, TheImageBrowserStartsOnTheScreens) {
  const QRect area = ScreensArea();
  struct Case {
    const char* What;
    bool Stored;
    QPoint At;
  };
  const Case cases[] = {
      {"first start below a main window as large as the screen", false, {}},
      {"kept below the screens", true, {area.left() + 10, area.bottom() + 40}},
      {"kept left of and above the screens", true, {area.left() - 5000, area.top() - 5000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    if (c.Stored) {
      WriteSetting(QStringLiteral("ThumbNails"), QStringLiteral("Left"), QString(), true, c.At.x());
      WriteSetting(QStringLiteral("ThumbNails"), QStringLiteral("Top"), QString(), true, c.At.y());
    }
    TfrmMain& main = OpenMain(QString(), false);
    main.setGeometry(area);
    the_frmThumbWin->PlaceBelow(main);
    main.show();
    QCoreApplication::processEvents();
    ASSERT_TRUE(the_frmThumbWin->isVisible());
    EXPECT_TRUE(area.contains(the_frmThumbWin->geometry()))
        << the_frmThumbWin->geometry().y() << " on a screen area " << area.height() << " high";
    CloseMain();
  }
}

TEST_F(AppTest, DisplayAnimationZeroShowsNoStartPage) {
  WriteSetting(QStringLiteral("Settings"), QStringLiteral("DisplayAnimation"), QString(), true, 0);
  TfrmMain& main = OpenMain();
  EXPECT_FALSE(main.StartPageShown());
}

TEST_F(AppTest, TheSplashClosesOnlyFromItsStartSpot) {
  TSplashScreen splash(testing::BuiltResourceLibrary());
  EXPECT_TRUE(splash.HasPicture());
  EXPECT_EQ(splash.size(), QSize(449, 301));
  EXPECT_EQ(splash.Shape2()->geometry(), QRect(282, 210, 151, 33));
  EXPECT_EQ(splash.Shape1()->toolTip(), QStringLiteral("Order this program Online now!"));
  splash.show();
  splash.Shape1MouseDown(Qt::RightButton, 1);
  EXPECT_TRUE(splash.isVisible());
  splash.Shape1MouseDown(Qt::LeftButton, 1);
  EXPECT_FALSE(splash.isVisible());
  EXPECT_EQ(splash.result(), QDialog::Accepted);

  TSplashScreen missing(Path(QStringLiteral("Nowhere.dll")));
  EXPECT_FALSE(missing.HasPicture());
  EXPECT_EQ(missing.size(), QSize(449, 301));
  EXPECT_TRUE(messages_.Saw(QStringLiteral("Could not load %1 library file.").arg(Path(QStringLiteral("Nowhere.dll")))));
}

TEST(StartPageTest, ComposesFramesOnTheLogicalScreenWithTheirDisposal) {
  auto image = testing::MakeAnimation(3, 4, 3);
  // The second frame covers only the top-left pixel and is removed to the background afterwards.
  gif::TGIFSubImage& second = *image->Images().GetFrame(1);
  second.SetBounds(0, 0, 1, 1);
  second.Data()[0] = 1;
  second.GraphicControlExtension()->SetDisposal(gif::dmBackground);
  const ComposedFrames composed = ComposeAnimation(*image);
  ASSERT_EQ(composed.Frames.size(), 3u);
  EXPECT_EQ(composed.Frames[1].size(), QSize(4, 3));
  EXPECT_EQ(composed.Frames[1].pixel(0, 0), qRgb(255, 255, 255));
  EXPECT_EQ(composed.Frames[1].pixel(3, 2), qRgb(0, 0, 0)) << "the first frame shows through";
  EXPECT_EQ(composed.DelaysMs, (std::vector<int>{100, 200, 300}));
}

}  // namespace
}  // namespace movinta::editor
