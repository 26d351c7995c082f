#include "editor/document_window.h"
#include "editor/frame_strip.h"
#include "editor/forms/frame_inspector.h"
#include "editor/model/registry.h"
#include "editor/property_panel.h"
#include "tests/editor_app/app_fixture.h"
#include "frames_fixture.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QMenu>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QToolBar>
#include <QToolButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

#include <algorithm>
#include <map>

#include <gtest/gtest.h>

namespace movinta::editor {
namespace {

[[maybe_unused]] auto* const kQt = ::testing::AddGlobalTestEnvironment(new testing::QtEnvironment);

QAction* FindAction(TfrmMain& main, const QString& text) {
  for (QAction* menu : main.menuBar()->actions())
    if (menu->menu())
      for (QAction* a : menu->menu()->actions())
        if (a->text() == text) return a;
  return nullptr;
}

using MainFramesTest = testing::AppTest;

TEST_F(MainFramesTest, TheStripShowsTheDocumentAndItsMenusEditIt) {
  TfrmMain& main = OpenMain();
  ASSERT_NE(main.OpenFile(Gif(QStringLiteral("a.gif"), 3)), nullptr);
  ASSERT_NE(main.FrameStrip(), nullptr);
  EXPECT_EQ(main.FrameStrip()->ColumnCount(), 3);
  EXPECT_EQ(main.FrameStrip()->SelectedFrame(), 0);

  QAction* left = FindAction(main, QStringLiteral("Move Frame &Left"));
  QAction* right = FindAction(main, QStringLiteral("Move Frame &Right"));
  ASSERT_TRUE(left && right);
  EXPECT_FALSE(left->isEnabled());
  EXPECT_TRUE(right->isEnabled());
  right->trigger();
  EXPECT_EQ(testing::Delays(*SharedImage()), (std::vector<int>{20, 10, 30}));
  EXPECT_EQ(main.FrameStrip()->SelectedFrame(), 1);
  main.ShowFrame(2);
  EXPECT_FALSE(right->isEnabled());
  EXPECT_TRUE(left->isEnabled());
}

TEST_F(MainFramesTest, ShowingAFrameWhilePlayingStopsPlayback) {
  TfrmMain& main = OpenMain();
  ASSERT_NE(main.OpenFile(Gif(QStringLiteral("a.gif"), 3)), nullptr);
  ASSERT_TRUE(main.Player()->Playback().Play());
  EXPECT_TRUE(main.FrameCommands().Playing());
  EXPECT_FALSE(FindAction(main, QStringLiteral("&Delete Frame"))->isEnabled());
  main.ShowFrame(1);
  EXPECT_FALSE(main.Player()->Playback().Playing());
  EXPECT_FALSE(main.FrameCommands().Playing());
  EXPECT_EQ(main.FrameStrip()->SelectedFrame(), 1);
  EXPECT_TRUE(FindAction(main, QStringLiteral("&Delete Frame"))->isEnabled());
}

TEST_F(MainFramesTest, ThePlayMenuListsTheDocumentsAndPlaysTheOneChosen) {
  TfrmMain& main = OpenMain();
  const QString a = Gif(QStringLiteral("a.gif"), 3);
  const QString b = Gif(QStringLiteral("b & c.gif"), 2);
  TMDIChild* first = main.OpenFile(a);
  ASSERT_NE(first, nullptr);
  TMDIChild* second = main.OpenFile(b);
  ASSERT_NE(second, nullptr);
  auto* menu = main.findChild<QMenu*>(QStringLiteral("popPlayAni"));
  ASSERT_NE(menu, nullptr);
  // It drops down from the Play button of the Animation toolbar.
  auto* button = main.findChild<QToolButton*>(QStringLiteral("btnPlay"));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->menu(), menu);
  EXPECT_EQ(button->defaultAction()->text(), QStringLiteral("&Play Animation"));
  EXPECT_EQ(button->parentWidget()->objectName(), QStringLiteral("tbAnimation"));
  auto names = [menu] {
    QStringList out;
    for (QAction* item : menu->actions()) out << item->data().toString();
    return out;
  };
  emit menu->aboutToShow();
  ASSERT_EQ(names(), (QStringList{second->FileName, first->FileName}));
  EXPECT_EQ(menu->defaultAction(), menu->actions().first());
  EXPECT_EQ(menu->actions().first()->text(), QString(second->FileName).replace(QStringLiteral("&"), QStringLiteral("&&")));

  menu->actions().last()->trigger();
  EXPECT_EQ(main.Documents().Active(), first);
  EXPECT_TRUE(main.Player()->Playback().Playing());
  EXPECT_EQ(SharedImage()->Images().GetCount(), 3);

  // The active document's item comes to the top; a closed document's item goes.
  emit menu->aboutToShow();
  EXPECT_EQ(names(), (QStringList{first->FileName, second->FileName}));
  main.Player()->Playback().Stop(true);
  main.Documents().FreeChildWindow(second);
  emit menu->aboutToShow();
  EXPECT_EQ(names(), QStringList{first->FileName});
}

TEST_F(MainFramesTest, AddFrameInsertsTheChosenPicturesAndStartsNextTimeInTheirFolder) {
  TfrmMain& main = OpenMain();
  ASSERT_NE(main.OpenFile(Gif(QStringLiteral("a.gif"), 3)), nullptr);
  QDir(tmp_.Path).mkdir(QStringLiteral("more"));
  const QString picture = Gif(QStringLiteral("more/one.gif"), 1);
  QStringList filters, folders;
  main.ChooseOpenFiles = [&](const QString& filter, const QString& folder) {
    filters << filter;
    folders << folder;
    return QStringList{picture, picture};
  };
  QAction* add = FindAction(main, QStringLiteral("&Add Frame..."));
  ASSERT_NE(add, nullptr);
  main.ShowFrame(0);
  add->trigger();
  EXPECT_EQ(SharedImage()->Images().GetCount(), 5);
  EXPECT_EQ(main.FrameStrip()->SelectedFrame(), 2);
  ASSERT_EQ(filters.size(), 1);
  EXPECT_TRUE(filters[0].startsWith(QStringLiteral("Image Files|*.gif;*.jpg;*.jpeg;*.bmp;")));
  EXPECT_TRUE(filters[0].endsWith(QStringLiteral("|All Files (*.*)|*.*")));
  add->trigger();
  ASSERT_EQ(folders.size(), 2);
  EXPECT_EQ(folders[1], QFileInfo(picture).absolutePath());
  EXPECT_EQ(SharedImage()->Images().GetCount(), 7);
  EXPECT_EQ(main.Documents().Active()->History.Count(), 4);
}

// Drags data over widget at a point and drops it there; true when the drop was taken.
bool DropOn(QWidget* widget, const QMimeData& data, QPoint at = {5, 5}, Qt::DropAction action = Qt::CopyAction) {
  QDragEnterEvent enter(at, action, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent dropped(QPointF(at), action, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &dropped);
  return dropped.isAccepted();
}

TEST_F(MainFramesTest, AFrameDraggedOntoAnotherDocumentIsInsertedThere) {
  TfrmMain& main = OpenMain();
  TMDIChild* a = main.OpenFile(Gif(QStringLiteral("a.gif"), 3));
  TMDIChild* b = main.OpenFile(Gif(QStringLiteral("b.gif"), 2));
  ASSERT_TRUE(a && b);
  main.ShowFrame(1);
  const QImage dragged = RenderFrame(*SharedImage(), 1);
  QMimeData data;
  data.setData(QString::fromLatin1(kFrameStripMimeType), QByteArray("1"));
  auto drop = [&](TMDIChild* onto) { return DropOn(main.WindowFor(onto), data, {5, 5}, Qt::MoveAction); };

  EXPECT_FALSE(drop(b));  // the strip's own document
  ASSERT_TRUE(main.Player()->Playback().Play());
  EXPECT_FALSE(drop(a));
  main.Player()->Playback().Stop(true);
  EXPECT_EQ(main.Documents().Active(), b);

  ASSERT_TRUE(drop(a));
  EXPECT_EQ(main.Documents().Active(), a);
  EXPECT_EQ(main.MdiArea()->activeSubWindow(), main.SubWindowFor(a));
  ASSERT_EQ(SharedImage()->Images().GetCount(), 4);
  EXPECT_EQ(RenderFrame(*SharedImage(), 1).convertToFormat(QImage::Format_ARGB32),
            dragged.convertToFormat(QImage::Format_ARGB32));
  EXPECT_EQ(a->History.LastCaption(), QStringLiteral("Drag and Drop Image"));
  EXPECT_TRUE(b->History.Count() == 0 && !b->Modified);
}

QAction* FindMenu(TfrmMain& main, const QString& text) {
  for (QAction* menu : main.menuBar()->actions())
    if (menu->text() == text) return menu;
  return nullptr;
}

TEST_F(MainFramesTest, TheDocumentShowsTheFrameInItsPlaceOnTheAnimationsScreen) {
  TfrmMain& main = OpenMain();
  const QString path = Path(QStringLiteral("real.gif"));
  testing::WriteAnimation(*testing::MakeRealisticAnimation(), path);
  TMDIChild* d = main.OpenFile(path);
  ASSERT_NE(d, nullptr);
  TMDIChildWindow* w = main.WindowFor(d);
  ASSERT_NE(w, nullptr);
  main.ShowFrame(1);  // 8 x 6 at 3,2 on a 16 x 12 screen
  EXPECT_EQ(w->View()->size(), QSize(16, 12));
  EXPECT_EQ(w->View()->FrameRect(), QRect(3, 2, 8, 6));
  EXPECT_EQ(w->StatusText(), QStringLiteral("real.gif - [Height: 12 x Width: 16]"));
  // An offset typed into the inspector shows at once.
  SharedImage()->Images().GetFrame(1)->SetLeft(5);
  main.ShowFrame(1);
  EXPECT_EQ(w->View()->FrameRect(), QRect(5, 2, 8, 6));

  // The moving picture covers the still one exactly.
  ASSERT_TRUE(main.Player()->Playback().Play());
  auto* picture = w->View()->findChild<QWidget*>(QStringLiteral("imgAni"));
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->geometry(), w->View()->rect());
  main.Player()->Playback().Stop(true);
}

TEST_F(MainFramesTest, SettingsMenusAndPanelsFollowTheDocumentsAndPlayback) {
  WriteSetting(QStringLiteral("Settings"), QStringLiteral("FrameSize"), QString(), true, 96);
  WriteSetting(QStringLiteral("Settings"), QStringLiteral("FrameWindowHeight"), QString(), true, 333);
  TfrmMain& main = OpenMain();
  EXPECT_EQ(main.FrameStrip()->FrameSize(), 96);
  EXPECT_EQ(main.findChild<QWidget*>(QStringLiteral("pnlFrameTab"))->height(), 333);
  auto* pnlFrame = main.findChild<QWidget*>(QStringLiteral("pnlFrame"));
  auto* pnlAnimation = main.findChild<QWidget*>(QStringLiteral("pnlAnimation"));
  ASSERT_TRUE(pnlFrame && pnlAnimation);
  EXPECT_FALSE(pnlFrame->isEnabled());
  EXPECT_FALSE(pnlAnimation->isEnabled());

  // View > Toolbars: each item shows its own toolbar.
  QAction* toolbars = nullptr;
  for (QAction* a : FindMenu(main, QStringLiteral("&View"))->menu()->actions())
    if (a->text() == QStringLiteral("&Toolbars")) toolbars = a;
  ASSERT_NE(toolbars, nullptr);
  for (QAction* item : toolbars->menu()->actions()) {
    const int tag = item->text() == QStringLiteral("&Standard") ? 0 : item->text() == QStringLiteral("&Frame") ? 1 : 2;
    item->setChecked(false);
    EXPECT_TRUE(main.Toolbar(tag)->isHidden()) << item->text().toStdString();
    item->setChecked(true);
    EXPECT_FALSE(main.Toolbar(tag)->isHidden()) << item->text().toStdString();
  }

  TMDIChild* d = main.OpenFile(Gif(QStringLiteral("a.gif"), 3));
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(pnlFrame->isEnabled());
  ASSERT_TRUE(main.Player()->Playback().Play());
  for (const char* name : {"&File", "&Edit", "&Tools", "&Window"})
    EXPECT_FALSE(FindMenu(main, QString::fromLatin1(name))->isEnabled()) << name;
  EXPECT_TRUE(FindMenu(main, QStringLiteral("&Animation"))->isEnabled());
  main.Player()->Playback().Stop(true);
  for (const char* name : {"&File", "&Edit", "&Tools", "&Window"})
    EXPECT_TRUE(FindMenu(main, QString::fromLatin1(name))->isEnabled()) << name;

  // Every spelling the Add Frame filter offers opens.
  for (const char* name : {"one.jpeg", "two.tiff"}) {
    QImage picture(3, 3, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const QString file = Path(QString::fromLatin1(name));
    const QByteArray format = name[4] == 'j' ? "jpeg" : "tiff";
    if (!QImageWriter::supportedImageFormats().contains(format)) continue;  // no writer for it here
    ASSERT_TRUE(picture.save(file, format.constData())) << name;
    main.ChooseOpenFiles = [file](const QString&, const QString&) { return QStringList{file}; };
    const int before = SharedImage()->Images().GetCount();
    FindAction(main, QStringLiteral("&Add Frame..."))->trigger();
    EXPECT_EQ(SharedImage()->Images().GetCount(), before + 1) << name;
  }
  EXPECT_TRUE(messages_.Shown.empty()) << messages_.Shown.front().Text.toStdString();

  // A size chosen in the menu is the one stored at exit.
  for (QAction* item : FindAction(main, QStringLiteral("Frame Si&ze"))->menu()->actions())
    if (item->text() == QStringLiteral("128 x 128")) item->trigger();
  EXPECT_EQ(main.FrameStrip()->FrameSize(), 128);
  main.Documents().FreeChildWindow(d);
  EXPECT_FALSE(pnlFrame->isEnabled());
  CloseMain();
  EXPECT_EQ(ReadSettingInt(QStringLiteral("Settings"), QStringLiteral("FrameSize"), 0), 128);
}

TEST_F(MainFramesTest, PanelsAndTheInspectorShowTheArrivingDocumentAndWhatUndoBroughtBack) {
  TfrmMain& main = OpenMain();
  EXPECT_EQ(main.mniToolInspector->text(), QStringLiteral("&Frame Inspector"));
  const QString three = Path(QStringLiteral("three.gif"));
  testing::WriteAnimation(*testing::MakeRealisticAnimation(), three);  // plays 3 times
  const QString endlessFile = Path(QStringLiteral("forever.gif"));
  auto endless = testing::MakeAnimation(2);
  AddLoopExtension(*endless, 0, 0);
  testing::WriteAnimation(*endless, endlessFile);
  TMDIChild* a = main.OpenFile(three);
  TMDIChild* b = main.OpenFile(endlessFile);
  ASSERT_TRUE(a && b);
  TPropertyPanel& panel = *main.PropertyPanel();
  forms::TfrmFloat& inspector = *main.Inspector();
  EXPECT_TRUE(panel.optLoopInfinite->isChecked());

  main.MdiArea()->setActiveSubWindow(main.SubWindowFor(a));
  ASSERT_EQ(main.Documents().Active(), a);
  EXPECT_TRUE(panel.optLoopTimes->isChecked());
  EXPECT_EQ(panel.txtLoop->value(), 3);
  EXPECT_EQ(inspector.windowTitle(), QStringLiteral("Frame Inspector - three.gif"));
  EXPECT_EQ(inspector.ValueText(3), QStringLiteral("0"));  // frame 0's X-Offset

  // Transparency set in the inspector and undone: the cell shows the frame's value again, and
  // the row's list does not open by itself.
  main.ShowFrame(1);
  inspector.gridSelectCell(7);
  inspector.SetValueText(7, QStringLiteral("Yes"));
  inspector.CommitEdit();
  EXPECT_TRUE(SharedImage()->Images().GetFrame(1)->Transparent());
  inspector.lbDrop->hide();
  main.EditUndo->trigger();
  EXPECT_FALSE(SharedImage()->Images().GetFrame(1)->Transparent());
  EXPECT_EQ(inspector.ValueText(7), QStringLiteral("No"));
  EXPECT_TRUE(inspector.lbDrop->isHidden());

  // A new, empty animation shows nothing of the one before.
  main.NewEmptyDocument();
  EXPECT_EQ(inspector.windowTitle(), QStringLiteral("Frame Inspector"));
  EXPECT_TRUE(inspector.ValueText(3).isEmpty());
  EXPECT_FALSE(main.findChild<QWidget*>(QStringLiteral("pnlFrame"))->isEnabled());
}

TEST_F(MainFramesTest, UndoShowsTheRowItChangedWithoutOpeningItsCell) {
  TfrmMain& main = OpenMain();
  const QString file = Path(QStringLiteral("three.gif"));
  testing::WriteAnimation(*testing::MakeRealisticAnimation(), file);
  ASSERT_TRUE(main.OpenFile(file));
  forms::TfrmFloat& inspector = *main.Inspector();
  inspector.show();
  main.ShowFrame(1);
  auto openCells = [&inspector] {
    int open = 0;
    for (int r = 0; r < inspector.grid->rowCount(); ++r)
      open += inspector.grid->indexWidget(inspector.grid->model()->index(r, 1)) != nullptr;
    return open;
  };
  for (const int delay : {55, 66, 77}) main.FrameCommands().ApplyDelayToSelection(delay);
  for (const int row : {3, 7, 4}) {
    SCOPED_TRACE(row);
    inspector.gridSelectCell(row, false);  // the row the user looked at last
    QCoreApplication::processEvents();
    main.EditUndo->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(inspector.SelectedRow, 10);  // Delay
    EXPECT_EQ(openCells(), 0);
  }
  EXPECT_EQ(inspector.ValueText(10), QString::number(GetFrameDelay(*SharedImage(), 1)));
}

// A clipboard holding text only.
class TextClipboard : public IClipboard {
public:
  explicit TextClipboard(QByteArray text) : text_(std::move(text)) { previous_ = SetClipboard(this); }
  ~TextClipboard() override { SetClipboard(previous_); }
  void SetData(const QString&, const QByteArray&) override {}
  QByteArray Data(const QString& mime) const override { return HasFormat(mime) ? text_ : QByteArray(); }
  bool HasFormat(const QString& mime) const override { return mime == QStringLiteral("text/plain"); }

private:
  QByteArray text_;
  IClipboard* previous_;
};

TEST_F(MainFramesTest, PasteOnTheInspectorsCommentsPageAddsAComment) {
  TextClipboard clipboard("from the clipboard");
  TfrmMain& main = OpenMain();
  TMDIChild* d = main.OpenFile(Gif(QStringLiteral("a.gif"), 3));
  ASSERT_NE(d, nullptr);
  main.Inspector()->show();
  main.Inspector()->tabImgInfo->setCurrentIndex(2);
  FindAction(main, QStringLiteral("&Paste"))->trigger();
  EXPECT_EQ(d->History.LastCaption(), QStringLiteral("Add GIF Comment"));
  EXPECT_EQ(SharedImage()->Images().GetCount(), 3);
}

TEST_F(MainFramesTest, CtrlCThenCtrlVOnTheStripPastesWithNoMenuOpened) {
  QtFrameClipboard system;
  IClipboard* previous = SetClipboard(&system);
  QGuiApplication::clipboard()->clear();
  TfrmMain& main = OpenMain();
  ASSERT_NE(main.OpenFile(Gif(QStringLiteral("a.gif"), 3)), nullptr);
  main.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  main.FrameStrip()->setFocus();
  QTest::keyClick(main.FrameStrip(), Qt::Key_C, Qt::ControlModifier);
  // The keys arrive through the event loop, which runs between them.
  QCoreApplication::processEvents();
  QTest::keyClick(main.FrameStrip(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(SharedImage()->Images().GetCount(), 4);
  SetClipboard(previous);
}

// What the user sees of each frame: its place, size, delay, disposal and pixels.
std::vector<std::vector<int>> FramesShown(TGIFImage& image) {
  std::vector<std::vector<int>> out;
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    const TGIFSubImage& f = *image.Images().GetFrame(i);
    const gif::TGIFGraphicControlExtension* gce = f.GraphicControlExtension();
    std::vector<int> v{f.GetLeft(), f.GetTop(), f.GetWidth(), f.GetHeight(), gce ? gce->GetDelay() : -1,
                       gce ? gce->GetDisposal() : -1};
    v.insert(v.end(), f.Data(), f.Data() + f.DataSize());
    out.push_back(std::move(v));
  }
  return out;
}

// One command over every frame of an animation longer than the history: a single undo brings
// the animation back whole, whichever command it was.
TEST_F(MainFramesTest, OneUndoTakesBackACommandOverMoreFramesThanTheHistoryHolds) {
  testing::MemoryClipboard clipboard;
  TfrmMain& main = OpenMain();
  main.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  auto* frames = main.findChild<QComboBox*>(QStringLiteral("cbFrames"));
  auto* disposal = main.findChild<QComboBox*>(QStringLiteral("cbDisposal"));
  auto* delay = main.findChild<QSpinBox*>(QStringLiteral("txtDelay"));
  ASSERT_TRUE(frames && disposal && delay);
  const QString path = Path(QStringLiteral("long.gif"));
  testing::WriteAnimation(*testing::MakePatternAnimation(150), path);

  const std::pair<const char*, std::function<void()>> commands[] = {
      {"Delete on the strip", [&] { QTest::keyClick(main.FrameStrip(), Qt::Key_Delete); }},
      {"Cut", [&] { FindAction(main, QStringLiteral("Cu&t"))->trigger(); }},
      {"Paste",
       [&] {
         FindAction(main, QStringLiteral("&Copy"))->trigger();
         FindAction(main, QStringLiteral("&Paste"))->trigger();
       }},
      {"a delay typed",
       [&] {
         delay->setValue(777);
         main.FrameCommands().ApplyPendingInput();
       }},
      {"a disposal chosen",
       [&] {
         disposal->setCurrentIndex(3);
         emit disposal->activated(3);
       }},
  };
  for (const auto& [name, run] : commands) {
    SCOPED_TRACE(name);
    TMDIChild* d = main.OpenFile(path);
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->History.Limit(), 50);
    // An edit before, so that the undo has to bring the frames back from its own record.
    main.ShowFrame(0);
    FindAction(main, QStringLiteral("Move Frame &Right"))->trigger();
    ASSERT_EQ(d->History.Count(), 1);
    const auto before = FramesShown(*SharedImage());
    ASSERT_EQ(before.size(), 150u);
    main.FrameStrip()->setFocus();
    frames->setCurrentIndex(frames->count() - 1);
    emit frames->activated(frames->count() - 1);
    ASSERT_TRUE(main.FrameStrip()->SelectionFirst() == 0 && main.FrameStrip()->SelectionLast() == 149);
    run();
    QCoreApplication::processEvents();
    ASSERT_NE(FramesShown(*SharedImage()), before) << "the command changed nothing";
    EXPECT_EQ(d->History.Count(), 2);
    main.EditUndo->trigger();
    EXPECT_EQ(SharedImage()->Images().GetCount(), 150);
    EXPECT_TRUE(FramesShown(*SharedImage()) == before);
    EXPECT_EQ(main.FrameStrip()->ColumnCount(), 150);
    EXPECT_EQ(d->History.Count(), 1);
    EXPECT_EQ(d->History.LastCaption(), QStringLiteral("Move Frame"));
    main.Documents().FreeChildWindow(d);
  }
}

// Writing the first working copy, keeping the whole animation for an edit's undo, reading it back
// and reading the saved file back at the last undo each handle a whole animation: the event loop
// turns while they run, and scripts are refused meanwhile.
TEST_F(MainFramesTest, TheFirstWorkingCopyAWholeAnimationEntryAndItsUndosGiveTheEventLoopTurns) {
  TfrmMain& main = OpenMain();
  auto* frames = main.findChild<QComboBox*>(QStringLiteral("cbFrames"));
  auto* delay = main.findChild<QSpinBox*>(QStringLiteral("txtDelay"));
  ASSERT_TRUE(frames && delay);
  const QString path = Path(QStringLiteral("long.gif"));
  testing::WriteAnimation(*testing::MakePatternAnimation(150), path);
  TMDIChild* d = main.OpenFile(path);
  ASSERT_NE(d, nullptr);
  const auto saved = FramesShown(*SharedImage());

  int turns = 0;
  bool running = false, busy = true;
  // Posted before the work, and again each time it is handled.
  testing::PostedProbe probe;
  probe.Handled = [&] {
    if (!running) return;
    busy = busy && BusyScope::Running();
    ++turns;
    probe.Post();
  };
  const auto during = [&](const std::function<void()>& work) {
    turns = 0;
    busy = true;
    probe.Post();
    running = true;
    work();
    running = false;
    QCoreApplication::removePostedEvents(&probe);
    EXPECT_GE(turns, 1) << "the event posted before the work waits for its end";
    EXPECT_TRUE(busy) << "scripts that read or change documents are refused meanwhile";
  };
  const auto typeDelay = [&](int value) {
    delay->setValue(value);
    main.FrameCommands().ApplyPendingInput();
  };

  {
    SCOPED_TRACE("a delay typed: the first working copy");
    during([&] { typeDelay(777); });
    EXPECT_TRUE(d->WorkingCopyCurrent());
    EXPECT_EQ(testing::Delays(*SharedImage())[0], 777);
  }
  const auto edited = FramesShown(*SharedImage());
  frames->setCurrentIndex(frames->count() - 1);
  emit frames->activated(frames->count() - 1);
  ASSERT_EQ(main.FrameStrip()->SelectionLast(), 149);
  {
    SCOPED_TRACE("a delay given to every frame: the whole animation kept");
    during([&] { typeDelay(555); });
    EXPECT_EQ(testing::Delays(*SharedImage()), std::vector<int>(150, 555));
    EXPECT_EQ(d->History.Count(), 2);
  }
  {
    SCOPED_TRACE("its undo: the animation read back");
    during([&] { main.EditUndo->trigger(); });
    EXPECT_TRUE(FramesShown(*SharedImage()) == edited);
    EXPECT_EQ(d->History.Count(), 1);
  }
  {
    SCOPED_TRACE("the last undo: the saved file read back");
    during([&] { main.EditUndo->trigger(); });
    EXPECT_TRUE(FramesShown(*SharedImage()) == saved);
    EXPECT_FALSE(d->Modified);
    EXPECT_TRUE(d->WorkingCopy.isEmpty());
  }
}

// The pasted copy takes the copied frame's timing after it went in: the Frame tab and the
// inspector show the new frame as it is at once, not what it had on the way in.
TEST_F(MainFramesTest, APastedFrameShowsItsOwnValuesInTheFrameTabAndTheInspector) {
  QtFrameClipboard system;
  IClipboard* previous = SetClipboard(&system);
  QGuiApplication::clipboard()->clear();
  auto image = testing::MakeAnimation(3);
  image->Images().GetFrame(2)->GraphicControlExtension()->SetDisposal(gif::dmPrevious);
  const QString file = Path(QStringLiteral("timed.gif"));
  testing::WriteAnimation(*image, file);
  TfrmMain& main = OpenMain();
  ASSERT_NE(main.OpenFile(file), nullptr);
  forms::TfrmFloat& inspector = *main.Inspector();
  inspector.show();
  main.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  main.ShowFrame(2);
  main.FrameStrip()->setFocus();
  QTest::keyClick(main.FrameStrip(), Qt::Key_C, Qt::ControlModifier);
  QCoreApplication::processEvents();
  main.ShowFrame(0);
  QTest::keyClick(main.FrameStrip(), Qt::Key_V, Qt::ControlModifier);
  QCoreApplication::processEvents();
  ASSERT_EQ(SharedImage()->Images().GetCount(), 4);
  ASSERT_EQ(main.FrameStrip()->SelectedFrame(), 1);
  ASSERT_EQ(GetFrameDelay(*SharedImage(), 1), 30);
  TPropertyPanel& panel = *main.PropertyPanel();
  EXPECT_EQ(panel.txtDelay->value(), 30);
  EXPECT_EQ(panel.cbDisposal->currentIndex(), int(gif::dmPrevious));
  EXPECT_EQ(inspector.ValueText(10), QStringLiteral("30"));
  EXPECT_EQ(inspector.ValueText(11), panel.cbDisposal->itemText(gif::dmPrevious));
  SetClipboard(previous);
}

TEST_F(MainFramesTest, EmptyFramesGetNoCellAndNoEntry) {
  // A comment after the last picture reads back as an empty frame.
  auto image = testing::MakeAnimation(3);
  auto* empty = new gif::TGIFSubImage(image.get());
  image->Add(empty);
  AddCommentExtension(*empty, QStringLiteral("after the pictures"));
  const QString path = Path(QStringLiteral("tail.gif"));
  testing::WriteAnimation(*image, path);
  TfrmMain& main = OpenMain();
  ASSERT_NE(main.OpenFile(path), nullptr);
  ASSERT_EQ(SharedImage()->Images().GetCount(), 4);
  EXPECT_EQ(main.FrameStrip()->ColumnCount(), 3);
  EXPECT_EQ(main.PropertyPanel()->cbFrames->count(), 4);  // three frames and "Select All"
  main.ShowFrame(2);
  FindAction(main, QStringLiteral("Move Frame &Left"))->trigger();
  EXPECT_EQ(main.FrameStrip()->ColumnCount(), 3);
}


// Drags the splitter's handle by dy pixels with the left button.
void DragHandle(QSplitter& splitter, int dy) {
  QSplitterHandle* handle = splitter.handle(1);
  const QPoint from(handle->width() / 2, handle->height() / 2);
  auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, handle->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(handle, &event);
  };
  send(QEvent::MouseButtonPress, from, Qt::LeftButton);
  send(QEvent::MouseMove, from + QPoint(0, dy), Qt::LeftButton);
  send(QEvent::MouseButtonRelease, from + QPoint(0, dy), Qt::NoButton);
}

TEST_F(MainFramesTest, AtEightHundredBySixHundredTheDocumentsHaveRoomAndTheSplitterMovesAndStays) {
  TfrmMain& main = OpenMain();
  main.resize(800, 600);
  ASSERT_NE(main.OpenFile(Gif(QStringLiteral("a.gif"), 3)), nullptr);
  QCoreApplication::processEvents();
  QSplitter* hsp = main.FramePanelSplitter();
  QWidget* panel = main.findChild<QWidget*>(QStringLiteral("pnlFrameTab"));
  ASSERT_TRUE(hsp && panel);
  EXPECT_GE(main.MdiArea()->height() + main.MdiTabPanel()->height(), hsp->height() / 2 - hsp->handleWidth());
  EXPECT_GE(main.MdiArea()->height(), 200);

  // Lower than a row of cells, then higher again: the strip scrolls what it cannot show.
  const int start = panel->height();
  DragHandle(*hsp, 100);
  EXPECT_EQ(panel->height(), start - 100);
  DragHandle(*hsp, -150);
  const int placed = start + 50;
  EXPECT_EQ(panel->height(), placed);
  // The panel keeps its height while the window, the documents and the strip change.
  main.resize(800, 700);
  QCoreApplication::processEvents();
  EXPECT_EQ(panel->height(), placed);
  ASSERT_NE(main.OpenFile(Gif(QStringLiteral("b.gif"), 2)), nullptr);
  main.ShowFrame(1);
  QCoreApplication::processEvents();
  EXPECT_EQ(panel->height(), placed);
  // A frame size chosen in the menu gives the panel the height of the new cells.
  for (QAction* item : FindAction(main, QStringLiteral("Frame Si&ze"))->menu()->actions())
    if (item->text() == QStringLiteral("80 x 80")) item->trigger();
  EXPECT_EQ(panel->height(), panel->sizeHint().height());
  EXPECT_LT(panel->height(), placed);
}

TEST_F(MainFramesTest, ToolbarsComeBackInTheRowsAndOrderTheyWereLeftIn) {
  struct Place {
    int Left, Top;
  };
  auto store = [](int tag, Place place) {
    const QString section = ToolbarSection(tag);
    WriteSetting(section, QStringLiteral("Left"), QString(), true, place.Left);
    WriteSetting(section, QStringLiteral("Top"), QString(), true, place.Top);
    WriteSetting(section, QStringLiteral("Visible"), QString(), true, 1);
  };
  // Frame before Standard on the first row, Animation alone on the second.
  store(0, {300, 0});
  store(1, {0, 2});
  store(2, {0, 28});
  TfrmMain& main = OpenMain();
  QToolBar* standard = main.Toolbar(0);
  QToolBar* frame = main.Toolbar(1);
  QToolBar* animation = main.Toolbar(2);
  EXPECT_EQ(frame->y(), standard->y());
  EXPECT_LT(frame->x(), standard->x());
  EXPECT_GT(animation->y(), standard->y());
  EXPECT_EQ(main.ToolbarPlace(1), QPoint(0, 0));
  EXPECT_GE(main.ToolbarPlace(2).y(), 20);

  // What is stored at exit brings the same rows back.
  animation->hide();
  CloseMain();
  const QString section = ToolbarSection(2);
  EXPECT_EQ(ReadSettingInt(section, QStringLiteral("Visible"), 1), 0);
  EXPECT_GE(ReadSettingInt(section, QStringLiteral("Top"), 0), 20) << "a hidden toolbar keeps its place";
  TfrmMain& again = OpenMain();
  again.Toolbar(2)->show();
  QCoreApplication::processEvents();
  EXPECT_EQ(again.Toolbar(1)->y(), again.Toolbar(0)->y());
  EXPECT_LT(again.Toolbar(1)->x(), again.Toolbar(0)->x());
  EXPECT_GT(again.Toolbar(2)->y(), again.Toolbar(0)->y());
}


TEST_F(MainFramesTest, TheDocumentsPictureDragsOntoTheStripAndOntoAnotherDocument) {
  TfrmMain& main = OpenMain();
  TMDIChild* a = main.OpenFile(Gif(QStringLiteral("a.gif"), 3));
  TMDIChild* b = main.OpenFile(Gif(QStringLiteral("b.gif"), 2));
  ASSERT_TRUE(a && b);
  main.ShowFrame(1);
  const QImage dragged = RenderFrame(*SharedImage(), 1);
  FrameView* picture = main.WindowFor(b)->View();
  ASSERT_TRUE(picture->DragData);
  std::unique_ptr<QMimeData> data(picture->DragData());
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(qvariant_cast<QImage>(data->imageData()), dragged) << "other programs take the picture";
  EXPECT_FALSE(DropOn(main.WindowFor(b), *data)) << "not onto its own document";

  // Onto the strip: a copy of the frame goes in at the cell it is dropped on.
  QWidget* cells = main.FrameStrip()->widget();
  ASSERT_TRUE(DropOn(cells, *data, {main.FrameStrip()->CellWidth() / 2, 20}));
  ASSERT_EQ(SharedImage()->Images().GetCount(), 3);
  EXPECT_EQ(RenderFrame(*SharedImage(), 0).convertToFormat(QImage::Format_ARGB32),
            dragged.convertToFormat(QImage::Format_ARGB32));
  EXPECT_EQ(b->History.LastCaption(), QStringLiteral("Add Frame"));
  // The drag named a frame the document no longer shows.
  ASSERT_NE(main.FrameStrip()->SelectedFrame(), 1);
  EXPECT_FALSE(DropOn(cells, *data));

  // Onto another document, which takes it after its selection; nothing while an animation plays.
  main.ShowFrame(2);
  data.reset(picture->DragData());
  ASSERT_NE(data, nullptr);
  ASSERT_TRUE(main.Player()->Playback().Play());
  EXPECT_EQ(picture->DragData(), nullptr);
  EXPECT_FALSE(DropOn(main.WindowFor(a), *data));
  main.Player()->Playback().Stop(true);
  ASSERT_TRUE(DropOn(main.WindowFor(a), *data));
  EXPECT_EQ(main.Documents().Active(), a);
  ASSERT_EQ(SharedImage()->Images().GetCount(), 4);
  EXPECT_EQ(RenderFrame(*SharedImage(), 1).convertToFormat(QImage::Format_ARGB32),
            dragged.convertToFormat(QImage::Format_ARGB32));
  EXPECT_EQ(a->History.LastCaption(), QStringLiteral("Drag and Drop Image"));
}

// Records what long work reports, and pumps at each of its steps, for the scope.
class RecordedProgress : public IProgress {
public:
  RecordedProgress() : sink_(SetProgressSink(this)), interval_(BusyScope::SetPumpInterval(0)) {}
  ~RecordedProgress() override {
    SetProgressSink(sink_);
    BusyScope::SetPumpInterval(interval_);
  }
  void Progress(int stage, int percent, const QString& message) override {
    if (stage == 0)
      Open.push_back(message);
    else if (stage == 1 && Open.size() == 1)
      Percents[Open.front()].push_back(percent);
    else if (stage == 2 && !Open.empty())
      Open.pop_back();
  }
  // What is under way now, outermost first.
  QStringList Open;
  // The percents of outermost work, by its text.
  std::map<QString, std::vector<int>> Percents;

private:
  IProgress* sink_;
  int interval_;
};

TEST_F(MainFramesTest, ResizesAndPastesOfManyFramesGiveTheEventLoopTurnsWhileTheProgressMoves) {
  testing::ScriptedDialogs dialogs;
  dialogs.Resize = ResizeChoice{40, 30};
  testing::MemoryClipboard clipboard;
  TfrmMain& main = OpenMain();
  const int frames = 12;
  struct Case {
    const char* Name;
    const char* Progress;  // the text the command's own progress starts with
    std::function<void(TfrmMain&)> Prepare;
    std::function<bool(TFrameCommands&)> Run;
  };
  const Case cases[] = {
      {"resize", "Change Animation Size", [](TfrmMain&) {},
       [](TFrameCommands& c) { return c.ResizeAnimationCommand(); }},
      {"paste", "Inserting new frame...",
       [](TfrmMain& m) {
         m.SetSelection(0, frames - 1);
         ASSERT_TRUE(m.FrameCommands().CopyFrames());
         m.SetSelection(5, 5);
       },
       [](TFrameCommands& c) { return c.Paste(false); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TMDIChild* d = main.OpenFile(Gif(QStringLiteral("%1.gif").arg(QLatin1String(c.Name)), frames));
    ASSERT_NE(d, nullptr);
    c.Prepare(main);
    const QString text = QString::fromLatin1(c.Progress);
    RecordedProgress progress;
    int turnsDuring = 0, turnsWriting = 0;
    bool running = false, busy = true;
    // Posted before the command, and again each time it is handled.
    testing::PostedProbe probe;
    probe.Handled = [&] {
      if (!running) return;
      busy = busy && BusyScope::Running();
      if (!progress.Open.empty() && progress.Open.front() == text) ++turnsDuring;
      // Once the frames are done, the command writes the working copy (under a bar of its own, or
      // none), encoding every frame it changed again.
      else if (turnsDuring > 0) ++turnsWriting;
      probe.Post();
    };
    probe.Post();
    running = true;
    ASSERT_TRUE(c.Run(main.FrameCommands()));
    running = false;
    EXPECT_GE(turnsDuring, 2) << "the event posted before the command waits for its end";
    EXPECT_GE(turnsWriting, 1) << "the working copy is written without a turn";
    EXPECT_TRUE(busy) << "scripts that change documents are refused meanwhile";
    const std::vector<int>& percents = progress.Percents[text];
    ASSERT_GE(percents.size(), 2u);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(progress.Open.empty()) << progress.Open.join(QLatin1Char(',')).toStdString();
    main.Documents().FreeChildWindow(d);
  }
}

// Deleting frames, from the strip or as a script asks, writes the working copy of what is left,
// and the event loop turns while it is written; scripts are refused meanwhile.
TEST_F(MainFramesTest, DeletingFramesGivesTheEventLoopTurnsWhileTheWorkingCopyIsWritten) {
  TfrmMain& main = OpenMain();
  const struct {
    const char* Name;
    std::function<void(TfrmMain&, TMDIChild&)> Run;
  } cases[] = {
      {"a range from the strip",
       [](TfrmMain& m, TMDIChild&) {
         m.SetSelection(2, 6);
         m.FrameCommands().DeleteFrames();
       }},
      {"one frame, as a script asks", [](TfrmMain&, TMDIChild& d) { d.DeleteFrame(3); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TMDIChild* d = main.OpenFile(Gif(QStringLiteral("delete.gif"), 12));
    ASSERT_NE(d, nullptr);
    RecordedProgress progress;
    int turns = 0;
    bool running = false, busy = true;
    testing::PostedProbe probe;
    probe.Handled = [&] {
      if (!running) return;
      ++turns;
      busy = busy && BusyScope::Running();
      probe.Post();
    };
    probe.Post();
    running = true;
    const int before = SharedImage()->Images().GetCount();
    c.Run(main, *d);
    running = false;
    EXPECT_LT(SharedImage()->Images().GetCount(), before);
    EXPECT_TRUE(d->WorkingCopyCurrent());
    EXPECT_GE(turns, 1) << "the event posted before the delete waits for its end";
    EXPECT_TRUE(busy);
    main.Documents().FreeChildWindow(d);
  }
}

// Work that reports inside other work (a frame converted while many are pasted) leaves the bar to
// the outer work; work that never reports its end leaves no bar once the hourglass goes.
TEST_F(MainFramesTest, TheStatusBarShowsTheProgressOfTheOutermostWork) {
  TfrmMain& main = OpenMain();
  IProgress& sink = *main.StatusProgress();
  QProgressBar& bar = *main.ProgressBar();
  sink.Progress(0, 0, QStringLiteral("Inserting new frame..."));
  sink.Progress(1, 40, QString());
  sink.Progress(0, 0, QStringLiteral("Converting..."));
  sink.Progress(1, 90, QString());
  sink.Progress(2, 100, QString());
  EXPECT_TRUE(bar.isVisible());
  EXPECT_EQ(bar.value(), 40);
  EXPECT_EQ(main.StatusTextOf(2), QStringLiteral("Inserting new frame..."));
  sink.Progress(1, 60, QString());
  EXPECT_EQ(bar.value(), 60);
  sink.Progress(2, 100, QString());
  EXPECT_FALSE(bar.isVisible());
  EXPECT_TRUE(main.StatusTextOf(2).isEmpty());

  // Without a measure, then left unended.
  sink.SetBusy(true);
  sink.Progress(0, -1, QStringLiteral("Loading..."));
  EXPECT_TRUE(bar.isVisible());
  EXPECT_EQ(bar.maximum(), 0);
  sink.SetBusy(false);
  EXPECT_FALSE(bar.isVisible());
  sink.Progress(0, 0, QString());
  EXPECT_EQ(bar.maximum(), 100);
  sink.Progress(2, 100, QString());
  EXPECT_FALSE(bar.isVisible());
}

}  // namespace
}  // namespace movinta::editor
