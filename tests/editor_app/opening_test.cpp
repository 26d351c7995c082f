#include "app_fixture.h"

#include "editor/document_tabs.h"
#include "editor/document_window.h"
#include "editor/forms/progress_window.h"
#include "editor/frame_strip.h"
#include "editor/qt_services.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <cstring>
#include <optional>

namespace movinta::editor {
namespace {

using testing::AppTest;

// The message names the file without its folder.
QString LoadError(const QString& path) {
  return QStringLiteral("Error loading %1! GIF Movinta does not support the file type or it is a corrupted file.")
      .arg(QFileInfo(path).fileName());
}

TEST_F(AppTest, AFailedOpenLeavesTheActiveDocumentAsItWas) {
  TfrmMain& main = OpenMain();
  TMDIChild* a = main.OpenFile(Gif(QStringLiteral("a.gif"), 2));
  ASSERT_TRUE(a);
  a->AddUndoEntry(TUndoKind::GraphicControl, TUndoOperation::Changed, -1, -1, 0, QStringLiteral("Change Delay"));
  SetFrameDelay(*SharedImage()->Images().GetFrame(0), 77);
  a->SetModified(true);
  const QString copy = a->WorkingCopy;
  const QByteArray copyBytes = testing::FileBytes(copy);

  struct Case {
    QString Name;
    QByteArray Bytes;
    QString Message;
    std::uint64_t Budget = 0;
  };
  const Case cases[] = {
      {QStringLiteral("cut.gif"), QByteArray("GIF89a\x04", 7), LoadError(Path(QStringLiteral("cut.gif")))},
      {QStringLiteral("noise.gif"), QByteArray("this is no picture"), LoadError(Path(QStringLiteral("noise.gif")))},
      {QStringLiteral("empty.gif"), QByteArray("GIF89a\x01\x00\x01\x00\x00\x00\x00\x3B", 14),
       QStringLiteral("Unable to decode %1. The file is could be corrupt.").arg(Path(QStringLiteral("empty.gif")))},
      // A valid 2000 x 2000 picture past a budget of 4 MB is too large, not corrupt.
      {QStringLiteral("large.gif"),
       QByteArray("GIF89a\xD0\x07\xD0\x07\x80\x00\x00\x00\x00\x00\xFF\xFF\xFF"
                  "\x2C\x00\x00\x00\x00\xD0\x07\xD0\x07\x00\x02\x02\x4C\x01\x00\x3B", 35),
       QStringLiteral("large.gif: Image needs more memory than allowed"), 4u << 20},
  };
  const std::uint64_t budget = gif::GIFDefaults().MemoryBudget;
  for (const Case& c : cases) {
    testing::WriteBytes(Path(c.Name), c.Bytes);
    main.AddRecentFile(Path(c.Name));
    messages_.Shown.clear();
    gif::GIFDefaults().MemoryBudget = c.Budget ? c.Budget : budget;
    EXPECT_FALSE(main.OpenGifDocument(Path(c.Name)));
    gif::GIFDefaults().MemoryBudget = budget;
    ASSERT_EQ(messages_.Shown.size(), 1u) << c.Name.toStdString();
    EXPECT_EQ(messages_.Shown[0].Text, c.Message);
    EXPECT_EQ(main.Documents().Count(), 1);
    EXPECT_EQ(main.Documents().Active(), a);
    EXPECT_TRUE(a->Loaded);
    EXPECT_EQ(testing::Delays(*SharedImage()), (std::vector<int>{77, 20}));
    EXPECT_EQ(testing::FileBytes(copy), copyBytes);
  }
  EXPECT_FALSE(main.RecentFiles().contains(Path(QStringLiteral("empty.gif"))))
      << "a GIF without a usable frame leaves the recent files";
  EXPECT_TRUE(main.RecentFiles().contains(Path(QStringLiteral("cut.gif"))));
}

// A frame the budget has no room for leaves the window and the strip's cells empty, never an
// abort, and the user hears why once.
TEST_F(AppTest, AFrameThatCannotBeMadeIsDrawnEmptyAndToldOnce) {
  TfrmMain& main = OpenMain();
  TMDIChild* d = main.OpenFile(Gif(QStringLiteral("a.gif"), 3));
  ASSERT_TRUE(d);
  TGIFImage& image = *SharedImage();
  const std::uint64_t budget = image.MemoryBudget;
  image.MemoryBudget = image.MemoryCost() + 16;
  messages_.Shown.clear();
  main.ShowFrame(1);
  main.RepaintFrameStrip();
  main.WindowFor(d)->grab();
  main.FrameStrip()->grab();
  QCoreApplication::processEvents();
  main.ShowFrame(2);
  main.FrameStrip()->grab();
  QCoreApplication::processEvents();
  EXPECT_TRUE(main.WindowFor(d)->View()->Picture().isNull());
  EXPECT_EQ(messages_.Count(QStringLiteral("Image needs more memory than allowed")), 1);
  EXPECT_EQ(main.Documents().Count(), 1);

  image.MemoryBudget = budget;
  main.ShowFrame(1);
  EXPECT_FALSE(main.WindowFor(d)->View()->Picture().isNull());
}

TEST_F(AppTest, AnOpenFileComesToTheFrontInsteadOfOpeningTwice) {
  TfrmMain& main = OpenMain();
  const QString pa = Gif(QStringLiteral("a.gif"), 2);
  const QString pb = Gif(QStringLiteral("b.gif"), 3);
  TMDIChild* a = main.OpenFile(pa);
  TMDIChild* b = main.OpenFile(pb);
  ASSERT_TRUE(a && b);
  EXPECT_FALSE(main.OpenGifDocument(pa));
  EXPECT_EQ(main.Documents().Count(), 2);
  EXPECT_EQ(main.Documents().Active(), a);
  EXPECT_EQ(main.MdiArea()->activeSubWindow(), main.SubWindowFor(a));
  EXPECT_EQ(testing::Delays(*SharedImage()), (std::vector<int>{10, 20}));
  EXPECT_TRUE(messages_.Shown.empty());
}

// The window's own message boxes, each answered as soon as it shows; their texts are kept.
class AnsweredBoxes {
public:
  explicit AnsweredBoxes(QWidget* parent) : routine_(parent) {
    previous_ = SetMessageRoutine(&routine_);
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && box->isVisible()) {
        Texts << box->text();
        box->accept();
      }
    });
    timer_.start();
  }
  ~AnsweredBoxes() { SetMessageRoutine(previous_); }
  QStringList Texts;

private:
  QtMessageRoutine routine_;
  IMessageRoutine* previous_;
  QTimer timer_;
};

TEST_F(AppTest, SwitchingToADocumentWhoseFileIsGoneIsRefusedAndEmptiesNothing) {
  TfrmMain& main = OpenMain();
  const QString pa = Gif(QStringLiteral("a.gif"), 2);
  const QString pb = Gif(QStringLiteral("b.gif"), 3);
  const QString pc = Gif(QStringLiteral("c.gif"), 4);
  TMDIChild* a = main.OpenFile(pa);
  TMDIChild* b = main.OpenFile(pb);
  TMDIChild* c = main.OpenFile(pc);
  ASSERT_TRUE(a && b && c);
  const QByteArray bBytes = testing::FileBytes(pb);
  ASSERT_TRUE(QFile::remove(pb));
  auto* tabs = main.findChild<TDocumentTabs*>(QStringLiteral("tabMDI"));
  auto* windowMenu = main.findChild<QMenu*>(QStringLiteral("mniWindow"));
  ASSERT_TRUE(tabs && windowMenu);

  const std::pair<const char*, std::function<void()>> roads[] = {
      {"a click on its tab", [&] { QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center()); }},
      {"its tab made current", [&] { tabs->setCurrentIndex(1); }},
      {"the Window menu",
       [&] {
         emit windowMenu->aboutToShow();
         for (QAction* item : windowMenu->actions())
           if (item->text().endsWith(pb)) item->trigger();
       }},
      {"the open-file test of automation", [&] { EXPECT_TRUE(main.BringOpenDocumentToFront(pb)); }},
  };
  AnsweredBoxes boxes(&main);
  for (const auto& [road, take] : roads) {
    SCOPED_TRACE(road);
    boxes.Texts.clear();
    take();
    QCoreApplication::processEvents();
    const QString told = boxes.Texts.join(QLatin1Char('|'));
    EXPECT_EQ(boxes.Texts.size(), 1) << told.toStdString();
    EXPECT_TRUE(told.contains(pb) && told.contains(QStringLiteral("gone"))) << told.toStdString();
    EXPECT_EQ(main.Documents().Active(), c);
    EXPECT_TRUE(c->Loaded);
    EXPECT_FALSE(b->Loaded);
    EXPECT_FALSE(b->Modified);
    EXPECT_EQ(testing::Delays(*SharedImage()), (std::vector<int>{10, 20, 30, 40}));
    EXPECT_EQ(main.FrameStrip()->ColumnCount(), 4);
    EXPECT_EQ(main.MdiArea()->activeSubWindow(), main.SubWindowFor(c));
    EXPECT_EQ(tabs->currentIndex(), 2);
  }

  // The others switch as before, and the document comes back with its file.
  boxes.Texts.clear();
  main.ActivateChild(a);
  EXPECT_EQ(main.Documents().Active(), a);
  EXPECT_EQ(testing::Delays(*SharedImage()), (std::vector<int>{10, 20}));
  testing::WriteBytes(pb, bBytes);
  tabs->setCurrentIndex(1);
  EXPECT_EQ(main.Documents().Active(), b);
  EXPECT_EQ(testing::Delays(*SharedImage()), (std::vector<int>{10, 20, 30}));
  EXPECT_TRUE(boxes.Texts.isEmpty());
}

TEST_F(AppTest, DroppedLocalFilesOpenByTypeInOrder) {
  TfrmMain& main = OpenMain();
  const QString pa = Gif(QStringLiteral("a.gif"), 2);
  const QString pb = Gif(QStringLiteral("b.gif"), 3);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(pa), QUrl(QStringLiteral("https://example.org/c.gif")), QUrl::fromLocalFile(pb)});
  EXPECT_TRUE(main.DropFiles(&data));
  ASSERT_EQ(main.Documents().Count(), 2);
  EXPECT_EQ(main.Documents().At(0)->FileName, pa);
  EXPECT_EQ(main.Documents().Active()->FileName, pb);
  EXPECT_EQ(main.RecentFiles(), (QStringList{pb, pa}));

  QMimeData remoteOnly;
  remoteOnly.setUrls({QUrl(QStringLiteral("https://example.org/c.gif"))});
  EXPECT_FALSE(main.DropFiles(&remoteOnly));
  EXPECT_EQ(main.Documents().Count(), 2);
}

TEST_F(AppTest, RecentFilesKeepTheNewestTenAndForgetMissingOnes) {
  TfrmMain& main = OpenMain();
  QStringList paths;
  for (int i = 0; i < 11; ++i) paths.append(QStringLiteral("/x/%1.gif").arg(i));
  for (const QString& p : paths) main.AddRecentFile(p);
  QStringList expected;
  for (int i = 10; i >= 1; --i) expected.append(paths[i]);
  EXPECT_EQ(main.RecentFiles(), expected) << "the eleventh pushes the oldest out";
  main.AddRecentFile(paths[5]);
  EXPECT_EQ(main.RecentFiles().size(), 10);
  EXPECT_EQ(main.RecentFiles().front(), paths[5]);
  EXPECT_EQ(main.RecentFiles().count(paths[5]), 1);
  const QList<QAction*> items = main.RecentFilesMenu()->actions();
  EXPECT_EQ(items[0]->text(), QStringLiteral("&0 /x/5.gif"));
  EXPECT_EQ(items[9]->text(), QStringLiteral("&9 /x/1.gif"));
  EXPECT_EQ(items[0]->statusTip(), QStringLiteral("Opens this file"));

  main.RecentFileClick(items[1]);  // /x/10.gif does not exist
  EXPECT_TRUE(messages_.Saw(QStringLiteral("Could not open /x/10.gif. The file may have moved.")));
  EXPECT_FALSE(main.RecentFiles().contains(QStringLiteral("/x/10.gif")));
  EXPECT_EQ(main.RecentFilesMenu()->actions()[1]->text(), QStringLiteral("&1 /x/9.gif"));

  const QString real = Gif(QStringLiteral("real.gif"), 2);
  main.AddRecentFile(real);
  main.RecentFileClick(main.RecentFilesMenu()->actions()[0]);
  ASSERT_EQ(main.Documents().Count(), 1);
  EXPECT_EQ(main.Documents().Active()->FileName, real);
}

// The file is read and decoded while the window goes on handling its events: an event posted
// before the open is handled during it, under the hourglass, with the document that was active
// still in the shared image; the frames are those the library reads from the file.
TEST_F(AppTest, AFileOpensWhileTheWindowGoesOnHandlingEvents) {
  TfrmMain& main = OpenMain();
  TMDIChild* first = main.OpenFile(Gif(QStringLiteral("first.gif"), 2));
  ASSERT_TRUE(first);
  const QString path = Gif(QStringLiteral("second.gif"), 5);
  bool opening = false;
  std::optional<bool> during, busy, firstStillShown;
  testing::PostedProbe posted;
  posted.Handled = [&] {
    during = opening;
    busy = BusyScope::Running();
    firstStillShown = main.Documents().Active() == first && SharedImage()->Images().GetCount() == 2;
  };
  posted.Post();
  opening = true;
  TMDIChild* second = main.OpenFile(path);
  opening = false;
  ASSERT_TRUE(second);
  ASSERT_TRUE(during.has_value()) << "the event loop had no turn while the file was read";
  EXPECT_TRUE(*during);
  EXPECT_TRUE(*busy);
  EXPECT_TRUE(*firstStillShown);
  gif::TGIFImage plain;
  plain.LoadFromFile(path.toStdString());
  ASSERT_EQ(SharedImage()->Images().GetCount(), plain.Images().GetCount());
  for (int i = 0; i < plain.Images().GetCount(); ++i) {
    const gif::TGIFSubImage& ours = *SharedImage()->Images().GetFrame(i);
    const gif::TGIFSubImage& theirs = *plain.Images().GetFrame(i);
    ASSERT_EQ(ours.DataSize(), theirs.DataSize());
    EXPECT_EQ(std::memcmp(ours.Data(), theirs.Data(), ours.DataSize()), 0) << "frame " << i;
  }
}

TEST_F(AppTest, WarningsOfTheGifLibraryAreShownWhenSwitchedOn) {
  QByteArray bytes = testing::FileBytes(Gif(QStringLiteral("a.gif"), 2));
  bytes.back() = '\x99';  // an unknown block where the trailer belongs
  testing::WriteBytes(Path(QStringLiteral("odd.gif")), bytes);
  testing::WriteBytes(Path(QStringLiteral("odd2.gif")), bytes);
  testing::WriteBytes(Path(QStringLiteral("odd3.gif")), bytes);

  WriteSetting(QStringLiteral("Settings"), QStringLiteral("Warnings"), QString(), true, 1);
  TfrmMain& main = OpenMain();
  messages_.Answers = {mrAbort};
  EXPECT_FALSE(main.OpenGifDocument(Path(QStringLiteral("odd.gif"))));
  ASSERT_EQ(messages_.Shown.size(), 2u);
  EXPECT_TRUE(messages_.Shown[0].Text.startsWith(
      QStringLiteral("A GIF process has resulted in a warning. The source is traced to ")));
  EXPECT_EQ(messages_.Shown[0].Buttons, Button(mrAbort) | Button(mrIgnore) | Button(mrAll));
  EXPECT_EQ(messages_.Shown[1].Text, LoadError(Path(QStringLiteral("odd.gif"))));
  EXPECT_EQ(main.Documents().Count(), 0);

  messages_.Shown.clear();
  messages_.Answers = {mrAll};
  EXPECT_TRUE(main.OpenGifDocument(Path(QStringLiteral("odd2.gif"))));
  EXPECT_EQ(messages_.Shown.size(), 1u) << "All silences the rest of the warnings";
  EXPECT_EQ(ReadSettingInt(QStringLiteral("Settings"), QStringLiteral("Warnings"), 1), 0);
  QCoreApplication::processEvents();
  messages_.Shown.clear();
  EXPECT_TRUE(main.OpenGifDocument(Path(QStringLiteral("odd3.gif"))));
  EXPECT_TRUE(messages_.Shown.empty());
}

// Work run aside on the working image gives its warnings to the window's handler on the window's
// thread, where the user is asked: Ignore lets the work go on, Abort ends it.
TEST_F(AppTest, WarningsOfWorkRunAsideAreAskedOnTheWindowsThread) {
  WriteSetting(QStringLiteral("Settings"), QStringLiteral("Warnings"), QString(), true, 1);
  TfrmMain& main = OpenMain();
  ASSERT_TRUE(main.OpenFile(Gif(QStringLiteral("a.gif"), 2)));
  class Asking : public IMessageRoutine {
  public:
    int Show(const QString&, MessageType, ButtonSet) override {
      OnWindowsThread.push_back(QThread::currentThread() == QCoreApplication::instance()->thread());
      return Answer;
    }
    std::vector<bool> OnWindowsThread;
    int Answer = mrIgnore;
  } asking;
  IMessageRoutine* previous = SetMessageRoutine(&asking);
  TGIFImage& image = *SharedImage();
  bool went = false;
  const auto work = [&] {
    image.Warning(&image, 1, "a colour index outside the table");
    went = true;
  };
  RunAsideOn(image, work);
  EXPECT_TRUE(went);
  asking.Answer = mrAbort;
  went = false;
  EXPECT_THROW(RunAsideOn(image, work), gif::GIFException);
  EXPECT_FALSE(went);
  SetMessageRoutine(previous);
  EXPECT_EQ(asking.OnWindowsThread, (std::vector<bool>{true, true}));
  EXPECT_TRUE(image.OnWarning && image.OnProgress) << "the image's own handlers are back";
}

TEST_F(AppTest, TheOpenCommandOpensEveryChosenFileAndRemembersTheFolder) {
  TfrmMain& main = OpenMain();
  const QString pa = Gif(QStringLiteral("a.gif"), 2);
  const QString pb = Gif(QStringLiteral("b.gif"), 3);
  QString filterAsked;
  main.ChooseOpenFiles = [&](const QString& filter, const QString&) {
    filterAsked = filter;
    return QStringList{pa, pb};
  };
  main.FileOpenExecute();
  EXPECT_EQ(filterAsked, QStringLiteral("GIF Images (*.gif)"));
  EXPECT_EQ(main.Documents().Count(), 2);
  QString folderAsked;
  main.ChooseOpenFiles = [&](const QString&, const QString& folder) {
    folderAsked = folder;
    return QStringList{};
  };
  main.FileOpenExecute();
  EXPECT_EQ(folderAsked, tmp_.Path);
}

// An animation of n x n pixels as users' files have them: the whole screen in red over the global
// table, a green frame of half the size at an offset with a table of its own, and the whole screen
// in blue with a table of its own. Plain colours keep the file small and quick to read.
void WriteLargeAnimation(const QString& path, int n) {
  gif::TGIFImage image;
  image.SetWidth(n);
  image.SetHeight(n);
  for (gif::TColor c : {0x000000u, 0x0000FFu}) image.GetGlobalColorMap().Add(c);
  struct Layout {
    int Left, Top, Size;
    gif::TColor Colour;  // a frame's own table when not red
  };
  const Layout layouts[] = {{0, 0, n, 0x0000FFu}, {n / 4, n / 4, n / 2, 0x00FF00u}, {0, 0, n, 0xFF0000u}};
  for (const Layout& l : layouts) {
    auto* frame = new gif::TGIFSubImage(&image);
    image.Add(frame);
    frame->SetBounds(l.Left, l.Top, l.Size, l.Size);
    if (l.Colour != 0x0000FFu)
      for (gif::TColor c : {0x000000u, l.Colour}) frame->ColorMap().Add(c);
    std::memset(frame->Data(), 1, frame->DataSize());
    SetFrameDelay(*frame, 10);
  }
  testing::WriteAnimation(image, path);
}

// What Qt warns of while it lives.
class QtWarnings {
public:
  QtWarnings() : previous_(qInstallMessageHandler(&Record)) { Texts().clear(); }
  ~QtWarnings() { qInstallMessageHandler(previous_); }
  static QStringList& Texts() {
    static QStringList texts;
    return texts;
  }

private:
  static void Record(QtMsgType, const QMessageLogContext&, const QString& text) { Texts() << text; }
  QtMessageHandler previous_;
};

bool CellsHavePictures(int count) {
  for (int i = 0; i < count; ++i)
    if (!SharedImage()->Images().GetFrame(i)->HasBitmap()) return false;
  return true;
}

// While the strip is laid out the window is kept painted and the frames render with progress in
// the status bar. A paint that rendered them with that progress pumped events inside itself, and
// the paint this gave the window ended the painter the first was drawing with.
TEST_F(AppTest, LargeAnimationsOpenBesideADocumentAndTheirCellsGetTheirPictures) {
  TfrmMain& main = OpenMain();
  testing::StatusBarProgress progress(main);
  // Every step pumps, as on a slow machine.
  const int interval = BusyScope::SetPumpInterval(0);
  TMDIChild* small = main.OpenFile(Gif(QStringLiteral("small.gif"), 2));
  ASSERT_TRUE(small);
  QtWarnings warnings;
  for (int n : {2000, 4096}) {
    const QString path = Path(QStringLiteral("large%1.gif").arg(n));
    WriteLargeAnimation(path, n);
    for (int run = 0; run < 10; ++run) {
      SCOPED_TRACE(::testing::Message() << n << " square, opening " << run);
      TMDIChild* large = main.OpenFile(path);
      ASSERT_TRUE(large);
      ASSERT_EQ(main.FrameStrip()->ColumnCount(), 3);
      for (int turn = 0; turn < 20 && !CellsHavePictures(3); ++turn) QCoreApplication::processEvents();
      EXPECT_TRUE(CellsHavePictures(3)) << "the cells painted before their pictures were ready are painted again";
      QCoreApplication::processEvents();
      const TFrameStrip& strip = *main.FrameStrip();
      const QImage cells = strip.widget()->grab().toImage();
      const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
      for (int cell = 0; cell < 3; ++cell)
        EXPECT_EQ(cells.pixelColor(cell * strip.CellWidth() + strip.CellWidth() / 2, strip.CellHeight() / 2),
                  colours[cell])
            << "cell " << cell;
      EXPECT_FALSE(main.ProgressBar()->isVisible());
      main.FileClose->trigger();
      QCoreApplication::processEvents();
      ASSERT_EQ(main.Documents().Count(), 1);
    }
  }
  BusyScope::SetPumpInterval(interval);
  main.ActivateChild(small);
  EXPECT_EQ(testing::Delays(*SharedImage()), (std::vector<int>{10, 20}));
  EXPECT_TRUE(warnings.Texts().filter(QStringLiteral("repaint")).isEmpty()) << warnings.Texts().join('\n').toStdString();
  EXPECT_TRUE(warnings.Texts().filter(QStringLiteral("painter")).isEmpty()) << warnings.Texts().join('\n').toStdString();
}

// A tiny file of four 8192 x 8192 frames, each a single pixel of data that the reader fills out: the
// window opens it when the memory budget has room for it and says why not when it has not.
TEST_F(AppTest, FourFramesOf8192SquareFromAFewBytesOpenOrAreToldTooLarge) {
  TfrmMain& main = OpenMain();
  testing::StatusBarProgress progress(main);
  QByteArray bytes("GIF89a\x00\x20\x00\x20\x80\x00\x00\x00\x00\x00\xFF\xFF\xFF", 19);
  for (int i = 0; i < 4; ++i)
    bytes += QByteArray("\x21\xF9\x04\x00\x0A\x00\x00\x00"
                        "\x2C\x00\x00\x00\x00\x00\x20\x00\x20\x00\x02\x02\x4C\x01\x00", 23);
  bytes += ';';
  const QString path = Path(QStringLiteral("huge.gif"));
  testing::WriteBytes(path, bytes);
  TMDIChild* d = main.OpenFile(path);
  for (int turn = 0; turn < 20 && d && !CellsHavePictures(main.FrameStrip()->ColumnCount()); ++turn)
    QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  if (d) {
    EXPECT_EQ(main.FrameStrip()->ColumnCount(), 4);
    EXPECT_EQ(main.Documents().Count(), 1);
  } else {
    EXPECT_EQ(messages_.Count(QStringLiteral("Image needs more memory than allowed")), 1);
    EXPECT_EQ(main.Documents().Count(), 0);
  }
}

// Whatever paint code calls, no event is handled inside the paint: the progress of the status bar
// and of the progress window, a pump of long work, work run aside.
TEST_F(AppTest, NothingPumpsEventsWhileAPaintIsDelivered) {
  TfrmMain& main = OpenMain();
  forms::TfrmProgress window(&main);
  window.Start(10, QStringLiteral("a.gif"));
  class Painted : public QWidget {
  public:
    std::function<void()> During;
    bool PainterKept = false;

  protected:
    void paintEvent(QPaintEvent*) override {
      QPainter p(this);
      p.fillRect(rect(), Qt::white);
      if (During) During();
      PainterKept = p.isActive();
      p.fillRect(rect(), Qt::red);
    }
  } widget;
  widget.resize(60, 40);
  widget.show();
  QCoreApplication::processEvents();
  const int interval = BusyScope::SetPumpInterval(0);
  BusyScope busy;
  int handled = 0;
  testing::PostedProbe posted;
  posted.Handled = [&] { ++handled; };
  const std::function<void()> calls[] = {
      [] { BusyScope::KeepPainted(true); },
      [&] { main.StatusProgress()->Progress(1, 50, QString()); },
      [&] { window.Step(5, QString(), QStringLiteral("half")); },
      [] {
        bool here = false;
        BusyScope::RunAside([&here] { here = QThread::currentThread() == QCoreApplication::instance()->thread(); });
        EXPECT_TRUE(here) << "work asked to run aside inside a paint runs at once";
      },
  };
  for (std::size_t i = 0; i < std::size(calls); ++i) {
    SCOPED_TRACE(::testing::Message() << "call " << i);
    widget.During = [&] {
      posted.Post();
      calls[i]();
    };
    widget.PainterKept = false;
    widget.repaint();
    widget.During = nullptr;
    EXPECT_EQ(handled, 0);
    EXPECT_TRUE(widget.PainterKept);
    BusyScope::KeepPainted(true);
    EXPECT_EQ(handled, 1) << "outside the paint the pump runs";
    handled = 0;
  }
  BusyScope::SetPumpInterval(interval);
}

}  // namespace
}  // namespace movinta::editor
