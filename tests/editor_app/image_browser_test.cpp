#include "app_fixture.h"
#include "controls/shell/widgets/ptshelltree.h"
#include "editor/document_window.h"
#include "editor/commands/image_browser_commands.h"
#include "editor/image_browser_scan.h"
#include "editor/thumb_window.h"
#include "editor/model/string_tables.h"
#include "editor/model/text_helpers.h"
#include "editor/qt_services.h"
#include "gif/threads.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QBuffer>
#include <QGuiApplication>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>
#include <QtEndian>

#include <functional>

namespace movinta::editor {
namespace {

using testing::AppTest;

// A picture with a gradient, so that a decoder that drops rows or columns shows.
QImage Picture(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 90));
  return image;
}

void Save(const QImage& image, const QString& path, const char* format, int quality = -1) {
  ASSERT_TRUE(image.save(path, format, quality)) << path.toStdString();
}

// A PNG whose header claims 60000 x 60000 pixels over a few bytes of data.
QByteArray ForgedHugePng() {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  Picture(4, 4).save(&buffer, "PNG");
  // IHDR's width and height follow the 8-byte signature and the chunk's length and type.
  qToBigEndian<quint32>(60000, bytes.data() + 16);
  qToBigEndian<quint32>(60000, bytes.data() + 20);
  return bytes;
}

// The image browser window as the commands see it, without a window.
class FakeView : public IThumbView {
public:
  bool BrowserVisible() const override { return Visible; }
  void SetBrowserVisible(bool visible) override { Visible = visible; }
  QString TreeFolder() const override { return Folder; }
  void SelectTreeFolder(const QString& folder) override {
    Folder = folder;
    Selected.append(folder);
  }
  void SetFolderLabel(const QString& text) override { Label = text; }
  int GridClientWidth() const override { return Width; }
  int GridTextHeight() const override { return 13; }
  void SetGridLayout(const ThumbGridLayout& layout) override { Layout = layout; }
  void ClearGrid() override {
    Layout.ColCount = Layout.RowCount = 1;
    Cell = -1;
    ++Cleared;
  }
  int SelectedThumb() const override { return Cell; }
  void RepaintGrid() override { ++Repaints; }

  bool Visible = true;
  QString Folder;
  QStringList Selected;
  QString Label;
  int Width = 600;
  ThumbGridLayout Layout;
  int Cell = -1;
  int Cleared = 0;
  int Repaints = 0;
};

class ImageBrowserTest : public ::testing::Test {
protected:
  void SetUp() override {
    commands_.SetView(&view_);
    commands_.host.Status = [this](const QString& text) { status_.append(text); };
  }
  QString Path(const QString& name) const { return tmp_.Path + QLatin1Char('/') + name; }

  testing::ScopedTmpDir tmp_;
  testing::RecordingMessages messages_;
  QWidget owner_;
  TImageBrowserCommands commands_{&owner_};
  FakeView view_;
  QStringList status_;
};

TEST(ImageBrowserLayoutTest, ColumnsFollowTheWidthAndRowsHoldEveryFile) {
  // Cell edge with text height 13 and thumbnails of 100: 2 x 13 + 100 + 14 = 140.
  struct Case {
    int Width, Files, Cols, Rows;
  };
  const Case cases[] = {
      {560, 8, 4, 2},   // exactly two rows
      {560, 9, 4, 3},   // 9 / 4 rounds to 2, one more to hold the ninth
      {560, 10, 4, 3},  // 2.5 rounds to 2 (halves to even), one more
      {420, 7, 3, 3},   // 2.33 rounds to 2, one more
      {700, 12, 5, 3},  // 2.4 rounds to 2, one more
      {700, 14, 5, 3},  // 2.8 rounds to 3
      {139, 3, 1, 3},   // a window narrower than one cell still has a column
      {0, 1, 1, 1},
      {560, 0, 4, 1},
  };
  for (const Case& c : cases) {
    const ThumbGridLayout l = ThumbLayout(c.Width, 13, 100, c.Files);
    EXPECT_EQ(l.ColWidth, 140);
    EXPECT_EQ(l.RowHeight, 140);
    EXPECT_EQ(l.ColCount, c.Cols) << c.Width << " " << c.Files;
    EXPECT_EQ(l.RowCount, c.Rows) << c.Width << " " << c.Files;
    EXPECT_GE(l.ColCount * l.RowCount, c.Files);
  }
}

TEST(ImageBrowserLayoutTest, PicturesShrinkToTheThumbnailSizeKeepingTheirProportion) {
  struct Case {
    int W, H, FitW, FitH;
  };
  const Case cases[] = {
      {400, 100, 100, 25}, {100, 400, 25, 100}, {101, 101, 101, 101},  // S + 1 both ways stays
      {102, 50, 100, 49},  {50, 50, 50, 50},    {300, 300, 100, 100},
      {1000, 1, 100, 1},   // never thinner than a pixel
      {250, 100, 100, 40}, {1920, 1080, 100, 56},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ThumbPictureSize(c.W, c.H, 100), QSize(c.FitW, c.FitH)) << c.W << "x" << c.H;
}

TEST_F(ImageBrowserTest, EachFilterTypeCollectsItsOwnExtensionsWhateverTheirCase) {
  QStringList names;
  for (int i = 0; i < 18; ++i) {
    QString name = QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0')) + QString::fromLatin1(kExtensions[i]);
    if (i % 2 == 1) name = name.toUpper();  // "F01.JPG" is a JPEG as much as "f01.jpg"
    names.append(name);
  }
  for (const QString& n : names) testing::WriteBytes(Path(n), "x");
  for (const char* other : {"movie.avi", "notes.txt", ".hidden.png", "jpg"}) testing::WriteBytes(Path(QString::fromLatin1(other)), "x");
  ASSERT_TRUE(QDir(tmp_.Path).mkdir(QStringLiteral("folder.gif")));

  for (int type = 0; type < 18; ++type) {
    const std::vector<ThumbFile> files = CollectImageFiles(tmp_.Path, type);
    ASSERT_EQ(files.size(), 1u) << type;
    EXPECT_EQ(files[0].Name, names[type]);
    EXPECT_EQ(files[0].Size, 1);
  }
  EXPECT_TRUE(CollectImageFiles(tmp_.Path, 18).empty());
  std::vector<ThumbFile> all = CollectImageFiles(tmp_.Path, 19);
  QStringList got;
  for (const ThumbFile& f : all) got.append(f.Name);
  EXPECT_EQ(got, names) << "all eighteen, sorted by name";
}

TEST_F(ImageBrowserTest, AScanKeepsReadablePicturesInOrderAndSkipsBrokenOnes) {
  Save(Picture(400, 100), Path(QStringLiteral("a_wide.png")), "PNG");
  Save(Picture(1920, 1080), Path(QStringLiteral("b_photo.JPG")), "JPEG", 85);
  QByteArray truncated;
  {
    QBuffer b(&truncated);
    b.open(QIODevice::WriteOnly);
    Picture(300, 300).save(&b, "PNG");
  }
  testing::WriteBytes(Path(QStringLiteral("c_cut.png")), truncated.left(truncated.size() / 3));
  testing::WriteBytes(Path(QStringLiteral("d_forged.png")), ForgedHugePng());
  testing::WriteBytes(Path(QStringLiteral("e_empty.gif")), QByteArray());
  Save(Picture(100, 400), Path(QStringLiteral("f_tall.bmp")), "BMP");
  testing::WriteAnimation(*testing::MakeAnimation(3, 60, 40), Path(QStringLiteral("g_anim.gif")));
  Save(Picture(101, 101), Path(QStringLiteral("h_edge.png")), "PNG");

  view_.Folder = tmp_.Path;
  commands_.ScanImageFolder(tmp_.Path);
  EXPECT_TRUE(messages_.Shown.empty());
  struct Expected {
    const char* Name;
    int W, H, PicW, PicH;
  };
  const Expected expected[] = {{"a_wide.png", 400, 100, 100, 25},
                               {"b_photo.JPG", 1920, 1080, 100, 56},
                               {"f_tall.bmp", 100, 400, 25, 100},
                               {"g_anim.gif", 60, 40, 60, 40},
                               {"h_edge.png", 101, 101, 101, 101}};
  ASSERT_EQ(commands_.ThumbCount(), 5);
  ASSERT_EQ(commands_.Thumbnails().size(), 5);
  const QRgb window = QGuiApplication::palette().color(QPalette::Base).rgb();
  for (int i = 0; i < 5; ++i) {
    const Expected& e = expected[i];
    const TThumbRecord& r = commands_.ThumbList()[static_cast<std::size_t>(i)];
    EXPECT_EQ(r.FileName, QString::fromLatin1(e.Name));
    EXPECT_EQ(r.Width, e.W) << e.Name << ": the size in the file, also after a reduced decode";
    EXPECT_EQ(r.Height, e.H) << e.Name;
    EXPECT_EQ(r.SizeKB, static_cast<int>(SizeInKB(QFileInfo(Path(r.FileName)).size())));
    const QImage& t = commands_.Thumbnails()[i];
    ASSERT_EQ(t.size(), QSize(100, 100)) << e.Name;
    // The picture sits centred on the window colour.
    const int left = (100 - e.PicW) / 2, top = (100 - e.PicH) / 2;
    if (left > 0) {
      EXPECT_EQ(t.pixel(left - 1, 50), window) << e.Name;
      EXPECT_NE(t.pixel(left, 50), window) << e.Name;
      EXPECT_EQ(t.pixel(left + e.PicW, 50), window) << e.Name;
    }
    if (top > 0) {
      EXPECT_EQ(t.pixel(50, top - 1), window) << e.Name;
      EXPECT_NE(t.pixel(50, top), window) << e.Name;
      EXPECT_EQ(t.pixel(50, top + e.PicH), window) << e.Name;
    }
  }
  EXPECT_EQ(view_.Layout.ColCount, 4) << "600 wide, cells of 140";
  EXPECT_EQ(view_.Layout.RowCount, 2) << "8 files found, 7 of them readable or not";
  EXPECT_EQ(view_.Label, QStringLiteral("Current Folder: ") + tmp_.Path + QLatin1Char('/'));
  EXPECT_TRUE(status_.contains(QStringLiteral("Scanning Folder for images...")));
  EXPECT_TRUE(status_.contains(QStringLiteral("Scanning folder for images... 12% Complete")));
  EXPECT_TRUE(status_.contains(QStringLiteral("Scanning folder for images... 100% Complete")));
  EXPECT_EQ(status_.back(), QString());

  // The selection names a file, its status text its size; no selection names none.
  view_.Cell = 0;
  EXPECT_EQ(commands_.GetSelectedThumbPath(), tmp_.Path + QStringLiteral("/a_wide.png"));
  EXPECT_EQ(commands_.ThumbStatusText(0),
            QStringLiteral("a_wide.png - (400 x 100) %1KB").arg(commands_.ThumbList()[0].SizeKB));
  view_.Cell = 5;
  EXPECT_EQ(commands_.GetSelectedThumbPath(), QString());
  EXPECT_EQ(commands_.ThumbStatusText(5), QString());

  commands_.ThumbsClearExecute();
  EXPECT_EQ(commands_.ThumbCount(), 0);
  EXPECT_EQ(view_.Cleared, 2) << "once before the scan, once now";
  EXPECT_EQ(view_.Layout.ColCount, 1);
}

// A process near its thread or address-space limit may be refused the scan's workers, some or all:
// the scan still gives every thumbnail, in order, as a scan on every worker does.
TEST_F(ImageBrowserTest, AScanRefusedItsWorkerThreadsStillGivesEveryThumbnail) {
  for (int i = 0; i < 9; ++i)
    Save(Picture(40 + 30 * i, 200 - 15 * i), Path(QStringLiteral("p%1.png").arg(i)), "PNG");
  view_.Folder = tmp_.Path;
  commands_.ScanImageFolder(tmp_.Path);
  ASSERT_EQ(commands_.ThumbCount(), 9);
  const std::vector<TThumbRecord> records = commands_.ThumbList();
  const QList<QImage> pictures = commands_.Thumbnails();
  for (int allowed : {0, 1, 2}) {
    SCOPED_TRACE(::testing::Message() << allowed << " workers start");
    int asked = 0;
    gif::RefuseThreadForTest = [&] { return ++asked > allowed; };
    commands_.ScanImageFolder(tmp_.Path);
    gif::RefuseThreadForTest = nullptr;
    EXPECT_GT(asked, allowed) << "a worker was refused";
    EXPECT_TRUE(messages_.Shown.empty());
    ASSERT_EQ(commands_.ThumbCount(), 9);
    for (int i = 0; i < 9; ++i) {
      const TThumbRecord& r = commands_.ThumbList()[static_cast<std::size_t>(i)];
      EXPECT_EQ(r.FileName, records[static_cast<std::size_t>(i)].FileName);
      EXPECT_EQ(r.Width, records[static_cast<std::size_t>(i)].Width);
      EXPECT_EQ(commands_.Thumbnails()[i], pictures[i]) << r.FileName.toStdString();
    }
  }
}

TEST_F(ImageBrowserTest, JpegsUpToOneMoreThanTheThumbnailSizeKeepTheirOwnSize) {
  Save(Picture(50, 30), Path(QStringLiteral("small.jpg")), "JPEG", 90);
  view_.Folder = tmp_.Path;
  commands_.ScanImageFolder(tmp_.Path);
  ASSERT_EQ(commands_.ThumbCount(), 1);
  const TThumbRecord& r = commands_.ThumbList()[0];
  EXPECT_EQ(r.Width, 50);
  EXPECT_EQ(r.Height, 30);
  // The picture fills 50 x 30 in the middle of the window colour, no more.
  const QImage& t = commands_.Thumbnails()[0];
  const QRgb window = QGuiApplication::palette().color(QPalette::Base).rgb();
  const int size = t.width(), left = (size - 50) / 2, top = (size - 30) / 2;
  EXPECT_EQ(t.pixel(left - 1, size / 2), window);
  EXPECT_NE(t.pixel(left, size / 2), window);
  EXPECT_NE(t.pixel(left + 49, size / 2), window);
  EXPECT_EQ(t.pixel(left + 50, size / 2), window);
  EXPECT_EQ(t.pixel(size / 2, top - 1), window);
  EXPECT_NE(t.pixel(size / 2, top + 29), window);
  EXPECT_EQ(t.pixel(size / 2, top + 30), window);

  struct Case {
    int Width, Height, Size;
    QSize Shown;
  };
  for (const Case c : {Case{150, 150, 200, {150, 150}}, Case{100, 100, 200, {100, 100}},
                       Case{201, 201, 200, {201, 201}}, Case{400, 100, 200, {200, 50}}}) {
    SCOPED_TRACE(c.Width);
    const QString file = Path(QStringLiteral("case.jpg"));
    Save(Picture(c.Width, c.Height), file, "JPEG", 90);
    const DecodedThumb d = DecodeThumbnail(file, c.Size, Qt::white);
    ASSERT_TRUE(d.Ok);
    EXPECT_EQ(QSize(d.Width, d.Height), QSize(c.Width, c.Height));
    EXPECT_EQ(d.Picture.size(), QSize(c.Size, c.Size));
  }
}

TEST_F(ImageBrowserTest, AScanOfManyPicturesGivesTheEventLoopATurnBetweenBatchesAndMovesTheProgress) {
  const int files = 240;
  for (int i = 0; i < files; ++i) Save(Picture(8, 8), Path(QStringLiteral("p%1.png").arg(i, 3, 10, QLatin1Char('0'))), "PNG");
  int position = -1;
  bool ended = false;
  commands_.host.Progress = [&](int at, int maximum) {
    if (maximum < 0)
      ended = position >= 0;
    else
      position = at;
  };
  // Posted before the scan, and again each time it is handled: it counts the loop's turns.
  testing::PostedProbe turns;
  std::vector<int> at;  // the progress at each turn
  turns.Handled = [&] {
    if (ended) return;
    at.push_back(position);
    turns.Post();
  };
  turns.Post();
  commands_.ScanImageFolder(tmp_.Path);
  ASSERT_EQ(commands_.ThumbCount(), files);
  ASSERT_FALSE(at.empty()) << "the event posted before the scan waits for its end";
  EXPECT_LT(at.front(), files - 1);
  EXPECT_GE(at.size(), static_cast<std::size_t>(files / 16 - 1));
  for (std::size_t i = 1; i < at.size(); ++i) EXPECT_GT(at[i], at[i - 1]) << "the progress moves between turns";
}

TEST_F(ImageBrowserTest, FoldersWithoutPicturesAndMissingFoldersSaySo) {
  testing::WriteBytes(Path(QStringLiteral("readme.txt")), "x");
  commands_.ScanImageFolder(tmp_.Path);
  EXPECT_EQ(status_.back(), QStringLiteral("Sorry no images found in ") + tmp_.Path + QLatin1Char('/'));
  EXPECT_TRUE(messages_.Shown.empty());

  const QString gone = Path(QStringLiteral("gone"));
  commands_.ScanImageFolder(gone);
  ASSERT_EQ(messages_.Shown.size(), 1u);
  EXPECT_EQ(messages_.Shown[0].Text, gone + QStringLiteral("/ does not appear to be a valid path."));
  EXPECT_EQ(messages_.Shown[0].Type, MessageType::Information);
}

TEST_F(ImageBrowserTest, ThumbnailItemsAreEnabledExactlyAfterAPressOnAThumbnail) {
  const QList<QAction*> items = {commands_.mniThumbsInsert, commands_.mniThumbsEdit, commands_.mniThumbsCopy,
                                 commands_.mniThumbOpen, commands_.mniThumbsProperties};
  auto enabled = [&] {
    int n = 0;
    for (QAction* a : items) n += a->isEnabled() ? 1 : 0;
    return n;
  };
  EXPECT_EQ(enabled(), 0);
  commands_.ThumbPressed(true);
  EXPECT_EQ(enabled(), 5);
  commands_.ThumbPressed(false);
  EXPECT_EQ(enabled(), 0);
  // Clear Window only while there are thumbnails.
  commands_.popThumbsPopup();
  EXPECT_FALSE(commands_.ThumbsClear->isEnabled());
}

TEST_F(ImageBrowserTest, FavouritesAreAddedOnceOrganisedAndForgottenWhenTheirFolderIsGone) {
  const QString a = Path(QStringLiteral("a")), b = Path(QStringLiteral("b"));
  ASSERT_TRUE(QDir().mkpath(a) && QDir().mkpath(b));
  QMenu& menu = *commands_.mniThumbsFavorites;
  ASSERT_EQ(menu.actions().size(), 3);
  EXPECT_EQ(menu.actions()[0]->text(), QStringLiteral("&Add Current Folder"));
  EXPECT_EQ(menu.actions()[1]->text(), QStringLiteral("&Organize Favorites..."));
  EXPECT_TRUE(menu.actions()[2]->isSeparator());

  view_.Folder = a;
  commands_.mniThumbsFavsAdd->trigger();
  commands_.mniThumbsFavsAdd->trigger();  // already there
  view_.Folder = b;
  commands_.mniThumbsFavsAdd->trigger();
  EXPECT_EQ(commands_.Favorites(), (QStringList{a, b}));
  EXPECT_EQ(menu.actions()[3]->statusTip(), QStringLiteral("Scan this folder for images"));

  // Organising hands the list over and takes back the changed one.
  QStringList handed;
  commands_.host.OrganizeFavorites = [&](QStringList& folders) {
    handed = folders;
    folders = {b, a};
    return true;
  };
  commands_.mniThumbsFavsOrg->trigger();
  EXPECT_EQ(handed, (QStringList{a, b}));
  EXPECT_EQ(commands_.Favorites(), (QStringList{b, a}));

  view_.Selected.clear();
  menu.actions()[4]->trigger();
  EXPECT_EQ(view_.Selected, QStringList{a});
  ASSERT_TRUE(QDir(b).removeRecursively());
  menu.actions()[3]->trigger();
  ASSERT_EQ(messages_.Shown.size(), 1u);
  EXPECT_EQ(messages_.Shown[0].Text, QStringLiteral("Could not find %1. Folder may have moved or does not exist.").arg(b));
  EXPECT_EQ(commands_.Favorites(), QStringList{a});
  EXPECT_EQ(view_.Selected, QStringList{a});
}

TEST_F(ImageBrowserTest, BrowseSelectsTheChosenFolderAndCancelKeepsTheOldOne) {
  view_.Folder = tmp_.Path;
  view_.Visible = false;
  QString offered;
  bool choose = false;
  commands_.host.ChooseFolder = [&](QString& folder) {
    offered = folder;
    folder = QStringLiteral("/");
    return choose;
  };
  commands_.ThumbsBrowseExecute();
  EXPECT_TRUE(view_.Visible) << "the browser comes up for the choice";
  EXPECT_TRUE(commands_.ThumbView->isChecked());
  EXPECT_EQ(offered, tmp_.Path);
  EXPECT_TRUE(view_.Selected.isEmpty());
  EXPECT_EQ(commands_.BrowseFolder, tmp_.Path);
  choose = true;
  commands_.ThumbsBrowseExecute();
  EXPECT_EQ(view_.Selected, QStringList{QStringLiteral("/")});
  EXPECT_EQ(commands_.BrowseFolder, QStringLiteral("/"));
}

TEST_F(ImageBrowserTest, ATreeWithoutAFileSystemFolderJumpsToTheRootFolder) {
  TfrmThumbWin window(nullptr, &commands_);
  ASSERT_EQ(commands_.View(), &window);
  window.show();
  QCoreApplication::processEvents();  // the tree fills once its window is there
  window.tvShell->SetSelected(nullptr);
  ASSERT_EQ(window.TreeFolder(), QString());
  window.tvShellChange();
  QCoreApplication::processEvents();
  EXPECT_EQ(window.TreeFolder(), QStringLiteral("/"));
  EXPECT_EQ(commands_.CurrentFolder(), QStringLiteral("/")) << "the visible browser shows the root's pictures";
  // The same folder again scans nothing; a hidden browser scans nothing either.
  status_.clear();
  window.tvShellChange();
  EXPECT_TRUE(status_.isEmpty());
  window.hide();
  window.SelectFolder(tmp_.Path);
  EXPECT_EQ(window.TreeFolder(), tmp_.Path);
  EXPECT_EQ(commands_.CurrentFolder(), QStringLiteral("/"));
  EXPECT_TRUE(status_.isEmpty());
}

// ---- in the program

TEST_F(AppTest, AThumbnailGoesInAfterTheSelectedFrameAndUndoTakesItOut) {
  TfrmMain& main = OpenMain();
  ASSERT_TRUE(the_frmThumbWin);
  TImageBrowserCommands& browser = main.ImageBrowser();
  ASSERT_EQ(browser.View(), the_frmThumbWin.data());
  ASSERT_TRUE(main.OpenGifDocument(Gif(QStringLiteral("a.gif"), 3)));
  const QString folder = tmp_.Path + QStringLiteral("/pictures");
  ASSERT_TRUE(QDir().mkpath(folder));
  Save(Picture(4, 3), folder + QStringLiteral("/pic.png"), "PNG");

  // The start-up has finished before the user turns to the browser: inserting a picture lets the
  // event loop run.
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  the_frmThumbWin->show();
  the_frmThumbWin->SelectFolder(folder);
  ASSERT_EQ(browser.CurrentFolder(), folder) << "the tree's move scans the folder";
  ASSERT_EQ(browser.ThumbCount(), 1);
  // A press on the thumbnail selects it, says what it is and enables its items.
  the_frmThumbWin->grdThumbsMouseDown(Qt::LeftButton, the_frmThumbWin->grdThumbs->CellRect(0).center());
  EXPECT_EQ(the_frmThumbWin->SelectedThumb(), 0);
  EXPECT_EQ(main.StatusTextOf(2), browser.ThumbStatusText(0));
  EXPECT_TRUE(browser.mniThumbsInsert->isEnabled());
  // A press on the empty cell beside it disables the thumbnail's items; a press on it enables them.
  ASSERT_GT(the_frmThumbWin->grdThumbs->ColCount(), 1);
  the_frmThumbWin->grdThumbsMouseDown(Qt::RightButton, the_frmThumbWin->grdThumbs->CellRect(1).center());
  EXPECT_FALSE(browser.mniThumbsInsert->isEnabled());
  EXPECT_FALSE(browser.mniThumbsProperties->isEnabled());
  EXPECT_EQ(main.StatusTextOf(2), QString());
  the_frmThumbWin->grdThumbsMouseDown(Qt::LeftButton, the_frmThumbWin->grdThumbs->CellRect(0).center());
  main.SetSelection(1, 1);
  browser.mniThumbsInsert->trigger();
  TGIFImage& image = *SharedImage();
  ASSERT_EQ(image.Images().GetCount(), 4);
  EXPECT_EQ(image.Images().GetFrame(2)->GetWidth(), 4);
  EXPECT_EQ(main.Documents().Active()->UndoCaption(), QStringLiteral("&Undo Add Frame"));
  main.EditUndo->trigger();
  EXPECT_EQ(SharedImage()->Images().GetCount(), 3);
  EXPECT_EQ(testing::Delays(*SharedImage()), (std::vector<int>{10, 20, 30}));

  // Dropped on the window around the documents, the picture starts an animation of its own.
  browser.DraggingThumb = true;
  browser.InsertSelectedThumb();
  browser.DraggingThumb = false;
  ASSERT_EQ(main.Documents().Count(), 2);
  EXPECT_EQ(SharedImage()->Images().GetCount(), 1);
  EXPECT_EQ(main.Documents().Active()->UndoCaption(), QStringLiteral("&Undo Drag and Drop Image"));
}

// Drags a thumbnail of path over the widget and drops it there, as the image browser's grid does.
void DropThumbnail(QWidget* on, const QString& path) {
  QMimeData data;
  data.setData(QString::fromLatin1(kThumbnailMimeType), path.toUtf8());
  const QPointF at(on->width() / 2.0, on->height() / 2.0);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(on, &enter);
  QDragMoveEvent move(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(on, &move);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(on, &drop);
  EXPECT_TRUE(drop.isAccepted());
}

TEST_F(AppTest, AGifDroppedOnAnAnimationAsksWhetherItJoinsItOrStartsANewOne) {
  const QString dropped = Gif(QStringLiteral("dropped.gif"), 2);
  struct Case {
    const char* Name;
    bool OnDocument;
    int Remembered;            // "DropImageDefault"
    std::deque<int> Answers;   // to the drop question
    bool Asked;
    int Documents, Frames;     // afterwards; frames of the active animation
  };
  const Case cases[] = {
      {"include", true, 0, {mrYes}, true, 1, 5},
      {"start new", true, 0, {mrNo}, true, 2, 2},
      {"cancel", true, 0, {mrCancel}, true, 1, 3},
      {"remembered include", true, mrYes, {}, false, 1, 5},
      {"beside the documents", false, 0, {}, false, 2, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteSetting(QStringLiteral("Settings"), QStringLiteral("DropImageDefault"), QString(), true, c.Remembered);
    TfrmMain& main = OpenMain();
    TMDIChild* a = main.OpenFile(Gif(QStringLiteral("a.gif"), 3));
    ASSERT_TRUE(a);
    messages_.Shown.clear();
    messages_.Answers = c.Answers;
    ASSERT_NO_FATAL_FAILURE(DropThumbnail(c.OnDocument ? static_cast<QWidget*>(main.WindowFor(a)) : &main, dropped));
    EXPECT_EQ(messages_.Count(QStringLiteral("Would you like to add this image to the current animation?")),
              c.Asked ? 1 : 0);
    if (c.Asked) {
      EXPECT_EQ(messages_.LastCaptions, (QStringList{QStringLiteral("&Include"), QStringLiteral("&Start New")}));
    }
    EXPECT_EQ(main.Documents().Count(), c.Documents);
    EXPECT_EQ(SharedImage()->Images().GetCount(), c.Frames);
    CloseMain();
  }
}

// A transparent sprite as drawing programs write it, on a 12 x 10 screen over a table whose
// transparent entry is black and drawn nowhere else: frame 0 the whole screen with a transparent
// border (disposal 2), frame 1 6 x 4 at 3,2 with transparent pixels inside (disposal 3), frame 2
// 5 x 5 at 7,5 without transparency.
constexpr int kSpriteTransparent = 3;
std::unique_ptr<TGIFImage> TransparentSprite() {
  auto image = std::make_unique<TGIFImage>();
  image->SetWidth(12);
  image->SetHeight(10);
  for (gif::TColor c : {0x0000FFu, 0x00FF00u, 0xFF0000u, 0x000000u}) image->GetGlobalColorMap().Add(c);
  struct Layout {
    int Left, Top, Width, Height;
    bool Transparent;
    gif::TDisposalMethod Disposal;
  };
  const Layout layouts[] = {{0, 0, 12, 10, true, gif::dmBackground},
                            {3, 2, 6, 4, true, gif::dmPrevious},
                            {7, 5, 5, 5, false, gif::dmNone}};
  for (int i = 0; i < 3; ++i) {
    const Layout& l = layouts[i];
    auto* frame = new gif::TGIFSubImage(image.get());
    image->Add(frame);
    frame->SetBounds(l.Left, l.Top, l.Width, l.Height);
    for (int y = 0; y < l.Height; ++y)
      for (int x = 0; x < l.Width; ++x) {
        const bool border = x == 0 || y == 0 || x == l.Width - 1 || y == l.Height - 1;
        const bool clear = l.Transparent && (i == 0 ? border : (x + y) % 4 == 0);
        frame->Data()[static_cast<std::size_t>(y) * l.Width + x] =
            static_cast<std::uint8_t>(clear ? kSpriteTransparent : (x + y + i) % 3);
      }
    SetFrameDelay(*frame, 10 * (i + 1));
    frame->GraphicControlExtension()->SetDisposal(l.Disposal);
    if (l.Transparent) {
      frame->GraphicControlExtension()->SetTransparentColorIndex(kSpriteTransparent);
      frame->GraphicControlExtension()->SetTransparent(true);
    }
  }
  return image;
}

// Answers the program's own message boxes as a user would, once one shows: the drop question by
// ticking its check box when asked to and clicking the button with the given caption; any other
// box by closing it, noting its text.
class BoxAnswerer : public QObject {
public:
  BoxAnswerer(const QString& button, bool tick) : button_(button), tick_(tick) {
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, [this] { Look(); });
    timer_.start();
  }

  int Asked = 0;
  QStringList Buttons;
  QString CheckCaption;
  QStringList Others;

private:
  void Look() {
    QMessageBox* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    for (QWidget* w : QApplication::topLevelWidgets())
      if (!box && w->isVisible()) box = qobject_cast<QMessageBox*>(w);
    if (!box || !box->isVisible()) return;
    if (!box->text().startsWith(QStringLiteral("Would you like to add this image to the current animation?"))) {
      Others << box->text();
      box->reject();
      return;
    }
    ++Asked;
    Buttons.clear();
    QAbstractButton* chosen = nullptr;
    for (QAbstractButton* b : box->buttons()) {
      Buttons << b->text();
      if (b->text() == button_) chosen = b;
    }
    if (box->checkBox()) {
      CheckCaption = box->checkBox()->text();
      if (tick_) box->checkBox()->click();
    }
    if (chosen)
      chosen->click();
    else
      box->reject();
  }

  QString button_;
  bool tick_;
  QTimer timer_;
};

// The message boxes the program shows, for the test's duration.
class RealMessageBoxes {
public:
  explicit RealMessageBoxes(QWidget* parent) : routine_(parent) { previous_ = SetMessageRoutine(&routine_); }
  ~RealMessageBoxes() { SetMessageRoutine(previous_); }

private:
  QtMessageRoutine routine_;
  IMessageRoutine* previous_;
};

TEST_F(AppTest, TheDropQuestionIsAnsweredInItsBoxRememberedWhenTickedAndItsFramesComeOverTheBackdrop) {
  const QString sprite = Path(QStringLiteral("sprite.gif"));
  testing::WriteAnimation(*TransparentSprite(), sprite);
  const std::unique_ptr<TGIFImage> source = ReadGifFile(sprite);
  ASSERT_TRUE(source);
  const QString base = Path(QStringLiteral("base.gif"));
  testing::WriteAnimation(*testing::MakeAnimation(3, 16, 12), base);
  constexpr gif::TColor kBackdrop = 0xE0A040;  // 0x00BBGGRR, in no table of either file
  const int stored[] = {0, mrYes, mrNo};
  struct Case {
    const char* Name;
    const char* Button;
    bool Tick;
    int Documents, Frames;  // afterwards; frames of the active animation
    int Stored;             // "DropImageDefault"
    int Again;              // frames (include) or documents (start new) after a second drop
  };
  const Case cases[] = {
      {"include", "&Include", false, 1, 6, 0, 0},
      {"include, ticked", "&Include", true, 1, 6, 1, 9},
      {"start new", "&Start New", false, 2, 3, 0, 0},
      {"start new, ticked", "&Start New", true, 2, 3, 2, 2},
      {"cancel", "Cancel", false, 1, 3, 0, 0},
      {"cancel, ticked", "Cancel", true, 1, 3, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteSetting(QStringLiteral("Settings"), QStringLiteral("DropImageDefault"), QString(), true, 0);
    TfrmMain& main = OpenMain();
    const gif::TColor previous = Settings().FrameBackColor;
    Settings().FrameBackColor = kBackdrop;
    {
      RealMessageBoxes boxes(&main);
      ASSERT_TRUE(main.OpenFile(base));
      main.SetSelectedFrame(0);
      {
        BoxAnswerer answer(QString::fromLatin1(c.Button), c.Tick);
        ASSERT_NO_FATAL_FAILURE(DropThumbnail(main.FrameStrip()->widget(), sprite));
        EXPECT_EQ(answer.Asked, 1);
        answer.Buttons.sort();
        EXPECT_EQ(answer.Buttons, (QStringList{QStringLiteral("&Include"), QStringLiteral("&Start New"),
                                               QStringLiteral("Cancel")}));
        EXPECT_EQ(answer.CheckCaption, QStringLiteral("Make this the &default"));
        EXPECT_TRUE(answer.Others.isEmpty()) << answer.Others.join(QLatin1Char('\n')).toStdString();
      }
      EXPECT_EQ(main.Documents().Count(), c.Documents);
      TGIFImage& image = *SharedImage();
      ASSERT_EQ(image.Images().GetCount(), c.Frames);
      EXPECT_EQ(ReadSettingInt(QStringLiteral("Settings"), QStringLiteral("DropImageDefault"), 0),
                stored[c.Stored]);
      if (c.Frames == 6) {
        // The sprite's frames follow the selected one, each at its own size, transparent
        // pixels over the backdrop and the rest in their own colours.
        for (int k = 0; k < 3; ++k) {
          gif::TGIFSubImage& from = *source->Images().GetFrame(k);
          gif::TGIFSubImage& to = *image.Images().GetFrame(1 + k);
          ASSERT_EQ(to.GetWidth(), from.GetWidth()) << k;
          ASSERT_EQ(to.GetHeight(), from.GetHeight()) << k;
          int overBackdrop = 0;
          for (int y = 0; y < from.GetHeight(); ++y)
            for (int x = 0; x < from.GetWidth(); ++x) {
              const std::size_t at = static_cast<std::size_t>(y) * from.GetWidth() + x;
              const bool clear = from.Transparent() && from.Data()[at] == kSpriteTransparent;
              overBackdrop += clear ? 1 : 0;
              const gif::TColor want = clear ? kBackdrop : from.GetActiveColorMap().GetColor(from.Data()[at]);
              ASSERT_EQ(to.GetActiveColorMap().GetColor(to.Data()[at]), want) << k << ": " << x << "," << y;
            }
          EXPECT_EQ(overBackdrop > 0, k < 2) << k;
        }
      }
      if (c.Stored != 0) {
        // The remembered answer is taken without asking; a new start brings the sprite forward.
        if (c.Stored == 2) {
          ASSERT_TRUE(main.OpenFile(base));
        }
        ASSERT_EQ(main.Documents().Active()->FileName, base);
        BoxAnswerer answer(QStringLiteral("Cancel"), false);
        ASSERT_NO_FATAL_FAILURE(DropThumbnail(main.FrameStrip()->widget(), sprite));
        EXPECT_EQ(answer.Asked, 0);
        EXPECT_TRUE(answer.Others.isEmpty()) << answer.Others.join(QLatin1Char('\n')).toStdString();
        if (c.Stored == 1) {
          EXPECT_EQ(SharedImage()->Images().GetCount(), c.Again);
        } else {
          EXPECT_EQ(main.Documents().Count(), c.Again);
          EXPECT_EQ(main.Documents().Active()->FileName, sprite);
        }
      }
    }
    Settings().FrameBackColor = previous;
    CloseMain();
  }
}

TEST_F(AppTest, TheFolderTreeIsAsWideAsItsFormOnAFreshStartAndIsSavedSo) {
  {
    OpenMain();
    TfrmThumbWin& browser = *the_frmThumbWin;
    ASSERT_TRUE(browser.isVisible());
    QCoreApplication::processEvents();
    EXPECT_EQ(browser.tvShell->width(), 161);
    EXPECT_EQ(browser.ExplorerWidth(), 161);
    CloseMain();
  }
  EXPECT_EQ(ReadSettingInt(QStringLiteral("ThumbNails"), QStringLiteral("ExplorerWidth"), 0), 161);
  TfrmMain& main = OpenMain();
  (void)main;
  QCoreApplication::processEvents();
  EXPECT_EQ(the_frmThumbWin->tvShell->width(), 161) << "and comes back so";
}

// An installed program keeps its sample pictures several folders deep; on a first start the tree
// selects that folder, and its name shows (the tree scrolls sideways as far as the indentation needs).
TEST_F(AppTest, TheFolderTreeShowsTheNameOfADeepFolderOnAFirstStart) {
  const QString deep = Path(QStringLiteral("home/user/.local/share/movinta6/images"));
  ASSERT_TRUE(QDir().mkpath(deep));
  WriteSetting(QStringLiteral("ThumbNails"), QStringLiteral("Directory"), deep, false, 0);
  OpenMain();
  QCoreApplication::processEvents();
  ptshell::TPTShellTree* tree = the_frmThumbWin->tvShell;
  ASSERT_TRUE(tree->isVisible());
  ptshell::TPTTreeNode* node = tree->Selected();
  ASSERT_NE(node, nullptr);
  ASSERT_EQ(QDir::cleanPath(the_frmThumbWin->Folder()), deep);
  const QRect item = tree->visualItemRect(node);
  const int need = (tree->Images ? tree->Images->Width() + 4 : 0) + tree->fontMetrics().horizontalAdvance(node->Text());
  EXPECT_GE(item.left(), 0);
  EXPECT_LE(item.left() + need, tree->viewport()->width()) << "the name lies past the tree's edge";
  EXPECT_GE(item.width(), need) << "the name has no room in its column";
}

TEST_F(AppTest, TheBrowserHidesOnCloseAndComesBackWhereItWasWithItsFavourites) {
  const QString fav = tmp_.Path + QStringLiteral("/fav");
  ASSERT_TRUE(QDir().mkpath(fav));
  {
    TfrmMain& main = OpenMain();
    TfrmThumbWin& browser = *the_frmThumbWin;
    ASSERT_TRUE(browser.isVisible());
    browser.close();
    EXPECT_FALSE(browser.isVisible()) << "closing only hides";
    EXPECT_TRUE(the_frmThumbWin) << "and keeps the window";
    EXPECT_FALSE(main.ThumbView->isChecked());
    main.ThumbView->trigger();
    EXPECT_TRUE(browser.isVisible());
    browser.setGeometry(30, 40, 520, 230);
    browser.SetExplorerWidth(120);
    browser.btnTVCloseClick();
    EXPECT_FALSE(browser.ExplorerVisible());
    EXPECT_FALSE(main.ImageBrowser().mniViewExplorer->isChecked());
    main.ImageBrowser().AddFavorite(fav);
    main.close();
    CloseMain();
  }
  EXPECT_EQ(ReadSettingInt(QStringLiteral("ThumbNails"), QStringLiteral("ExplorerVisible"), 1), 0);
  {
    SettingsStore store;
    EXPECT_EQ(ReadRegString(store, QStringLiteral("ThumbNails\\Favorites"), QStringLiteral("MRU0"), QString()), fav);
  }
  TfrmMain& main = OpenMain();
  TfrmThumbWin& browser = *the_frmThumbWin;
  EXPECT_TRUE(browser.isVisible());
  EXPECT_EQ(browser.geometry(), QRect(30, 40, 520, 230));
  EXPECT_FALSE(browser.ExplorerVisible());
  EXPECT_TRUE(browser.tvShell->isHidden());
  EXPECT_EQ(main.ImageBrowser().Favorites(), QStringList{fav});
}

}  // namespace
}  // namespace movinta::editor
