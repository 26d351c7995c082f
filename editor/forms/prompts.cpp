#include "editor/forms/prompts.h"

#include "editor/forms/form_builders.h"

#include "controls/xpress.h"
#include "editor/forms/palette_editor.h"
#include "editor/forms/guarded.h"
#include "editor/model/settings.h"
#include "editor/model/string_tables.h"
#include "editor/model/text_helpers.h"
#include "editor/model/ui_services.h"
#include "editor/model/working_image.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace movinta::editor::forms {

namespace {
QString T(const char* s) { return QString::fromUtf8(s); }

QRadioButton* Radio(QWidget* parent, QLayout* layout, const char* caption) {
  auto* b = new QRadioButton(T(caption), parent);
  layout->addWidget(b);
  return b;
}

}  // namespace

TfrmPrompts::TfrmPrompts(QWidget* owner, int page, gif::TGIFImage* image, SettingsStore* settings)
    : QDialog(owner), page_(page), image_(image ? image : SharedImage()), settings_(settings) {
  if (!settings_) {
    ownSettings_ = std::make_unique<SettingsStore>();
    settings_ = ownSettings_.get();
  }
  RunPalette = [](TfrmPalette& dialog) { return dialog.exec() == QDialog::Accepted; };
  setModal(true);
  setWindowTitle(PromptCaption(page_));

  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(8, 8, 8, 8);
  tabPrompts = new QTabWidget(this);
  panel = BuildPage(page_);
  tabPrompts->addTab(panel, PromptTabText(page_));
  main->addWidget(tabPrompts);
  buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, Guarded(this, &TfrmPrompts::accept));
  connect(buttons, &QDialogButtonBox::rejected, this, Guarded(this, &TfrmPrompts::reject));
  main->addWidget(buttons);
  const PromptLayout l = LayoutPrompt(panel->sizeHint(), buttons->sizeHint().height());
  resize(l.Client);
  // A wrapping text takes the lines it needs at the width the dialog got.
  if (main->hasHeightForWidth()) resize(width(), std::max(height(), main->totalHeightForWidth(width())));
}

TfrmPrompts::~TfrmPrompts() {
  // Fields losing the focus while the dialog goes must not reach the half-destroyed dialog.
  for (QLineEdit* edit : {txtLoop, txtDelay})
    if (edit) {
      edit->disconnect(this);
      edit->removeEventFilter(this);
    }
  if (imgXprops) imgXprops->ClearImage(0);
}

QWidget* TfrmPrompts::BuildPage(int page) {
  switch (page) {
    case pgInsertImage: return BuildInsertImage();
    case pgFrameSize: return BuildFrameSize();
    case pgPalettes: return BuildPalettes();
    case pgResize: return BuildResize();
    case pgAnimationInfo: return BuildAnimationInfo();
    case pgImageProperties: return BuildImageProperties();
    case pgHtmlTag: return BuildHtmlTag();
    case pgGlobalChange: return BuildGlobalChange();
    default: return new QWidget(this);
  }
}

QWidget* TfrmPrompts::BuildInsertImage() {
  auto* p = new QWidget(this);
  p->setObjectName(QStringLiteral("pnlDropFrame"));
  auto* l = new QVBoxLayout(p);
  l->addWidget(new QLabel(T("Where would you like to place this image in the animation?"), p));
  optStart = Radio(p, l, "At the &start");
  optBefore = Radio(p, l, "&Before the current selected frame");
  optAfter = Radio(p, l, "&After the current selected frame");
  optAfter->setChecked(true);
  return p;
}

QWidget* TfrmPrompts::BuildFrameSize() {
  auto* p = new QWidget(this);
  p->setObjectName(QStringLiteral("pnlFrameDiff"));
  auto* l = new QVBoxLayout(p);
  auto* q = new QLabel(T("Frame dimensions are larger than the animation. How should this be handled?"), p);
  q->setWordWrap(true);
  l->addWidget(q);
  optClip = Radio(p, l, "&Trim frame to the animation size");
  optChange = Radio(p, l, "&Change animation to match frame size.");
  chkDefault = new QCheckBox(T("Make this the &Default"), p);
  l->addWidget(chkDefault);
  const FrameSizeSettings s = ReadFrameSizeSettings(*settings_);
  (s.Clip ? optClip : optChange)->setChecked(true);
  chkDefault->setChecked(s.Default);
  return p;
}

QWidget* TfrmPrompts::BuildPalettes() {
  auto* p = new QWidget(this);
  p->setObjectName(QStringLiteral("pnlPalettes"));
  auto* l = new QVBoxLayout(p);
  const PaletteSettings s = ReadPaletteSettings(*settings_);
  paletteDefaultRead_ = s.Default;

  auto* type = new QGroupBox(T("Palette"), p);
  auto* tl = new QVBoxLayout(type);
  optPalOptimzed = Radio(type, tl, "Use self-&adapting global palette (Optimized)");
  optPalNetcape = Radio(type, tl, "Use &Netscape (216 colors) web safe color cube");
  optPalLocal = Radio(type, tl, "Use &local palette for new frames");
  (s.PaletteType == 1 ? optPalNetcape : s.PaletteType == 2 ? optPalLocal : optPalOptimzed)->setChecked(true);
  auto* counts = new QFormLayout;
  cbMaxColors = NewColorCountCombo(type, s.MaxColorCount);
  counts->addRow(T("Maximum &colors:"), cbMaxColors);
  tl->addLayout(counts);
  l->addWidget(type);

  auto* dither = new QGroupBox(T("Dithering"), p);
  auto* dl = new QVBoxLayout(dither);
  optNearest = Radio(dither, dl, "N&earest (no error diffusion)");
  optFloyd = Radio(dither, dl, "&FloydSteinberg  (high quality color mapping)");
  (s.DitherMethod == 1 ? optFloyd : optNearest)->setChecked(true);
  auto* imports = new QFormLayout;
  cbMaxDither = NewColorCountCombo(dither, s.MaxImportCount);
  imports->addRow(T("Maximum colors for &24-bit images:"), cbMaxDither);
  dl->addLayout(imports);
  l->addWidget(dither);

  chkDefaultPal = new QCheckBox(T("Make this the &Default"), p);
  chkDefaultPal->setChecked(s.Default);
  l->addWidget(chkDefaultPal);
  return p;
}

int TfrmPrompts::CurrentHeight() const { return txtCurrH ? txtCurrH->text().toInt() : 0; }
int TfrmPrompts::CurrentWidth() const { return txtCurrW ? txtCurrW->text().toInt() : 0; }

QWidget* TfrmPrompts::BuildResize() {
  auto* p = new QWidget(this);
  p->setObjectName(QStringLiteral("pnlResize"));
  auto* f = new QFormLayout(p);
  txtCurrH = new QLineEdit(p);
  txtCurrW = new QLineEdit(p);
  txtCurrH->setReadOnly(true);
  txtCurrW->setReadOnly(true);
  auto spin = [p](int lo, int hi) {
    auto* s = new QSpinBox(p);
    s->setRange(lo, hi);
    s->setKeyboardTracking(true);
    return s;
  };
  udHeight = spin(1, 32767);
  udWidth = spin(1, 32767);
  txtHPercent = spin(0, 100000);
  txtWPercent = spin(0, 100000);
  txtHPercent->setSuffix(QStringLiteral(" %"));
  txtWPercent->setSuffix(QStringLiteral(" %"));
  f->addRow(T("Current height:"), txtCurrH);
  f->addRow(T("Current width:"), txtCurrW);
  f->addRow(T("New &height (pixels):"), udHeight);
  f->addRow(T("New &width (pixels):"), udWidth);
  f->addRow(T("Height (percent):"), txtHPercent);
  f->addRow(T("Width (percent):"), txtWPercent);
  chkConstrain = new QCheckBox(T("&Constrain Size"), p);
  imgConstrain = new QLabel(QStringLiteral("\u26D3"), p);  // the link between the two sides
  imgConstrain->hide();
  auto* row = new QHBoxLayout;
  row->addWidget(chkConstrain);
  row->addWidget(imgConstrain);
  row->addStretch();
  f->addRow(row);

  ResizePercent = 100;
  inUpdate_ = true;
  txtHPercent->setValue(100);
  txtWPercent->setValue(100);
  if (image_ && !image_->IsEmpty()) {
    udHeight->setValue(std::clamp(image_->GetHeight(), 1, 32767));
    udWidth->setValue(std::clamp(image_->GetWidth(), 1, 32767));
    txtCurrH->setText(QString::number(image_->GetHeight()));
    txtCurrW->setText(QString::number(image_->GetWidth()));
  }
  inUpdate_ = false;
  connect(udHeight, &QSpinBox::valueChanged, this, Guarded([this] { HeightChanged(); }));
  connect(udWidth, &QSpinBox::valueChanged, this, Guarded([this] { WidthChanged(); }));
  connect(txtHPercent, &QSpinBox::valueChanged, this, Guarded([this] { PercentChanged(true); }));
  connect(txtWPercent, &QSpinBox::valueChanged, this, Guarded([this] { PercentChanged(false); }));
  connect(chkConstrain, &QCheckBox::toggled, this, Guarded([this] { chkConstrainClick(); }));
  return p;
}

ResizeFields TfrmPrompts::CurrentResizeFields() const {
  return {udHeight->value(), udWidth->value(), txtHPercent->value(), txtWPercent->value()};
}

void TfrmPrompts::SetResizeFields(const ResizeFields& f) {
  inUpdate_ = true;
  udHeight->setValue(std::clamp(f.Height, 1, 32767));
  udWidth->setValue(std::clamp(f.Width, 1, 32767));
  txtHPercent->setValue(f.HeightPercent);
  txtWPercent->setValue(f.WidthPercent);
  inUpdate_ = false;
}

void TfrmPrompts::HeightChanged() {
  if (inUpdate_) return;
  const ResizeFields f =
      ResizeFromHeight(CurrentResizeFields(), CurrentHeight(), CurrentWidth(), udHeight->value(), chkConstrain->isChecked());
  ResizePercent = f.HeightPercent;
  SetResizeFields(f);
}

void TfrmPrompts::WidthChanged() {
  if (inUpdate_) return;
  const ResizeFields f =
      ResizeFromWidth(CurrentResizeFields(), CurrentHeight(), CurrentWidth(), udWidth->value(), chkConstrain->isChecked());
  ResizePercent = f.WidthPercent;
  SetResizeFields(f);
}

void TfrmPrompts::PercentChanged(bool height) {
  if (inUpdate_) return;
  const int percent = (height ? txtHPercent : txtWPercent)->value();
  ResizePercent = percent;
  SetResizeFields(ResizeFromPercent(CurrentResizeFields(), CurrentHeight(), CurrentWidth(), percent, height,
                                    chkConstrain->isChecked()));
}

void TfrmPrompts::chkConstrainClick() {
  imgConstrain->setVisible(chkConstrain->isChecked());
  if (!chkConstrain->isChecked()) return;
  if (udHeight->value() != CurrentHeight())
    HeightChanged();
  else if (udWidth->value() != CurrentWidth())
    WidthChanged();
}

QWidget* TfrmPrompts::BuildAnimationInfo() {
  auto* p = new QWidget(this);
  p->setObjectName(QStringLiteral("pnlLoop"));
  auto* l = new QVBoxLayout(p);
  auto* f = new QFormLayout;
  txtCurrLoop = new QLineEdit(p);
  txtCurrLoop->setReadOnly(true);
  f->addRow(T("Current loop count:"), txtCurrLoop);
  l->addLayout(f);
  optLoopInfinite = Radio(p, l, "Play &Forever");
  auto* row = new QHBoxLayout;
  optLoopPlay = new QRadioButton(T("&Played"), p);
  txtLoop = new QLineEdit(QStringLiteral("1"), p);
  txtLoop->setMaxLength(5);
  DigitsOnly(txtLoop);
  row->addWidget(optLoopPlay);
  row->addWidget(txtLoop);
  row->addWidget(new QLabel(T("Time(s)"), p));
  l->addLayout(row);
  auto* stats = new QFormLayout;
  lblCurrSize = new QLabel(p);
  lblCount = new QLabel(p);
  lblRunTime = new QLabel(p);
  stats->addRow(T("Size:"), lblCurrSize);
  stats->addRow(T("Frames:"), lblCount);
  stats->addRow(T("Running time:"), lblRunTime);
  l->addLayout(stats);
  optLoopInfinite->setChecked(true);

  if (image_ && !image_->IsEmpty()) {
    CurrentLoop = GetLoopCount(*image_);
    if (CurrentLoop != 0) {
      txtCurrLoop->setText(QString::number(CurrentLoop));
      optLoopPlay->setChecked(true);
      txtLoop->setText(QString::number(CurrentLoop));
    } else {
      txtCurrLoop->setText(QStringLiteral("0"));
    }
    lblCurrSize->setText(QStringLiteral("%1 bytes").arg(GetEncodedSize(*image_)));
    lblCount->setText(QString::number(image_->Images().GetCount()));
    lblRunTime->setText(QStringLiteral("%1 secs").arg(GetRunningTime(*image_) / 100.0, 4, 'f', 2));
  }
  txtLoop->setEnabled(optLoopPlay->isChecked());
  connect(optLoopPlay, &QRadioButton::toggled, txtLoop, &QLineEdit::setEnabled);
  txtLoop->installEventFilter(this);
  connect(txtLoop, &QLineEdit::editingFinished, this, Guarded(this, &TfrmPrompts::txtLoopExit));
  enteredText_ = txtLoop->text();
  return p;
}

bool TfrmPrompts::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtLoop && event->type() == QEvent::FocusIn) txtLoopEnter();
  return QDialog::eventFilter(watched, event);
}

void TfrmPrompts::txtLoopEnter() { enteredText_ = txtLoop->text(); }

void TfrmPrompts::txtLoopExit() {
  const int fallback = std::max<int>(1, Settings().DefaultNSLoop);
  txtLoop->setText(RepairCountText(txtLoop->text(), enteredText_, fallback));
}

QWidget* TfrmPrompts::BuildImageProperties() {
  auto* p = new QWidget(this);
  p->setObjectName(QStringLiteral("pnlProperties"));
  auto* l = new QHBoxLayout(p);
  auto* f = new QFormLayout;
  lblFileName = new QLabel(p);
  lblFileSize = new QLabel(p);
  lblDimensions = new QLabel(p);
  f->addRow(T("File name:"), lblFileName);
  f->addRow(T("File size:"), lblFileSize);
  f->addRow(T("Dimensions:"), lblDimensions);
  l->addLayout(f);
  auto* sbxImageProps = new QScrollArea(p);
  sbxImageProps->setObjectName(QStringLiteral("sbxImageProps"));
  sbxImageProps->setAlignment(Qt::AlignCenter);
  sbxImageProps->setMinimumSize(160, 120);
  imgXprops = new TXpress;
  imgXprops->setObjectName(QStringLiteral("pnlImageProps"));
  imgXprops->setMinimumSize(96, 96);
  sbxImageProps->setWidget(imgXprops);
  l->addWidget(sbxImageProps, 1);
  return p;
}

void TfrmPrompts::ShowImageProperties(const QString& path, const QString& fileName, int sizeKB, int height,
                                      int width) {
  if (!imgXprops) return;
  lblFileName->setText(fileName);
  imgXprops->SetFileName(path);
  if (imgXprops->GetErrorCode() != 0) {
    lblFileSize->setText(QStringLiteral("KB"));
    lblDimensions->setText(T("Unable to load image"));
    return;
  }
  lblFileSize->setText(QStringLiteral("%1 KB").arg(sizeKB));
  lblDimensions->setText(QStringLiteral("%1 x %2").arg(height).arg(width));
  // The picture at its own size, centred in the page's scroll box.
  imgXprops->setMinimumSize(1, 1);
  imgXprops->resize(imgXprops->GetImageWidthLong(), imgXprops->GetImageHeightLong());
  imgXprops->setFixedSize(imgXprops->size());
}

QWidget* TfrmPrompts::BuildHtmlTag() {
  auto* p = new QWidget(this);
  p->setObjectName(QStringLiteral("pnlHTML"));
  auto* l = new QVBoxLayout(p);
  auto* f = new QFormLayout;
  txtFileName = new QLineEdit(p);
  txtLink = new QLineEdit(p);
  txtHint = new QLineEdit(p);
  udBorder = new QSpinBox(p);
  udBorder->setRange(-1, 99);
  udBorder->setSpecialValueText(QStringLiteral(" "));
  udBorder->setValue(-1);
  f->addRow(T("&File name:"), txtFileName);
  f->addRow(T("&Link:"), txtLink);
  f->addRow(T("&Hint:"), txtHint);
  f->addRow(T("&Border:"), udBorder);
  l->addLayout(f);
  txtHTML = new QPlainTextEdit(p);
  txtHTML->setReadOnly(true);
  l->addWidget(txtHTML);
  btnCopy = new QPushButton(T("&Copy"), p);
  l->addWidget(btnCopy, 0, Qt::AlignRight);
  for (QLineEdit* e : {txtFileName, txtLink, txtHint}) connect(e, &QLineEdit::textChanged, this, Guarded(this, &TfrmPrompts::BuildHtml));
  connect(udBorder, &QSpinBox::valueChanged, this, Guarded(this, &TfrmPrompts::BuildHtml));
  connect(btnCopy, &QPushButton::clicked, this, Guarded(this, &TfrmPrompts::btnCopyClick));
  return p;
}

void TfrmPrompts::BuildHtml() {
  if (!txtHTML) return;
  const int height = image_ ? image_->GetHeight() : 0, width = image_ ? image_->GetWidth() : 0;
  const QString border = udBorder->value() < 0 ? QString() : QString::number(udBorder->value());
  txtHTML->setPlainText(BuildImageTag(txtFileName->text(), height, width, txtLink->text(), txtHint->text(), border));
}

void TfrmPrompts::btnCopyClick() {
  const QString code = txtHTML ? txtHTML->toPlainText() : QString();
  if (code.isEmpty()) return;
  Clipboard()->SetData(QStringLiteral("text/plain"), code.toUtf8());
  ShowMessage(T("HTML Code successfully copied to clipboard."), MessageType::Information, kOk);
}

QWidget* TfrmPrompts::BuildGlobalChange() {
  auto* p = new QWidget(this);
  p->setObjectName(QStringLiteral("pnlGlobal"));
  auto* l = new QVBoxLayout(p);
  auto* f = new QFormLayout;
  txtDelay = new QLineEdit(p);
  txtDelay->setMaxLength(5);
  DigitsOnly(txtDelay);
  f->addRow(T("&Delay (1/100 sec):"), txtDelay);
  cbDisposal = new QComboBox(p);
  for (const char* n : kDisposalNames) cbDisposal->addItem(Tr(n));
  f->addRow(T("D&isposal:"), cbDisposal);
  l->addLayout(f);
  chkInterlaced = new QCheckBox(T("Make &Interlaced"), p);
  auto* row = new QHBoxLayout;
  chkTransparent = new QCheckBox(T("Make &Transparent"), p);
  btnTransparent = new QPushButton(T("Color &Select"), p);
  row->addWidget(chkTransparent);
  row->addWidget(btnTransparent);
  chkLocalPal = new QCheckBox(T("Make &Local Palette"), p);
  l->addWidget(chkInterlaced);
  l->addLayout(row);
  l->addWidget(chkLocalPal);
  btnReset = new QPushButton(T("&Reset"), p);
  l->addWidget(btnReset, 0, Qt::AlignRight);

  for (QCheckBox* box : {chkInterlaced, chkTransparent, chkLocalPal})
    connect(box, &QCheckBox::clicked, this, Guarded([this, box] {
      touched_.insert(box);
      AnyChange = true;
    }));
  connect(chkTransparent, &QCheckBox::clicked, this, Guarded(this, &TfrmPrompts::chkTransparentClick));
  connect(btnTransparent, &QPushButton::clicked, this, Guarded(this, &TfrmPrompts::btnTransparentClick));
  connect(btnReset, &QPushButton::clicked, this, Guarded(this, &TfrmPrompts::btnResetClick));
  connect(cbDisposal, &QComboBox::activated, this, Guarded([this] { AnyChange = AnyChange || cbDisposal->currentIndex() >= 0; }));
  connect(txtDelay, &QLineEdit::editingFinished, this, Guarded(this, &TfrmPrompts::txtDelayExit));
  btnResetClick();
  return p;
}

void TfrmPrompts::SetGlobalChangeCaptions(bool removeTransparent, bool removeInterlaced, bool removeLocalPalette) {
  if (!chkTransparent) return;
  auto caption = [](bool remove, const char* name) { return (remove ? T("Remove ") : T("Make ")) + T(name); };
  chkTransparent->setText(caption(removeTransparent, "&Transparent"));
  chkInterlaced->setText(caption(removeInterlaced, "&Interlaced"));
  chkLocalPal->setText(caption(removeLocalPalette, "&Local Palette"));
}

void TfrmPrompts::btnResetClick() {
  if (!txtDelay) return;
  txtDelay->clear();
  cbDisposal->setCurrentIndex(-1);
  for (QCheckBox* box : {chkInterlaced, chkTransparent, chkLocalPal}) box->setChecked(false);
  touched_.clear();
  AnyChange = false;
}

void TfrmPrompts::txtDelayExit() {
  if (txtDelay->text().isEmpty()) return;
  txtDelay->setText(RepairCountText(txtDelay->text(), QString(), Settings().DefaultDelay));
  AnyChange = true;
}

void TfrmPrompts::chkTransparentClick() {
  if (!chkTransparent->text().contains(QLatin1String("ake")) || !chkTransparent->isChecked()) return;
  const int answer = ShowMessage(
      T("For correct display of the animation, it is recommended to also set the disposal \r\nmethod to Background. "
        "Would you like to set the disposal to Background?"),
      MessageType::Confirmation, kYesNoCancel);
  if (answer == mrCancel) {
    chkTransparent->setChecked(false);
    return;
  }
  if (answer == mrYes) cbDisposal->setCurrentIndex(2);
  btnTransparentClick();
}

void TfrmPrompts::btnTransparentClick() {
  std::unique_ptr<TfrmPalette> dialog;
  {
    BusyScope busy;
    dialog = std::make_unique<TfrmPalette>(this, PaletteMode::Transparent, image_, EditorView()->SelectedFrame());
    dialog->StartAt(PickedIndex);
  }
  if (RunPalette(*dialog)) {
    PickedColor = dialog->PickedColor;
    PickedIndex = dialog->SelectedIndex;
  }
}

void TfrmPrompts::WriteSettings() {
  if (page_ == pgFrameSize) {
    WriteFrameSizeSettings(*settings_, {optClip->isChecked(), chkDefault->isChecked()});
  } else if (page_ == pgPalettes) {
    PaletteSettings s;
    s.Default = chkDefaultPal->isChecked();
    s.PaletteType = optPalNetcape->isChecked() ? 1 : optPalLocal->isChecked() ? 2 : 0;
    s.MaxColorCount = cbMaxColors->currentData().toInt();
    s.MaxImportCount = cbMaxDither->currentData().toInt();
    s.DitherMethod = optFloyd->isChecked() ? 1 : 0;
    WritePaletteSettings(*settings_, s, paletteDefaultRead_);
  }
  settings_->flush();
}

void TfrmPrompts::accept() {
  if (page_ == pgAnimationInfo) txtLoopExit();
  if (page_ == pgGlobalChange) {
    if (!txtDelay->text().isEmpty()) txtDelayExit();
    AnyChange = chkInterlaced->isChecked() || chkTransparent->isChecked() || chkLocalPal->isChecked() ||
                cbDisposal->currentIndex() >= 0 || !txtDelay->text().isEmpty();
  }
  WriteSettings();
  QDialog::accept();
}

}  // namespace movinta::editor::forms
