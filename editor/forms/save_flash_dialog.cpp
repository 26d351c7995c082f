#include "editor/forms/save_flash_dialog.h"

#include "editor/forms/forced_extension_save.h"

#include "editor/forms/guarded.h"
#include "editor/model/flash_export.h"
#include "editor/model/string_tables.h"

#include <QDir>
#include <QFileInfo>
#include <QBoxLayout>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

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

// The panel's pixel sizes are minimums: each control grows to its text in the user's font.
QLineEdit* NumberEdit(QWidget* parent, const char* name, int maxLength, const char* text) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QLatin1String(name));
  edit->setMaxLength(maxLength);
  const int digits = edit->fontMetrics().horizontalAdvance(QString(maxLength, QLatin1Char('0')));
  edit->setFixedWidth(std::max(25, digits + 12));
  edit->setMinimumHeight(21);
  // Digits only: anything else typed is dropped.
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
  edit->setText(QLatin1String(text));
  return edit;
}

TUpDown* UpDown(QWidget* parent, const char* name, QLineEdit* edit, int maximum, int position) {
  auto* ud = new TUpDown(parent);
  ud->setObjectName(QLatin1String(name));
  ud->setFixedWidth(std::max(12, parent->style()->pixelMetric(QStyle::PM_ScrollBarExtent) * 3 / 4));
  ud->setMinimumHeight(21);
  ud->SetAssociate(edit);
  ud->SetRange(1, maximum);
  ud->SetPosition(position);
  return ud;
}

QLabel* Label(QWidget* parent, const char* name, int width, const char* caption, QWidget* buddy = nullptr) {
  auto* label = new QLabel(QString::fromUtf8(caption), parent);
  label->setObjectName(QLatin1String(name));
  label->setMinimumSize(width, 13);
  if (buddy) label->setBuddy(buddy);
  return label;
}

// An edit with its up-down right beside it.
QHBoxLayout* Spinner(QLineEdit* edit, TUpDown* ud) {
  auto* row = new QHBoxLayout;
  row->setSpacing(0);
  row->addWidget(edit);
  row->addWidget(ud);
  row->addStretch(1);
  return row;
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
  pnlFlash->setGeometry(0, form->FilesOfTypeTxt->geometry().bottom() + 1 + 8, host->width(), 70);
}

void TSaveFlashDialog::CreateFlashControls() {
  Bevel2 = new QFrame(pnlFlash);
  Bevel2->setObjectName(QStringLiteral("Bevel2"));
  Bevel2->setMinimumSize(257, 57);
  Bevel2->setFrameShape(QFrame::Box);
  Bevel2->setFrameShadow(QFrame::Sunken);
  txtFlashFrameRate = NumberEdit(Bevel2, "txtFlashFrameRate", 2, "10");
  udFlashFrameRate = UpDown(Bevel2, "udFlashFrameRate", txtFlashFrameRate, 30, 10);
  txtFlashJpgQuality = NumberEdit(Bevel2, "txtFlashJpgQuality", 3, "90");
  udFlashJpgQuality = UpDown(Bevel2, "udFlashJpgQuality", txtFlashJpgQuality, 100, 90);
  Label6 = Label(Bevel2, "Label6", 88, "&Frame Rate (1..30)", txtFlashFrameRate);
  Label7 = Label(Bevel2, "Label7", 97, "&Jpeg Quality (1..100)", txtFlashJpgQuality);
  // The title sits on the frame's top edge, over its line.
  Label8 = Label(pnlFlash, "Label8", 36, "Options");
  Label8->setAutoFillBackground(true);
  Label8->resize(Label8->sizeHint().expandedTo(Label8->minimumSize()));
  Label8->move(16, 0);
  const int bevelTop = std::max(8, Label8->height() / 2 + 1);
  auto* grid = new QGridLayout(Bevel2);
  grid->setContentsMargins(7, std::max(7, Label8->height() - bevelTop + 2), 8, 8);
  grid->setHorizontalSpacing(16);
  grid->setVerticalSpacing(3);
  grid->setColumnMinimumWidth(0, 120 - 16);
  grid->addWidget(Label6, 0, 0);
  grid->addWidget(Label7, 0, 1);
  grid->addLayout(Spinner(txtFlashFrameRate, udFlashFrameRate), 1, 0);
  grid->addLayout(Spinner(txtFlashJpgQuality, udFlashJpgQuality), 1, 1);
  auto* panel = new QVBoxLayout(pnlFlash);
  panel->setContentsMargins(8, bevelTop, 8, 5);
  panel->addWidget(Bevel2, 0, Qt::AlignLeft | Qt::AlignTop);
  Label8->raise();
  // Tab order inside the panel: rate, its up-down, quality, its up-down.
  QWidget::setTabOrder(txtFlashFrameRate, txtFlashJpgQuality);
  for (QLineEdit* edit : {txtFlashFrameRate.data(), txtFlashJpgQuality.data()})
    QObject::connect(edit, &QLineEdit::textChanged, edit, Guarded([this, edit] { NumberChange(edit); }));
  for (QWidget* w : pnlFlash->findChildren<QWidget*>()) w->show();

  // The form grows by the panel's height, at least the 70 pixels it was drawn with.
  ptshell::TPTFrmOpenDlg* form = Form();
  QWidget* host = form->Panel1;
  const int height = std::max(70, panel->totalSizeHint().height());
  const int width = std::max(host->width(), panel->totalSizeHint().width());
  pnlFlash->resize(width, height);
  host->setMinimumHeight(std::max(host->minimumHeight(), pnlFlash->y() + height));
  form->resize(form->width(), form->height() + height);
  if (form->minimumHeight() > 0) form->setMinimumHeight(form->minimumHeight() + height);
  pnlFlash->show();
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
