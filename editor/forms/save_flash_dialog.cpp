#include "editor/forms/save_flash_dialog.h"

#include "editor/forms/forced_extension_save.h"

#include "editor/guarded.h"
#include "editor/model/flash_export.h"
#include "editor/model/string_tables.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QToolButton>

namespace movinta::editor::forms {

TUpDown::TUpDown(QWidget* parent) : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {up_, down_}) {
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
  }
  connect(up_, &QToolButton::clicked, this, Guarded([this] { Step(1); }));
  connect(down_, &QToolButton::clicked, this, Guarded([this] { Step(-1); }));
}

void TUpDown::SetAssociate(QLineEdit* edit) {
  if (associate_) associate_->removeEventFilter(this);
  associate_ = edit;
  associateObject_ = edit;
  if (edit) edit->installEventFilter(this);
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event) {
  // Compared as a plain object: the edit may be half destroyed when its last events pass.
  if (event->type() == QEvent::KeyPress && watched == static_cast<QObject*>(associateObject_)) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      Step(key == Qt::Key_Up ? 1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TUpDown::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
  SetPosition(position_);
}

void TUpDown::SetPosition(int value) {
  position_ = std::clamp(value, minimum_, maximum_);
  const QString text = QString::number(position_);
  if (associate_ && associate_->text() != text) associate_->setText(text);
}

void TUpDown::resizeEvent(QResizeEvent*) {
  const int half = height() / 2;
  up_->setGeometry(0, 0, width(), half);
  down_->setGeometry(0, half, width(), height() - half);
}

namespace {

QLineEdit* NumberEdit(QWidget* parent, const char* name, int left, int maxLength, const char* text) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QLatin1String(name));
  edit->setGeometry(left, 32, 25, 21);
  edit->setMaxLength(maxLength);
  // Digits only: anything else typed is dropped.
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
  edit->setText(QLatin1String(text));
  return edit;
}

TUpDown* UpDown(QWidget* parent, const char* name, int left, QLineEdit* edit, int maximum, int position) {
  auto* ud = new TUpDown(parent);
  ud->setObjectName(QLatin1String(name));
  ud->setGeometry(left, 32, 12, 21);
  ud->SetAssociate(edit);
  ud->SetRange(1, maximum);
  ud->SetPosition(position);
  return ud;
}

QLabel* Label(QWidget* parent, const char* name, int left, int top, int width, const char* caption,
              QWidget* buddy = nullptr) {
  auto* label = new QLabel(QString::fromUtf8(caption), parent);
  label->setObjectName(QLatin1String(name));
  label->setGeometry(left, top, width, 13);
  if (buddy) label->setBuddy(buddy);
  return label;
}

}  // namespace

TSaveFlashDialog::TSaveFlashDialog() {
  SetOptions(kOptions);
  // Set before the form exists: changing the types of a running form resets the typed name.
  SetFilter(Tr(texts::kFlashFilter));
  SetFilterIndex(1);
  DefaultExt = QStringLiteral("swf");
  OnInitialized = Guarded([this](ptshell::TPTDialog*) { DialogInitialized(); });
}

int TSaveFlashDialog::FrameRate() const { return udFlashFrameRate ? udFlashFrameRate->Position() : frameRate_; }
int TSaveFlashDialog::JpegQuality() const { return udFlashJpgQuality ? udFlashJpgQuality->Position() : jpegQuality_; }

ptshell::TPTFrmOpenDlg* TSaveFlashDialog::CreateForm() { return new TForcedExtensionSaveForm(QStringLiteral(".swf")); }

void TSaveFlashDialog::ReadResults(ptshell::TPTFrmOpenDlg* form) {
  TPTSaveDlg::ReadResults(form);
  frameRate_ = FrameRate();
  jpegQuality_ = JpegQuality();
}

void TSaveFlashDialog::DialogInitialized() {
  ptshell::TPTFrmOpenDlg* form = Form();
  if (!form) return;
  form->setWindowTitle(Tr(texts::kFlashCaption));
  CreateFlashPanel(form);
  CreateFlashControls();
}

void TSaveFlashDialog::CreateFlashPanel(ptshell::TPTFrmOpenDlg* form) {
  QWidget* host = form->Panel1;
  pnlFlash = new QWidget(host);
  pnlFlash->setObjectName(QStringLiteral("pnlFlash"));
  const int top = form->FilesOfTypeTxt->geometry().bottom() + 1 + 8;
  pnlFlash->setGeometry(0, top, host->width(), 70);
  host->setMinimumHeight(std::max(host->minimumHeight(), top + 70));
  form->resize(form->width(), form->height() + 70);
  if (form->minimumHeight() > 0) form->setMinimumHeight(form->minimumHeight() + 70);
  pnlFlash->show();
}

void TSaveFlashDialog::CreateFlashControls() {
  Bevel2 = new QFrame(pnlFlash);
  Bevel2->setObjectName(QStringLiteral("Bevel2"));
  Bevel2->setGeometry(8, 8, 257, 57);
  Bevel2->setFrameShape(QFrame::Box);
  Bevel2->setFrameShadow(QFrame::Sunken);
  txtFlashFrameRate = NumberEdit(pnlFlash, "txtFlashFrameRate", 16, 2, "10");
  udFlashFrameRate = UpDown(pnlFlash, "udFlashFrameRate", 41, txtFlashFrameRate, 30, 10);
  txtFlashJpgQuality = NumberEdit(pnlFlash, "txtFlashJpgQuality", 136, 3, "90");
  udFlashJpgQuality = UpDown(pnlFlash, "udFlashJpgQuality", 161, txtFlashJpgQuality, 100, 90);
  Label6 = Label(pnlFlash, "Label6", 16, 16, 88, "&Frame Rate (1..30)", txtFlashFrameRate);
  Label7 = Label(pnlFlash, "Label7", 136, 16, 97, "&Jpeg Quality (1..100)", txtFlashJpgQuality);
  Label8 = Label(pnlFlash, "Label8", 16, 0, 36, "Options");
  Label8->setAutoFillBackground(true);
  // Tab order inside the panel: rate, its up-down, quality, its up-down.
  QWidget::setTabOrder(txtFlashFrameRate, txtFlashJpgQuality);
  for (QLineEdit* edit : {txtFlashFrameRate.data(), txtFlashJpgQuality.data()})
    QObject::connect(edit, &QLineEdit::textChanged, edit, Guarded([this, edit] { NumberChange(edit); }));
  for (QWidget* w : pnlFlash->findChildren<QWidget*>()) w->show();
}

void TSaveFlashDialog::NumberChange(QLineEdit* edit) {
  if (!edit || edit->text().isEmpty()) return;
  bool ok = false;
  const int value = edit->text().toInt(&ok);
  if (!ok) return;
  TUpDown* ud = edit == txtFlashJpgQuality ? udFlashJpgQuality.data() : udFlashFrameRate.data();
  if (ud) ud->SetPosition(value);
}

QString TSaveFlashDialog::SwfName(const QString& typed, const QString& folder) {
  return NameWithExtension(typed, folder, QStringLiteral(".swf"));
}

}  // namespace movinta::editor::forms
