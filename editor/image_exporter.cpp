#include "editor/image_exporter.h"

#include "editor/forms/guarded.h"
#include "editor/help_commands.h"
#include "editor/model/settings.h"
#include "editor/model/string_tables.h"
#include "editor/widget_helpers.h"
#include "gif/qt/qimage_adapter.h"
#include "gif/render/compositor.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace movinta::editor::forms {

namespace {
constexpr const char* kInstruction =
    "To export any or all the frames as individual image files simply select the from the list and choose the "
    "image format options, then press OK.";
constexpr const char* kExportFailed = "An error occurred exporting one or more images.";
constexpr const char* kReplaceAll = "%1 exists already, and it may not be the only one. Replace all?";

QRadioButton* Radio(const char* name, const char* text, QWidget* parent, QBoxLayout* layout) {
  auto* b = new QRadioButton(QString::fromUtf8(text), parent);
  b->setObjectName(QString::fromLatin1(name));
  layout->addWidget(b);
  return b;
}

QCheckBox* Check(const char* name, const char* text, QWidget* parent, QBoxLayout* layout) {
  auto* c = new QCheckBox(QString::fromUtf8(text), parent);
  c->setObjectName(QString::fromLatin1(name));
  layout->addWidget(c);
  return c;
}
}  // namespace

TfrmExporter::TfrmExporter(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmExporter"));
  setWindowTitle(QStringLiteral("Export Images"));
  InstallDialogHelp(*this, help_contexts::kExports);
  auto* root = new QVBoxLayout(this);
  auto* instruction = new QLabel(QString::fromUtf8(kInstruction), this);
  instruction->setWordWrap(true);
  root->addWidget(instruction);

  auto* body = new QHBoxLayout;
  root->addLayout(body, 1);
  lbExport = new QListWidget(this);
  lbExport->setObjectName(QStringLiteral("lbExport"));
  lbExport->setSelectionMode(QAbstractItemView::ExtendedSelection);
  body->addWidget(lbExport);
  connect(lbExport, &QListWidget::itemClicked, this, Guarded([this] { lbExportClick(); }));
  connect(lbExport, &QListWidget::currentRowChanged, this, Guarded([this] { lbExportClick(); }));

  sbPreview = new QScrollArea(this);
  sbPreview->setObjectName(QStringLiteral("sbPreview"));
  sbPreview->setMinimumSize(160, 160);
  imgPreview = new QLabel;
  imgPreview->setObjectName(QStringLiteral("imgPreview"));
  sbPreview->setWidget(imgPreview);
  sbPreview->setAlignment(Qt::AlignCenter);
  body->addWidget(sbPreview, 1);

  auto* options = new QVBoxLayout;
  body->addLayout(options);
  auto* formatBox = new QGroupBox(QStringLiteral("Export Image(s) as"), this);
  auto* formatLayout = new QVBoxLayout(formatBox);
  optGIF = Radio("optGIF", "&Gif Image (*.gif)", formatBox, formatLayout);
  optJpeg = Radio("optJpeg", "&Jpeg Image (*.jpg)", formatBox, formatLayout);
  optBitmap = Radio("optBitmap", "&Bitmap Image (*.bmp)", formatBox, formatLayout);
  optGIF->setChecked(true);
  options->addWidget(formatBox);
  auto* formats = new QButtonGroup(this);
  formats->addButton(optGIF, 0);
  formats->addButton(optJpeg, 1);
  formats->addButton(optBitmap, 2);
  connect(formats, &QButtonGroup::idClicked, this, Guarded(this, &TfrmExporter::optGIFClick));

  // GIF options.
  pnlGIF = new QWidget(this);
  pnlGIF->setObjectName(QStringLiteral("pnlGIF"));
  auto* gifLayout = new QVBoxLayout(pnlGIF);
  auto* paletteBox = new QGroupBox(QStringLiteral("Color Palette"), pnlGIF);
  auto* paletteLayout = new QVBoxLayout(paletteBox);
  optGIFNetscape = Radio("optGIFNetscape", "&Netscape (216 colors)", paletteBox, paletteLayout);
  optGIFGray = Radio("optGIFGray", "G&rayscale (255 shades)", paletteBox, paletteLayout);
  optGIFMonochrome = Radio("optGIFMonochrome", "&Monochrome (b&&w)", paletteBox, paletteLayout);
  auto* windowsRow = new QHBoxLayout;
  paletteLayout->addLayout(windowsRow);
  optGIFWindows = Radio("optGIFWindows", "&Windows", paletteBox, windowsRow);
  cbGIFColors = new QComboBox(paletteBox);
  cbGIFColors->setObjectName(QStringLiteral("cbGIFColors"));
  cbGIFColors->addItems({QStringLiteral("256"), QStringLiteral("128"), QStringLiteral("64"), QStringLiteral("32"),
                         QStringLiteral("16"), QStringLiteral("8")});
  cbGIFColors->setCurrentIndex(0);
  windowsRow->addWidget(cbGIFColors);
  windowsRow->addWidget(new QLabel(QStringLiteral("(colors)"), paletteBox));
  optGIFWinSys20 = Radio("optGIFWinSys20", "Windows &System (20 colors)", paletteBox, paletteLayout);
  optGIFNetscape->setChecked(true);
  gifLayout->addWidget(paletteBox);
  chkGIFOptimized = Check("chkGIFOptimized", "&Optimized", pnlGIF, gifLayout);
  chkGIFOptimized->setChecked(true);
  auto* palettes = new QButtonGroup(this);
  int tag = 0;
  for (QRadioButton* b : {optGIFNetscape, optGIFGray, optGIFMonochrome, optGIFWindows, optGIFWinSys20})
    palettes->addButton(b, tag++);
  connect(palettes, &QButtonGroup::idClicked, this, Guarded(this, &TfrmExporter::optGIFNetscapeClick));
  options->addWidget(pnlGIF);

  // JPEG options.
  pnlJPEG = new QWidget(this);
  pnlJPEG->setObjectName(QStringLiteral("pnlJPEG"));
  auto* jpegLayout = new QVBoxLayout(pnlJPEG);
  auto* qualityBox = new QGroupBox(QStringLiteral("&Compresson Quality"), pnlJPEG);
  auto* qualityLayout = new QGridLayout(qualityBox);
  trackbar = new QSlider(Qt::Horizontal, qualityBox);
  trackbar->setObjectName(QStringLiteral("trackbar"));
  trackbar->setRange(0, 4);
  trackbar->setValue(2);
  trackbar->setTickPosition(QSlider::TicksBelow);
  trackbar->setPageStep(1);
  qualityLayout->addWidget(trackbar, 0, 0, 1, 2);
  // Position 0 gives the best quality, so the left end says so.
  lblBest = new QLabel(QStringLiteral("Excellent"), qualityBox);
  lblWorst = new QLabel(QStringLiteral("Poor"), qualityBox);
  qualityLayout->addWidget(lblBest, 1, 0, Qt::AlignLeft);
  qualityLayout->addWidget(lblWorst, 1, 1, Qt::AlignRight);
  jpegLayout->addWidget(qualityBox);
  auto* performanceBox = new QGroupBox(QStringLiteral("Performance"), pnlJPEG);
  auto* performanceLayout = new QVBoxLayout(performanceBox);
  optJBestQuality = Radio("optJBestQuality", "Best &Quality", performanceBox, performanceLayout);
  optJSpdQuality = Radio("optJSpdQuality", "Best &Speed", performanceBox, performanceLayout);
  optJBestQuality->setChecked(true);
  jpegLayout->addWidget(performanceBox);
  auto* displayBox = new QGroupBox(QStringLiteral("Display"), pnlJPEG);
  auto* displayLayout = new QVBoxLayout(displayBox);
  chkJProgress = Check("chkJProgress", "&Progressive Display", displayBox, displayLayout);
  chkJSmooth = Check("chkJSmooth", "S&moothing", displayBox, displayLayout);
  chkJGrayscale = Check("chkJGrayscale", "G&rayscale", displayBox, displayLayout);
  connect(chkJProgress, &QCheckBox::clicked, this, Guarded(this, &TfrmExporter::chkJProgressClick));
  chkJProgressClick();
  jpegLayout->addWidget(displayBox);
  options->addWidget(pnlJPEG);

  // BMP options.
  pnlBitmap = new QWidget(this);
  pnlBitmap->setObjectName(QStringLiteral("pnlBitmap"));
  auto* bitmapLayout = new QVBoxLayout(pnlBitmap);
  chkBMono = Check("chkBMono", "&Monochrome (b&&w)", pnlBitmap, bitmapLayout);
  bitmapLayout->addStretch(1);
  options->addWidget(pnlBitmap);
  options->addStretch(1);
  optGIFClick(0);

  Progress = new QProgressBar(this);
  Progress->setObjectName(QStringLiteral("Progress"));
  Progress->hide();
  root->addWidget(Progress);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  root->addWidget(buttons);
}

void TfrmExporter::optGIFClick(int tag) {
  formatTag_ = tag;
  pnlGIF->setVisible(tag == 0);
  pnlJPEG->setVisible(tag == 1);
  pnlBitmap->setVisible(tag == 2);
}

void TfrmExporter::optGIFNetscapeClick(int tag) { paletteTag_ = tag; }

void TfrmExporter::chkJProgressClick() {
  if (chkJProgress->isChecked()) {
    chkJSmooth->setEnabled(true);
  } else {
    chkJSmooth->setChecked(false);
    chkJSmooth->setEnabled(false);
  }
}

void TfrmExporter::lbExportClick() {
  const int row = lbExport->currentRow();
  if (row < 0) return;
  SetRedraw(sbPreview, true);
  try {
    TGIFImage& image = *SharedImage();
    gif::TGIFCompositor screen(image, Settings().FrameBackColor);
    imgPreview->setPixmap(QPixmap::fromImage(gif::qt::ToQImage(screen.Render(row))));
    imgPreview->adjustSize();
  } catch (const std::exception&) {
    // No preview for a frame that cannot be drawn.
  }
  SetRedraw(sbPreview, false);
  CenterInScrollBox(sbPreview, imgPreview);
}

ExportSettings TfrmExporter::CurrentSettings() const {
  ExportSettings s;
  s.Format = static_cast<ExportFormat>(optJpeg->isChecked() ? 1 : optBitmap->isChecked() ? 2 : 0);
  s.GifPalette = paletteTag_;
  s.GifColorsIndex = cbGIFColors->currentIndex();
  s.GifOptimized = chkGIFOptimized->isChecked();
  s.JpegTrack = trackbar->value();
  s.JpegBestQuality = optJBestQuality->isChecked();
  s.JpegProgressive = chkJProgress->isChecked();
  s.JpegGrayscale = chkJGrayscale->isChecked();
  s.BmpMonochrome = chkBMono->isChecked();
  return s;
}

std::vector<int> TfrmExporter::SelectedFrames() const {
  std::vector<int> frames;
  for (int i = 0; i < lbExport->count(); ++i)
    if (lbExport->item(i)->isSelected()) frames.push_back(i);
  return frames;
}

bool TfrmExporter::FormCloseQuery() {
  const std::vector<int> frames = SelectedFrames();
  if (frames.empty()) return true;
  if (const TGIFImage& image = *SharedImage(); image.GetWidth() == 0 || image.GetHeight() == 0) {
    ShowMessage(Tr(texts::kNoPictureSize).arg(image.GetWidth()).arg(image.GetHeight()), MessageType::Error, kOk);
    return false;
  }
  const ExportSettings settings = CurrentSettings();
  IFileChooser* chooser = FileChooser();
  if (!chooser) return false;
  const std::optional<QString> chosen =
      chooser->ChooseSave({QString(), StartFolder, ExportSuffix(settings.Format), ExportFilter(settings.Format)});
  if (!chosen || chosen->isEmpty()) return false;

  // The dialog asked about the name typed; the numbered files are asked about here, once.
  const QStringList names = ExportFileNames(*chosen, frames, settings.Format);
  for (const QString& name : names) {
    if (!QFileInfo::exists(name)) continue;
    if (ShowMessage(QString::fromUtf8(kReplaceAll).arg(name), MessageType::Confirmation, kYesNo) != mrYes) return false;
    break;
  }

  bool ok = true;
  {
    BusyScope busy;
    Progress->setRange(0, static_cast<int>(frames.size()));
    Progress->setValue(0);
    Progress->show();
    ok = ExportFrames(*SharedImage(), frames, *chosen, settings, Settings().FrameBackColor,
                      [this](int done) { Progress->setValue(done); });
    Progress->hide();
  }
  if (!ok) ShowMessage(QString::fromUtf8(kExportFailed), MessageType::Information, kOk);
  return true;
}

void TfrmExporter::done(int result) {
  if (result == QDialog::Accepted && !FormCloseQuery()) return;
  QDialog::done(result);
}

}  // namespace movinta::editor::forms
