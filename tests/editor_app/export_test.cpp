// The Export menu: the HTML page and the image exporter, its files read back by ImageMagick.
#include "app_fixture.h"

#include "editor/image_exporter.h"
#include "editor/model/settings.h"
#include "gif/render/compositor.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QRadioButton>
#include <QSlider>

#include <cstdlib>
#include <set>

namespace movinta::editor {
namespace {

using testing::AppTest;

constexpr const char* kIdentify = "/usr/bin/identify-im6.q16";
constexpr gif::TColor kBackdrop = 0x00FFFF;  // yellow, unlike every colour of the fixture

// Runs an ImageMagick tool; its standard output, empty when it fails.
QByteArray Magick(const char* tool, const QStringList& arguments) {
  QProcess p;
  p.start(QString::fromLatin1(tool), arguments);
  if (!p.waitForFinished(30000) || p.exitCode() != 0) return {};
  return p.readAllStandardOutput();
}

// The picture of a file as ImageMagick reads it: RGB bytes, row by row.
QByteArray ReadRgb(const QString& file) {
  return Magick(IMAGEMAGICK_CONVERT, {file, QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("rgb:-")});
}

QByteArray RgbOf(const gif::Bitmap& b) {
  QByteArray out;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const gif::TColor c = b.PixelColor(x, y);
      out.append(static_cast<char>(c & 0xFF)).append(static_cast<char>((c >> 8) & 0xFF)).append(static_cast<char>(c >> 16));
    }
  return out;
}

// A 32 x 24 screen: frame 0 red all over; frame 1 a green 12 x 12 square at (8, 4) with a
// transparent corner pixel, restored to the background afterwards; frame 2 a white 8 x 8 square at
// (20, 12).
std::unique_ptr<TGIFImage> Fixture() {
  auto image = std::make_unique<TGIFImage>();
  for (gif::TColor c : {0x000000u, 0xFFFFFFu, 0x0000FFu, 0x00FF00u}) image->GetGlobalColorMap().Add(c);
  struct Part {
    int Left, Top, Width, Height, Index, Disposal;
    bool Transparent;
  };
  const Part parts[] = {{0, 0, 32, 24, 2, 1, false}, {8, 4, 12, 12, 3, 2, true}, {20, 12, 8, 8, 1, 1, false}};
  for (const Part& p : parts) {
    auto* frame = new gif::TGIFSubImage(image.get());
    frame->SetBounds(p.Left, p.Top, p.Width, p.Height);
    for (std::size_t i = 0; i < frame->DataSize(); ++i) frame->Data()[i] = static_cast<std::uint8_t>(p.Index);
    image->Add(frame);
    SetFrameDelay(*frame, 10);
    gif::TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
    gce->SetDisposal(p.Disposal);
    if (p.Transparent) {
      frame->Data()[0] = 0;
      gce->SetTransparent(true);
      gce->SetTransparentColorIndex(0);
    }
  }
  image->SetWidth(32);
  image->SetHeight(24);
  return image;
}

class ExportTest : public AppTest {
protected:
  void SetUp() override {
    backdrop_ = Settings().FrameBackColor;
    Settings().FrameBackColor = kBackdrop;
  }
  void TearDown() override {
    Settings().FrameBackColor = backdrop_;
    AppTest::TearDown();
    SharedImage(1);  // the exporter tests run without a main window, which would free it
  }
  // An exporter over the fixture with the frames selected.
  std::unique_ptr<forms::TfrmExporter> Exporter(std::initializer_list<int> selected) {
    testing::UseAsWorkingImage(Fixture());
    auto form = std::make_unique<forms::TfrmExporter>();
    for (int i = 0; i < 3; ++i) form->lbExport->addItem(QStringLiteral("Frame - %1").arg(i));
    for (int i : selected) form->lbExport->item(i)->setSelected(true);
    return form;
  }
  gif::Bitmap Shown(int frame) {
    std::unique_ptr<TGIFImage> image = Fixture();
    gif::TGIFCompositor screen(*image, kBackdrop);
    return screen.Render(frame);
  }

  testing::ScriptedChooser chooser_;
  gif::TColor backdrop_ = 0;
};

TEST_F(ExportTest, EachSelectedFrameIsWrittenAsThePlayerShowsIt) {
  struct Case {
    const char* Name;
    std::function<void(forms::TfrmExporter&)> Choose;
    int Tolerance;  // mean difference per channel
  };
  const Case cases[] = {
      {"x.gif", [](forms::TfrmExporter&) {}, 0},
      {"x.bmp", [](forms::TfrmExporter& f) { f.optBitmap->click(); }, 0},
      {"x.jpg",
       [](forms::TfrmExporter& f) {
         f.optJpeg->click();
         f.trackbar->setValue(0);
       },
       6},
  };
  for (const Case& c : cases) {
    const QString folder = Path(QString::fromLatin1(c.Name).replace(QLatin1Char('.'), QLatin1Char('_')));
    QDir().mkpath(folder);
    auto form = Exporter({0, 2});
    c.Choose(*form);
    chooser_.Names.push_back(folder + QLatin1Char('/') + QString::fromLatin1(c.Name));
    form->done(QDialog::Accepted);
    EXPECT_EQ(form->result(), QDialog::Accepted) << c.Name;
    const QString suffix = QFileInfo(QString::fromLatin1(c.Name)).suffix();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files),
              (QStringList{QStringLiteral("xZQ10.") + suffix, QStringLiteral("xZQ12.") + suffix}));
    for (int frame : {0, 2}) {
      const QString file = folder + QStringLiteral("/xZQ1%1.").arg(frame) + suffix;
      const QByteArray read = ReadRgb(file);
      const QByteArray expected = RgbOf(Shown(frame));
      ASSERT_EQ(read.size(), expected.size()) << file.toStdString() << ": the whole screen";
      long total = 0;
      for (qsizetype i = 0; i < read.size(); ++i)
        total += std::abs(static_cast<unsigned char>(read[i]) - static_cast<unsigned char>(expected[i]));
      EXPECT_LE(total / read.size(), c.Tolerance) << file.toStdString();
      if (c.Tolerance == 0) {
        EXPECT_EQ(read, expected) << file.toStdString();
      }
    }
  }
  // Frame 2 shows frame 0 around it and the backdrop where frame 1 was cleared away.
  const gif::Bitmap two = Shown(2);
  EXPECT_EQ(two.PixelColor(0, 0), 0x0000FFu);
  EXPECT_EQ(two.PixelColor(12, 8), kBackdrop);
  EXPECT_EQ(two.PixelColor(22, 14), 0xFFFFFFu);
}

TEST_F(ExportTest, ATypedSuffixOfAnotherFormatGivesWayToTheChosenOnes) {
  const QString folder = Path(QStringLiteral("typed"));
  QDir().mkpath(folder);
  auto form = Exporter({0, 2});
  form->optJpeg->click();
  chooser_.Names.push_back(folder + QStringLiteral("/x.gif"));
  form->done(QDialog::Accepted);
  EXPECT_EQ(QDir(folder).entryList(QDir::Files), (QStringList{"xZQ10.jpg", "xZQ12.jpg"}));
  EXPECT_EQ(Magick(kIdentify, {QStringLiteral("-format"), QStringLiteral("%m"), folder + QStringLiteral("/xZQ12.jpg")}),
            "JPEG");
}

TEST_F(ExportTest, AnAnimationWithoutAPictureSizeIsToldSoBeforeTheDialog) {
  auto form = Exporter({0});
  SharedImage()->Header().SetWidth(0);
  SharedImage()->Header().SetHeight(0);
  form->done(QDialog::Accepted);
  EXPECT_TRUE(chooser_.Asked.isEmpty());
  ASSERT_EQ(messages_.Shown.size(), 1u);
  EXPECT_EQ(messages_.Shown[0].Text, QStringLiteral("The animation has no picture size (its screen is 0 x 0 pixels): "
                                                    "give it a width and a height before exporting it."));
}

TEST_F(ExportTest, PaletteAndFileOptionsTakeEffect) {
  struct Case {
    const char* Name;
    std::function<void(forms::TfrmExporter&)> Choose;
    const char* Format;  // identify's -format
    std::function<bool(const QByteArray& identify, const QByteArray& rgb)> Holds;
  };
  auto colours = [](const QByteArray& rgb) {
    std::set<int> out;
    for (qsizetype i = 0; i + 2 < rgb.size(); i += 3)
      out.insert(static_cast<unsigned char>(rgb[i]) << 16 | static_cast<unsigned char>(rgb[i + 1]) << 8 |
                 static_cast<unsigned char>(rgb[i + 2]));
    return out;
  };
  auto gray = [](const QByteArray& rgb) {
    for (qsizetype i = 0; i + 2 < rgb.size(); i += 3)
      if (rgb[i] != rgb[i + 1] || rgb[i] != rgb[i + 2]) return false;
    return true;
  };
  auto blackAndWhite = [&](const QByteArray& rgb) {
    for (int c : colours(rgb))
      if (c != 0 && c != 0xFFFFFF) return false;
    return true;
  };
  const Case cases[] = {
      {"grayscale.gif", [](forms::TfrmExporter& f) { f.optGIFGray->click(); }, "%k",
       [&](const QByteArray&, const QByteArray& rgb) { return gray(rgb) && colours(rgb).size() > 2; }},
      {"mono.gif", [](forms::TfrmExporter& f) { f.optGIFMonochrome->click(); }, "%k",
       [&](const QByteArray&, const QByteArray& rgb) { return blackAndWhite(rgb); }},
      {"eight.gif",
       [](forms::TfrmExporter& f) {
         f.optGIFWindows->click();
         f.cbGIFColors->setCurrentIndex(5);
       },
       "%k", [&](const QByteArray&, const QByteArray& rgb) { return colours(rgb).size() <= 8; }},
      {"mono.bmp",
       [](forms::TfrmExporter& f) {
         f.optBitmap->click();
         f.chkBMono->setChecked(true);
       },
       "%z", [&](const QByteArray& id, const QByteArray& rgb) { return id.trimmed() == "1" && blackAndWhite(rgb); }},
      {"gray.jpg",
       [](forms::TfrmExporter& f) {
         f.optJpeg->click();
         f.chkJGrayscale->setChecked(true);
         f.chkJProgress->click();
       },
       "%[colorspace] %[interlace]",
       [](const QByteArray& id, const QByteArray&) { return id.trimmed() == "Gray JPEG"; }},
  };
  for (const Case& c : cases) {
    auto form = Exporter({2});
    c.Choose(*form);
    chooser_.Names.push_back(Path(QString::fromLatin1(c.Name)));
    form->done(QDialog::Accepted);
    const QString file = Path(QString::fromLatin1(c.Name)).replace(QLatin1Char('.'), QStringLiteral("ZQ12."));
    const QByteArray id = Magick(kIdentify, {QStringLiteral("-format"), QString::fromLatin1(c.Format), file});
    EXPECT_TRUE(c.Holds(id, ReadRgb(file))) << c.Name << ": " << id.toStdString();
  }
}

TEST_F(ExportTest, TheFormStaysOpenUntilItsFilesAreSettled) {
  // OK with nothing selected closes without a question.
  auto none = Exporter({});
  none->done(QDialog::Accepted);
  EXPECT_EQ(none->result(), QDialog::Accepted);
  EXPECT_TRUE(chooser_.Asked.isEmpty());

  // Cancelling the save dialog keeps the form open.
  auto form = Exporter({0, 1});
  form->lbExport->setCurrentRow(2, QItemSelectionModel::NoUpdate);
  ASSERT_FALSE(form->imgPreview->pixmap().isNull());
  EXPECT_EQ(form->imgPreview->pixmap().toImage().convertToFormat(QImage::Format_RGB888).pixelColor(22, 14),
            QColor(Qt::white))
      << "the preview shows the frame on the screen";
  form->setResult(-1);
  form->done(QDialog::Accepted);
  EXPECT_EQ(form->result(), -1);
  EXPECT_EQ(chooser_.Asked.size(), 1);

  // A numbered file there already is asked about once; No writes nothing and keeps the form.
  testing::WriteBytes(Path(QStringLiteral("yZQ11.gif")), "mine");
  chooser_.Names.push_back(Path(QStringLiteral("y.gif")));
  messages_.Answers.push_back(mrNo);
  form->done(QDialog::Accepted);
  EXPECT_EQ(form->result(), -1);
  ASSERT_EQ(messages_.Shown.size(), 1u);
  EXPECT_TRUE(messages_.Shown[0].Text.endsWith(QStringLiteral("Replace all?")));
  EXPECT_TRUE(messages_.Shown[0].Text.contains(Path(QStringLiteral("yZQ11.gif"))));
  EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("yZQ10.gif"))));
  EXPECT_EQ(testing::FileBytes(Path(QStringLiteral("yZQ11.gif"))), QByteArray("mine"));

  // A file that cannot be written is reported once the others are done.
  messages_.Shown.clear();
  QDir().mkpath(Path(QStringLiteral("zZQ10.gif")));  // a folder where the first file would go
  chooser_.Names.push_back(Path(QStringLiteral("z.gif")));
  messages_.Answers.push_back(mrYes);
  form->done(QDialog::Accepted);
  EXPECT_EQ(form->result(), QDialog::Accepted);
  EXPECT_TRUE(QFileInfo(Path(QStringLiteral("zZQ11.gif"))).isFile());
  ASSERT_EQ(messages_.Shown.size(), 2u);  // the replace question, then the failure
  EXPECT_EQ(messages_.Shown[1].Text, QStringLiteral("An error occurred exporting one or more images."));
}

TEST_F(ExportTest, TheExportMenuNeedsFrames) {
  TfrmMain& main = OpenMain();
  main.Documents().NewDocument();
  main.mniFileExportClick();
  QList<QAction*> items = main.ExportMenu()->actions();
  ASSERT_EQ(items.size(), 4);  // single images, AVI, HTML page, Flash movie
  for (QAction* a : items) EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
  main.OpenFile(Gif(QStringLiteral("a.gif"), 2));
  main.mniFileExportClick();
  for (QAction* a : items) EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();

  // The Save As button's drop-down offers both formats.
  QStringList formats;
  for (QAction* a : main.SaveAsMenu()->actions()) formats.append(a->text());
  EXPECT_EQ(formats, (QStringList{QStringLiteral("Save As Animated &GIF (.gif)..."),
                                  QStringLiteral("Save As Macromedia &Flash (.swf)...")}));
}

TEST_F(ExportTest, TheHtmlPageShowsTheSavedFile) {
  TfrmMain& main = OpenMain();
  QUrl opened;
  main.ExportCommands().OpenUrl = [&opened](const QUrl& url) {
    opened = url;
    return true;
  };
  // A document never saved is saved first, or nothing happens.
  TMDIChild* d = main.Documents().NewDocument();
  testing::UseAsWorkingImage(Fixture());
  d->SetModified(true);
  messages_.Answers = {mrNo};
  main.mniFileExportHTMLClick();
  EXPECT_TRUE(chooser_.Asked.isEmpty());
  EXPECT_EQ(messages_.Shown.at(0).Text, QStringLiteral("Would you like to save the current document before proceeding?"));

  messages_.Shown.clear();
  messages_.Answers = {mrYes, mrYes};
  chooser_.Names = {Path(QStringLiteral("my anim.gif")), Path(QStringLiteral("page.htm"))};
  main.mniFileExportHTMLClick();
  EXPECT_EQ(chooser_.Asked, (QStringList{QStringLiteral("Untitled1.gif"), QStringLiteral("my anim")}));
  EXPECT_TRUE(QFileInfo(Path(QStringLiteral("my anim.gif"))).isFile());
  EXPECT_EQ(testing::FileBytes(Path(QStringLiteral("page.html"))),
            QByteArray("<HTML>\r\n<HEAD>\r\n  <META NAME=\"GENERATOR\" CONTENT=\"GIF Movinta - by Larkspur Software\">\r\n"
                       "  <TITLE></TITLE>\r\n</HEAD>\r\n\r\n<BODY BGCOLOR=\"#FFFFFF\">\r\n"
                       "<IMG SRC=\"my%20anim.gif\" ALT=\"Animated Image\" HEIGHT=\"24\" WIDTH=\"32\">\r\n"
                       "</BODY></HTML>\r\n"));
  ASSERT_EQ(messages_.Shown.size(), 2u);
  EXPECT_EQ(messages_.Shown[1].Text, QStringLiteral("Would you like to view the HTML page in the default brower now?"));
  EXPECT_EQ(opened, QUrl::fromLocalFile(Path(QStringLiteral("page.html"))));
}

}  // namespace
}  // namespace movinta::editor
