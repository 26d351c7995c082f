#include "app_fixture.h"
#include "controls/xpress.h"
#include "editor/image_import.h"
#include "editor/model/files.h"
#include "editor/model/string_tables.h"

#include <QFileInfo>
#include <QMimeData>
#include <QProgressBar>
#include <QProcess>
#include <QUrl>
#include <QtEndian>

#include <functional>
#include <optional>

namespace movinta::editor {
namespace {

using testing::AppTest;

// A 3 x 2 picture of six distinct colours, as a binary PPM.
QByteArray SixColours() {
  QByteArray ppm("P6\n3 2\n255\n");
  const unsigned char rgb[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 255, 255, 0};
  ppm.append(reinterpret_cast<const char*>(rgb), sizeof rgb);
  return ppm;
}

// Writes the picture in the format the extension names with an independent converter; false when
// the converter cannot write it.
bool Convert(const QString& source, const QString& target, const QString& format) {
  if (!QFileInfo::exists(QStringLiteral(IMAGEMAGICK_CONVERT))) return false;
  QProcess p;
  p.start(QStringLiteral(IMAGEMAGICK_CONVERT), {source, format + QLatin1Char(':') + target});
  return p.waitForFinished(20000) && p.exitCode() == 0 && QFileInfo(target).size() > 0;
}

std::uint32_t PixelOfFrame(TGIFImage& image, int frame, int x, int y) {
  gif::TGIFSubImage& f = *image.Images().GetFrame(frame);
  return f.GetActiveColorMap().GetColor(f.Data()[static_cast<std::size_t>(y) * f.GetWidth() + x]);
}

TEST_F(AppTest, EveryReadableImageFormatOpensAsAFrameOfANewAnimation) {
  const QString ppm = Path(QStringLiteral("six.ppm"));
  testing::WriteBytes(ppm, SixColours());
  struct Format {
    const char* Extension;
    const char* Writer;
    // Colours and rows survive the format unchanged (the converter writes TGA rows top first while
    // the file says bottom first, so readers that follow the file see it upside down).
    bool Exact;
  };
  const Format formats[] = {{"jpg", "jpg", false}, {"bmp", "bmp3", true},  {"jif", "jpg", false},
                            {"dcx", "dcx", true},  {"ico", "ico", true},   {"pbm", "pbm", false},
                            {"pcx", "pcx", true},  {"pgm", "pgm", false},  {"png", "png", true},
                            {"ppm", "ppm", true},  {"tga", "tga", false},   {"tif", "tif", true},
                            {"PNG", "png", true}};
  int tried = 0;
  for (const Format& f : formats) {
    const QString extension = QString::fromLatin1(f.Extension);
    if (!TXpress::CanReadExtension(extension)) continue;
    const QString file = Path(QStringLiteral("pic.") + extension);
    if (!Convert(ppm, file, QString::fromLatin1(f.Writer))) continue;
    ++tried;
    TfrmMain& main = OpenMain();
    main.OpenFileByType(file);
    ASSERT_EQ(main.Documents().Count(), 1) << f.Extension;
    TMDIChild* d = main.Documents().Active();
    EXPECT_TRUE(d->Untitled) << f.Extension;
    EXPECT_TRUE(d->Modified) << f.Extension;
    EXPECT_EQ(d->UndoCaption(), QStringLiteral("&Undo Add Frame")) << f.Extension;
    TGIFImage& image = *SharedImage();
    ASSERT_EQ(image.Images().GetCount(), 1) << f.Extension;
    EXPECT_EQ(image.Images().GetFrame(0)->GetWidth(), 3) << f.Extension;
    EXPECT_EQ(image.Images().GetFrame(0)->GetHeight(), 2) << f.Extension;
    EXPECT_EQ(image.GetWidth(), 3) << f.Extension;
    if (f.Exact) {
      EXPECT_EQ(PixelOfFrame(image, 0, 0, 0), 0x0000FFu) << f.Extension;  // red, 0x00BBGGRR
      EXPECT_EQ(PixelOfFrame(image, 0, 2, 0), 0xFF0000u) << f.Extension;  // blue
      EXPECT_EQ(PixelOfFrame(image, 0, 2, 1), 0x00FFFFu) << f.Extension;  // yellow, bottom right
    }
    EXPECT_TRUE(messages_.Shown.empty()) << f.Extension << ": " << messages_.Shown[0].Text.toStdString();
    messages_.Shown.clear();
    CloseMain();
  }
  EXPECT_GE(tried, 5) << "the usual formats should all be readable here";
}

TEST_F(AppTest, AFurtherImageGoesInFrontOfTheFramesOfTheOpenAnimation) {
  const QString bmp = Path(QStringLiteral("six.bmp"));
  QImage picture(3, 2, QImage::Format_RGB32);
  picture.fill(qRgb(0, 0, 255));
  ASSERT_TRUE(picture.save(bmp, "BMP"));
  TfrmMain& main = OpenMain();
  TMDIChild* a = main.OpenFile(Gif(QStringLiteral("a.gif"), 2));
  main.OpenFileByType(bmp);
  EXPECT_EQ(main.Documents().Count(), 1);
  EXPECT_EQ(main.Documents().Active(), a);
  TGIFImage& image = *SharedImage();
  ASSERT_EQ(image.Images().GetCount(), 3);
  EXPECT_EQ(PixelOfFrame(image, 0, 0, 0), 0xFF0000u);
  EXPECT_EQ(testing::Delays(image), (std::vector<int>{100, 10, 20}));
  EXPECT_TRUE(a->Modified);
  a->Undo();
  EXPECT_EQ(testing::Delays(*SharedImage()), (std::vector<int>{10, 20}));
}

TEST_F(AppTest, ImportFailuresAreReportedOnceWithTheirText) {
  TfrmMain& main = OpenMain();
  const QString ljp = Path(QStringLiteral("x.ljp"));
  testing::WriteBytes(ljp, QByteArray("not a picture of any kind"));
  const QString badBmp = Path(QStringLiteral("x.bmp"));
  testing::WriteBytes(badBmp, QByteArray("BMnonsense"));
  const QString badPng = Path(QStringLiteral("x.png"));
  testing::WriteBytes(badPng, QByteArray("\x89PNG but cut"));
  for (const QString& file : {ljp, badBmp, badPng, Path(QStringLiteral("gone.jpg"))}) {
    messages_.Shown.clear();
    main.OpenFileByType(file);
    ASSERT_EQ(messages_.Shown.size(), 1u) << file.toStdString();
    EXPECT_EQ(messages_.Shown[0].Text,
              QStringLiteral("Error loading %1! GIF Movinta does not support the file type or it is a corrupted file.")
                  .arg(file));
  }
  EXPECT_EQ(main.Documents().Count(), 0);

  gif::Bitmap bitmap;
  QString error;
  testing::WriteBytes(Path(QStringLiteral("x.xyz")), QByteArray("?"));
  EXPECT_EQ(ImportImageFile(main, Path(QStringLiteral("x.xyz")), bitmap, 20, true, &error), kImportFailed);
  EXPECT_EQ(error, QStringLiteral("x.xyz is an unrecognized file type!"));
}

TEST_F(AppTest, APictureDecodesWhileTheWindowGoesOnPainted) {
  TfrmMain& main = OpenMain();
  const QString jpeg = Path(QStringLiteral("photo.jpg"));
  QImage picture(640, 480, QImage::Format_RGB32);
  picture.fill(qRgb(20, 120, 200));
  ASSERT_TRUE(picture.save(jpeg, "JPEG"));
  // An event posted before the import: handled while the picture decodes, under the hourglass.
  bool importing = false;
  std::optional<bool> handledDuring, busy;
  testing::PostedProbe posted;
  posted.Handled = [&] {
    handledDuring = importing;
    busy = BusyScope::Running();
  };
  posted.Post();
  gif::Bitmap bitmap;
  QString error;
  importing = true;
  const int result = ImportImageFile(main, jpeg, bitmap, GetFileTypeCode(jpeg), true, &error);
  importing = false;
  EXPECT_EQ(result, kImportBitmap) << error.toStdString();
  EXPECT_EQ(bitmap.Width(), 640);
  ASSERT_TRUE(handledDuring.has_value()) << "the event loop had no turn";
  EXPECT_TRUE(*handledDuring);
  EXPECT_TRUE(*busy);
}

// A photo read from a file becomes a frame: its reduction to a palette (seconds for a camera's
// picture) lets the window go on, and the frame is the one the library makes of the picture itself,
// pixel for pixel, with the same transparency.
TEST_F(AppTest, APictureIsReducedToAFrameWhileTheWindowGoesOnAndAsTheLibraryReducesIt) {
  // Many more colours than a palette holds, and a corner of pixels a picture's alpha says are clear.
  auto photo = [](gif::PixelFormat format) {
    gif::Bitmap picture(240, 180, format);
    const int bytes = picture.BitsPerPixel() / 8;
    for (int y = 0; y < picture.Height(); ++y)
      for (int x = 0; x < picture.Width(); ++x) {
        std::uint8_t* p = picture.Scanline(y) + x * bytes;
        p[0] = static_cast<std::uint8_t>(x + 3 * y);
        p[1] = static_cast<std::uint8_t>(x * y / 37);
        p[2] = static_cast<std::uint8_t>(255 - y);
        if (bytes == 4) p[3] = x < 30 && y < 20 ? 10 : 255;
      }
    return picture;
  };
  for (const gif::PixelFormat format : {gif::PixelFormat::pf24bit, gif::PixelFormat::pf32bit}) {
    SCOPED_TRACE(static_cast<int>(format));
    const gif::Bitmap picture = photo(format);
    TfrmMain& main = OpenMain();
    bool inserting = false;
    std::optional<bool> handledDuring, busy;
    testing::PostedProbe posted;
    posted.Handled = [&] {
      handledDuring = inserting;
      busy = BusyScope::Running();
    };
    posted.Post();
    inserting = true;
    const int index = main.InsertBitmapFrame(picture, 0, QStringLiteral("Add Frame"));
    inserting = false;
    ASSERT_EQ(index, 0);
    ASSERT_TRUE(handledDuring.has_value()) << "the event loop had no turn";
    EXPECT_TRUE(*handledDuring);
    EXPECT_TRUE(*busy);

    TGIFImage& image = *SharedImage();
    ASSERT_EQ(image.Images().GetCount(), 1);
    TGIFImage scratch;
    scratch.ColorReduction = image.ColorReduction;
    scratch.DitherMode = image.DitherMode;
    scratch.SetColorReductionBits(image.GetColorReductionBits());
    auto* expected = new gif::TGIFSubImage(&scratch);
    scratch.Images().Add(expected);
    expected->Assign(picture);
    gif::TGIFSubImage& frame = *image.Images().GetFrame(0);
    ASSERT_EQ(frame.GetWidth(), expected->GetWidth());
    ASSERT_EQ(frame.GetHeight(), expected->GetHeight());
    EXPECT_EQ(frame.Transparent(), expected->Transparent());
    EXPECT_EQ(frame.Transparent(), format == gif::PixelFormat::pf32bit);
    const int clearIndex = frame.Transparent() ? frame.GraphicControlExtension()->GetTransparentColorIndex() : -1;
    const int expectedClear =
        expected->Transparent() ? expected->GraphicControlExtension()->GetTransparentColorIndex() : -1;
    int differing = 0;
    for (int y = 0; y < frame.GetHeight(); ++y)
      for (int x = 0; x < frame.GetWidth(); ++x) {
        const std::size_t at = static_cast<std::size_t>(y) * frame.GetWidth() + x;
        const bool clear = frame.Data()[at] == clearIndex, expectedIsClear = expected->Data()[at] == expectedClear;
        if (clear != expectedIsClear ||
            (!clear && frame.GetActiveColorMap().GetColor(frame.Data()[at]) !=
                           expected->GetActiveColorMap().GetColor(expected->Data()[at])))
          ++differing;
      }
    EXPECT_EQ(differing, 0);
    EXPECT_TRUE(messages_.Shown.empty());
    CloseMain();
  }
}

TEST_F(AppTest, WhileAPictureDecodesTheStatusBarShowsABarThatGoesWhenTheDecodeEndsOrFails) {
  TfrmMain& main = OpenMain();
  testing::StatusBarProgress progress(main);
  QImage picture(64, 48, QImage::Format_RGB32);
  picture.fill(qRgb(200, 30, 40));
  const QString png = Path(QStringLiteral("good.png")), bmp = Path(QStringLiteral("good.bmp"));
  ASSERT_TRUE(picture.save(png, "PNG"));
  ASSERT_TRUE(picture.save(bmp, "BMP"));
  const QString gif = Gif(QStringLiteral("good.gif"), 2);
  const QString badPng = Path(QStringLiteral("bad.png")), badBmp = Path(QStringLiteral("bad.bmp")),
                badGif = Path(QStringLiteral("bad.gif"));
  testing::WriteBytes(badPng, QByteArray("\x89PNG\r\n\x1a\n but cut"));
  testing::WriteBytes(badBmp, QByteArray("BMnonsense"));
  // A screen with a 256-colour table, cut off inside the table.
  static const char cutGif[] = "GIF89a\x10\x00\x10\x00\xf7\x00\x00 and nothing more";
  testing::WriteBytes(badGif, QByteArray(cutGif, sizeof cutGif - 1));
  struct Case {
    QString File;
    int Result;
  };
  const Case cases[] = {{png, kImportBitmap}, {bmp, kImportBitmap},    {gif, kImportBitmap},
                        {badPng, kImportFailed}, {badBmp, kImportFailed}, {badGif, kImportFailed}};
  QProgressBar& bar = *main.ProgressBar();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.File.toStdString());
    std::optional<bool> shown, measureless;
    testing::PostedProbe posted;
    posted.Handled = [&] {
      shown = bar.isVisible();
      measureless = bar.maximum() == 0;
    };
    posted.Post();
    gif::Bitmap bitmap;
    QString error;
    EXPECT_EQ(ImportImageFile(main, c.File, bitmap, GetFileTypeCode(c.File), true, &error), c.Result)
        << error.toStdString();
    ASSERT_TRUE(shown.has_value()) << "the event loop had no turn during the decode";
    EXPECT_TRUE(*shown);
    EXPECT_TRUE(*measureless);
    EXPECT_FALSE(bar.isVisible());
    EXPECT_EQ(bar.maximum(), 100);
  }
}

TEST_F(AppTest, AGifImportedIntoAnOpenDocumentFollowsTheRememberedAnswer) {
  TfrmMain& main = OpenMain();
  const QString pa = Gif(QStringLiteral("a.gif"), 2);
  const QString pb = Gif(QStringLiteral("b.gif"), 3);
  gif::Bitmap bitmap;
  QString error;
  EXPECT_EQ(ImportImageFile(main, pa, bitmap, 0, false, &error), kImportOpenedAsNew)
      << "with no document the GIF opens without a question";
  EXPECT_TRUE(messages_.Shown.empty());
  TMDIChild* a = main.Documents().Active();
  ASSERT_TRUE(a);

  WriteSetting(QStringLiteral("Settings"), QStringLiteral("DropImageDefault"), QString(), true, mrYes);
  main.SetOpenAsNew(false);  // as when the drop lands on a document window
  main.SetSelectedFrame(0);
  EXPECT_EQ(ImportImageFile(main, pb, bitmap, 0, false, &error), kImportAddedFrames);
  EXPECT_TRUE(messages_.Shown.empty());
  EXPECT_EQ(main.Documents().Count(), 1);
  EXPECT_EQ(testing::Delays(*SharedImage()), (std::vector<int>{10, 100, 100, 100, 20}));
  EXPECT_EQ(a->UndoCaption(), QStringLiteral("&Undo Drag and Drop Image"));

  WriteSetting(QStringLiteral("Settings"), QStringLiteral("DropImageDefault"), QString(), true, mrNo);
  EXPECT_EQ(ImportImageFile(main, pb, bitmap, 0, false, &error), kImportOpenedAsNew);
  EXPECT_EQ(main.Documents().Count(), 2);

  WriteSetting(QStringLiteral("Settings"), QStringLiteral("DropImageDefault"), QString(), true, 0);
  messages_.Answers = {mrCancel};
  EXPECT_EQ(ImportImageFile(main, pa, bitmap, 0, false, &error), kImportFailed);
  ASSERT_EQ(messages_.Shown.size(), 1u);
  EXPECT_EQ(messages_.LastCaptions, (QStringList{QStringLiteral("&Include"), QStringLiteral("&Start New")}));
  EXPECT_TRUE(error.isEmpty()) << "a cancel is no failure to report";
}

// A bottom-up BMP of width x height at bits per pixel: indexed ones with a table of the given
// colours (which may be shorter than the bits allow), 24-bit ones with colour(x, y) itself.
QByteArray Bmp(int width, int height, int bits, const std::vector<gif::TColor>& table,
               const std::function<gif::TColor(int, int)>& pixel) {
  const int stride = ((width * bits + 31) / 32) * 4;
  const int tableBytes = bits <= 8 ? static_cast<int>(table.size()) * 4 : 0;
  QByteArray out(14 + 40 + tableBytes + stride * height, '\0');
  auto* p = reinterpret_cast<uchar*>(out.data());
  p[0] = 'B';
  p[1] = 'M';
  qToLittleEndian<quint32>(static_cast<quint32>(out.size()), p + 2);
  qToLittleEndian<quint32>(static_cast<quint32>(14 + 40 + tableBytes), p + 10);
  uchar* h = p + 14;
  qToLittleEndian<quint32>(40, h);
  qToLittleEndian<qint32>(width, h + 4);
  qToLittleEndian<qint32>(height, h + 8);
  qToLittleEndian<quint16>(1, h + 12);
  qToLittleEndian<quint16>(static_cast<quint16>(bits), h + 14);
  if (bits <= 8) qToLittleEndian<quint32>(static_cast<quint32>(table.size()), h + 32);
  uchar* colours = h + 40;
  for (std::size_t i = 0; bits <= 8 && i < table.size(); ++i) {
    colours[i * 4] = static_cast<uchar>(table[i] >> 16);
    colours[i * 4 + 1] = static_cast<uchar>(table[i] >> 8);
    colours[i * 4 + 2] = static_cast<uchar>(table[i]);
  }
  uchar* rows = colours + tableBytes;
  for (int y = 0; y < height; ++y) {
    uchar* row = rows + static_cast<std::ptrdiff_t>(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      const gif::TColor v = pixel(x, y);
      switch (bits) {
        case 1: row[x / 8] |= static_cast<uchar>((v & 1) << (7 - x % 8)); break;
        case 4: row[x / 2] |= static_cast<uchar>((v & 15) << (x % 2 ? 0 : 4)); break;
        case 8: row[x] = static_cast<uchar>(v); break;
        case 32:  // the fourth byte left 0, as writers of plain 32-bit bitmaps do
          row[x * 4] = static_cast<uchar>(v >> 16);
          row[x * 4 + 1] = static_cast<uchar>(v >> 8);
          row[x * 4 + 2] = static_cast<uchar>(v);
          break;
        default:
          row[x * 3] = static_cast<uchar>(v >> 16);
          row[x * 3 + 1] = static_cast<uchar>(v >> 8);
          row[x * 3 + 2] = static_cast<uchar>(v);
      }
    }
  }
  return out;
}

TEST_F(AppTest, BitmapsOfEveryDepthDrawAsTheyAreAndResize) {
  const std::vector<gif::TColor> table = {0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF};
  struct Depth {
    int Bits;
    std::size_t Colours;  // a table shorter than the bits allow, for 4 and 8 bits
  };
  for (const Depth depth : {Depth{1, 2}, Depth{4, 5}, Depth{8, 6}, Depth{24, 0}}) {
    SCOPED_TRACE(depth.Bits);
    const std::vector<gif::TColor> colours(table.begin(), table.begin() + static_cast<std::ptrdiff_t>(depth.Colours));
    auto index = [&](int x, int y) { return static_cast<gif::TColor>((x + 2 * y) % (depth.Bits == 24 ? 6 : static_cast<int>(depth.Colours))); };
    auto shown = [&](int x, int y) { return table[index(x, y)]; };
    const QString file = Path(QStringLiteral("depth%1.bmp").arg(depth.Bits));
    testing::WriteBytes(file, Bmp(9, 5, depth.Bits, colours, [&](int x, int y) {
      return depth.Bits == 24 ? shown(x, y) : index(x, y);
    }));
    TfrmMain& main = OpenMain();
    main.OpenFileByType(file);
    ASSERT_EQ(main.Documents().Count(), 1);
    TGIFImage& image = *SharedImage();
    ASSERT_EQ(image.Images().GetCount(), 1);
    // Drawn, then stretched to twice the size as Animation > Resize does, then drawn again.
    for (const int scale : {1, 2}) {
      if (scale == 2) {
        ASSERT_TRUE(ResizeAnimation(image, 18, 10));
      }
      gif::Bitmap canvas(9 * scale, 5 * scale, gif::PixelFormat::pf24bit);
      image.Images().GetFrame(0)->Draw(canvas, gif::TRect{0, 0, 9 * scale, 5 * scale}, true, false);
      for (int y = 0; y < 5 * scale; ++y)
        for (int x = 0; x < 9 * scale; ++x)
          ASSERT_EQ(canvas.PixelColor(x, y), shown(x / scale, y / scale)) << x << "," << y << " at " << scale;
    }
    EXPECT_TRUE(messages_.Shown.empty());
    CloseMain();
  }
}

TEST_F(AppTest, PicturesWithAnAlphaChannelBecomeFramesOverTheBackdropAndOthersKeepTheirPixels) {
  // 4 x 2: the left half red, the right half transparent where the picture has alpha.
  const QString source = Path(QStringLiteral("half.png"));
  {
    QProcess p;
    p.start(QStringLiteral(IMAGEMAGICK_CONVERT),
            {QStringLiteral("-size"), QStringLiteral("4x2"), QStringLiteral("xc:none"), QStringLiteral("-fill"),
             QStringLiteral("red"), QStringLiteral("-draw"), QStringLiteral("rectangle 0,0 1,1"),
             QStringLiteral("png32:") + source});
    ASSERT_TRUE(p.waitForFinished(20000) && p.exitCode() == 0);
  }
  const QString withAlphaBmp = Path(QStringLiteral("half.bmp"));
  ASSERT_TRUE(Convert(source, withAlphaBmp, QStringLiteral("bmp")));
  const QString plainBmp = Path(QStringLiteral("plain.bmp"));
  testing::WriteBytes(plainBmp, Bmp(4, 2, 32, {}, [](int x, int) { return x < 2 ? 0x0000FFu : 0x00FF00u; }));
  constexpr gif::TColor kBackdrop = 0xE0A040;  // 0x00BBGGRR
  struct Case {
    QString File;
    gif::TColor Right;  // the right half's colour in the frame
  };
  for (const Case& c : {Case{source, kBackdrop}, Case{withAlphaBmp, kBackdrop}, Case{plainBmp, 0x00FF00u}}) {
    SCOPED_TRACE(c.File.toStdString());
    TfrmMain& main = OpenMain();
    const gif::TColor previous = Settings().FrameBackColor;
    Settings().FrameBackColor = kBackdrop;
    main.OpenFileByType(c.File);
    ASSERT_EQ(main.Documents().Count(), 1);
    TGIFImage& image = *SharedImage();
    ASSERT_EQ(image.Images().GetCount(), 1);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x)
        EXPECT_EQ(PixelOfFrame(image, 0, x, y), x < 2 ? 0x0000FFu : c.Right) << x << "," << y;
    EXPECT_TRUE(messages_.Shown.empty());
    CloseMain();
    Settings().FrameBackColor = previous;
  }
}

// Answers the oversize question by fitting the animation to the picture, and counts the asking.
class FittingDialogs : public IEditDialogs {
public:
  FittingDialogs() { previous_ = SetEditDialogs(this); }
  ~FittingDialogs() override { SetEditDialogs(previous_); }
  std::optional<bool> AskOversize() override {
    ++Asked;
    return false;
  }
  int Asked = 0;

private:
  IEditDialogs* previous_;
};

TEST_F(AppTest, PicturesOpenedOrDroppedOntoAnAnimationAskAndUndoToTheOriginal) {
  const QString gif = Path(QStringLiteral("real.gif"));
  testing::WriteAnimation(*testing::MakeRealisticAnimation(), gif);
  auto picture = [&](const QString& name, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 10, y * 12, 90));
    const QString path = Path(name);
    EXPECT_TRUE(image.save(path, "BMP"));
    return path;
  };
  const QString small = picture(QStringLiteral("small.bmp"), 8, 8);
  const QString large = picture(QStringLiteral("large.bmp"), 24, 20);
  struct Case {
    const char* Name;
    QStringList Files;
    bool Drop;
    int Asked;  // oversize questions
  };
  const Case cases[] = {{"open a picture by type", {small}, false, 0},
                        {"open a larger picture by type", {large}, false, 1},
                        {"drop two pictures", {small, large}, true, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    FittingDialogs dialogs;
    TfrmMain& main = OpenMain();
    TMDIChild* d = main.OpenFile(gif);
    ASSERT_TRUE(d);
    // An earlier edit, so that undoing the pictures cannot fall back on the file.
    main.SetSelectedFrame(1);
    main.FrameCommands().ApplyDelayToSelection(77);
    const int entries = d->History.Count();
    const std::vector<std::uint8_t> bytes = SharedImage()->SaveToMemory();
    const std::vector<gif::Bitmap> shown = testing::Composited(*SharedImage());
    const auto tables = testing::Tables(*SharedImage());

    if (c.Drop) {
      QMimeData data;
      QList<QUrl> urls;
      for (const QString& f : c.Files) urls << QUrl::fromLocalFile(f);
      data.setUrls(urls);
      ASSERT_TRUE(main.DropFiles(&data));
    } else {
      main.OpenFileByType(c.Files.front());
    }
    EXPECT_EQ(main.Documents().Count(), 1);
    EXPECT_EQ(SharedImage()->Images().GetCount(), 5 + static_cast<int>(c.Files.size()));
    EXPECT_EQ(dialogs.Asked, c.Asked);
    // The loop count stays, in memory and in the file written from it.
    EXPECT_EQ(GetLoopCount(*SharedImage()), 3);
    const QString saved = Path(QStringLiteral("saved.gif"));
    testing::WriteAnimation(*SharedImage(), saved);
    const std::unique_ptr<TGIFImage> reread = ReadGifFile(saved);
    ASSERT_TRUE(reread);
    EXPECT_EQ(GetLoopCount(*reread), 3);

    while (d->History.Count() > entries) main.FrameCommands().Undo();
    EXPECT_EQ(testing::Composited(*SharedImage()), shown);
    EXPECT_EQ(testing::Tables(*SharedImage()), tables);
    EXPECT_EQ(SharedImage()->SaveToMemory(), bytes);
    EXPECT_TRUE(messages_.Shown.empty());
    CloseMain();
  }
}

TEST(PackedDibTest, RowsBottomUpBecomeABitmapTopDown) {
  // 2 x 2, 32 bits, no colour table: bottom row first.
  QByteArray dib(40 + 16, '\0');
  auto* p = reinterpret_cast<uchar*>(dib.data());
  qToLittleEndian<quint32>(40, p);
  qToLittleEndian<qint32>(2, p + 4);
  qToLittleEndian<qint32>(2, p + 8);
  qToLittleEndian<quint16>(1, p + 12);
  qToLittleEndian<quint16>(32, p + 14);
  const uchar pixels[] = {0, 0, 255, 0, 0, 255, 0, 0,   // bottom: red, green (B, G, R, x)
                          255, 0, 0, 0, 255, 255, 255, 0};  // top: blue, white
  std::copy(std::begin(pixels), std::end(pixels), p + 40);
  gif::Bitmap bitmap;
  ASSERT_TRUE(PackedDibToBitmap(dib, bitmap));
  ASSERT_EQ(bitmap.Width(), 2);
  ASSERT_EQ(bitmap.Height(), 2);
  EXPECT_EQ(bitmap.PixelColor(0, 0), 0xFF0000u);
  EXPECT_EQ(bitmap.PixelColor(1, 0), 0xFFFFFFu);
  EXPECT_EQ(bitmap.PixelColor(0, 1), 0x0000FFu);
  EXPECT_EQ(bitmap.PixelColor(1, 1), 0x00FF00u);

  EXPECT_FALSE(PackedDibToBitmap(QByteArray(12, '\0'), bitmap));
  QByteArray lying = dib;
  qToLittleEndian<quint32>(4000, reinterpret_cast<uchar*>(lying.data()));
  EXPECT_FALSE(PackedDibToBitmap(lying, bitmap));
}

// A phone's photo is past Qt's own 128 MB cap on a decoded image; the frame limit and the memory
// budget decide instead.
TEST(PackedDibTest, PicturesOverQtsImageCapImportWithinTheBudget) {
  const int w = 5800, h = 5800;
  QByteArray dib(40 + w * 3 * h, '\0');
  auto* p = reinterpret_cast<uchar*>(dib.data());
  qToLittleEndian<quint32>(40, p);
  qToLittleEndian<qint32>(w, p + 4);
  qToLittleEndian<qint32>(h, p + 8);
  qToLittleEndian<quint16>(1, p + 12);
  qToLittleEndian<quint16>(24, p + 14);
  p[40 + 2] = 255;  // bottom left: red
  gif::Bitmap bitmap;
  ASSERT_TRUE(PackedDibToBitmap(dib, bitmap));
  ASSERT_EQ(bitmap.Width(), w);
  ASSERT_EQ(bitmap.Height(), h);
  EXPECT_EQ(bitmap.PixelColor(0, h - 1), 0x0000FFu);
  bitmap = gif::Bitmap();

  const std::uint64_t budget = gif::GIFDefaults().MemoryBudget;
  gif::GIFDefaults().MemoryBudget = 64u << 20;
  bool tooLarge = false;
  EXPECT_FALSE(PackedDibToBitmap(dib, bitmap, false, &tooLarge));
  EXPECT_TRUE(tooLarge);
  gif::GIFDefaults().MemoryBudget = budget;
}

}  // namespace
}  // namespace movinta::editor
