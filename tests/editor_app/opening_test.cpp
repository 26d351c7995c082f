#include "app_fixture.h"

#include "editor/document_tabs.h"
#include "editor/document_window.h"
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
#include <QTest>
#include <QTimer>
#include <QUrl>

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
  a->AddUndoEntry(5, 3, -1, -1, 0, QStringLiteral("Change Delay"));
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
  const std::uint64_t budget = TGIFImage::DefaultMemoryBudget;
  for (const Case& c : cases) {
    testing::WriteBytes(Path(c.Name), c.Bytes);
    main.AddRecentFile(Path(c.Name));
    messages_.Shown.clear();
    TGIFImage::DefaultMemoryBudget = c.Budget ? c.Budget : budget;
    EXPECT_FALSE(main.OpenGifDocument(Path(c.Name)));
    TGIFImage::DefaultMemoryBudget = budget;
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

}  // namespace
}  // namespace movinta::editor
