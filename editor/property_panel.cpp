#include "editor/property_panel.h"

#include "editor/forms/guarded.h"
#include "editor/model/string_tables.h"

#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>

namespace movinta::editor {

TPropertyPanel::TPropertyPanel(TFrameCommands& commands, QWidget* parent) : QTabWidget(parent), commands_(commands) {
  setObjectName(QStringLiteral("tabFrames"));
  pnlFrame_ = new QWidget;
  pnlFrame_->setObjectName(QStringLiteral("pnlFrame"));
  auto* frameLayout = new QHBoxLayout(pnlFrame_);
  // One low row of controls each page: the room goes to the documents and the strip.
  frameLayout->setContentsMargins(6, 3, 6, 3);
  cbFrames = new QComboBox;
  cbFrames->setObjectName(QStringLiteral("cbFrames"));
  // Filled once a document opens: the combo follows its items, not its first, empty, showing.
  cbFrames->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  txtDelay = new QSpinBox;
  txtDelay->setObjectName(QStringLiteral("txtDelay"));
  txtDelay->setRange(0, 65535);
  cbDisposal = new QComboBox;
  cbDisposal->setObjectName(QStringLiteral("cbDisposal"));
  for (const char* name : kDisposalNames) cbDisposal->addItem(Tr(name));
  frameLayout->addWidget(cbFrames);
  frameLayout->addWidget(new QLabel(tr("Delay:")));
  frameLayout->addWidget(txtDelay);
  frameLayout->addWidget(new QLabel(tr("Disposal:")));
  frameLayout->addWidget(cbDisposal);
  frameLayout->addStretch();
  addTab(pnlFrame_, tr("Frame"));

  pnlAnimation_ = new QWidget;
  pnlAnimation_->setObjectName(QStringLiteral("pnlAnimation"));
  auto* animLayout = new QHBoxLayout(pnlAnimation_);
  animLayout->setContentsMargins(6, 3, 6, 3);
  optLoopInfinite = new QRadioButton(tr("Play &Forever"));
  optLoopInfinite->setChecked(true);
  optLoopTimes = new QRadioButton(tr("&Play"));
  txtLoop = new QSpinBox;
  txtLoop->setObjectName(QStringLiteral("txtLoop"));
  txtLoop->setRange(0, 65535);
  txtLoop->setValue(1);
  shpTransColor = new QFrame;
  shpTransColor->setObjectName(QStringLiteral("shpTransColor"));
  shpTransColor->setFixedSize(24, 18);
  shpTransColor->setFrameShape(QFrame::Box);
  shpTransColor->setAutoFillBackground(true);
  btnTransColor = new QPushButton(tr("&Select"));
  animLayout->addWidget(optLoopInfinite);
  animLayout->addWidget(optLoopTimes);
  animLayout->addWidget(txtLoop);
  animLayout->addWidget(new QLabel(tr("Time(s)")));
  animLayout->addSpacing(16);
  animLayout->addWidget(new QLabel(tr("Transparent color:")));
  animLayout->addWidget(shpTransColor);
  animLayout->addWidget(btnTransColor);
  animLayout->addStretch();
  addTab(pnlAnimation_, tr("Animation"));

  timerInput_.setSingleShot(true);
  timerInput_.setInterval(150);
  connect(&timerInput_, &QTimer::timeout, this, Guarded([this] { commands_.ApplyPendingInput(); }));
  // The commands may outlive the panel while a window closes.
  commands_.PendingTimer = [panel = QPointer<TPropertyPanel>(this)](bool on) {
    if (!panel) return;
    if (on)
      panel->timerInput_.start();
    else
      panel->timerInput_.stop();
  };

  connect(txtDelay, &QSpinBox::valueChanged, this, Guarded([this](int value) {
    if (!quiet_) commands_.TypeDelay(value);
  }));
  connect(cbDisposal, &QComboBox::activated, this, Guarded([this](int index) { commands_.ApplyDisposalToSelection(index); }));
  connect(txtLoop, &QSpinBox::valueChanged, this, Guarded([this](int value) { LoopTyped(value); }));
  connect(optLoopInfinite, &QRadioButton::clicked, this, Guarded([this] { LoopRadioClicked(); }));
  connect(optLoopTimes, &QRadioButton::clicked, this, Guarded([this] { LoopRadioClicked(); }));
  connect(btnTransColor, &QPushButton::clicked, this, Guarded([this] { TransColorClicked(); }));
  connect(cbFrames, &QComboBox::activated, this, Guarded([this](int index) {
    emit frameChosen(index == cbFrames->count() - 1 ? -1 : index);
  }));
}

TPropertyPanel::~TPropertyPanel() = default;

void TPropertyPanel::SetQuietly(QSpinBox* edit, int value) {
  quiet_ = true;
  {
    const QSignalBlocker block(edit);
    edit->setValue(value);
  }
  quiet_ = false;
}

void TPropertyPanel::LoopRadioClicked() {
  commands_.ApplyPendingInput();
  commands_.ApplyLoopChange(optLoopInfinite->isChecked(), txtLoop->value());
}

void TPropertyPanel::LoopTyped(int value) {
  if (quiet_) return;
  if (value == 0) {
    // Zero plays means forever.
    SetQuietly(txtLoop, 1);
    optLoopInfinite->setChecked(true);
    LoopRadioClicked();
    return;
  }
  if (!optLoopTimes->isChecked()) optLoopTimes->setChecked(true);
  commands_.TypeLoop(false, value);
}

void TPropertyPanel::ShowTransColor(gif::TColor color, int index) {
  transColor_ = color;
  transIndex_ = index;
  QPalette pal = shpTransColor->palette();
  pal.setColor(QPalette::Window, QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF));
  shpTransColor->setPalette(pal);
}

void TPropertyPanel::TransColorClicked() {
  if (std::optional<PickedColor> picked = commands_.MakeAnimationTransparent({transColor_, transIndex_}))
    ShowTransColor(picked->Color, picked->Index);
}

void TPropertyPanel::SetLoopControls(int count) {
  commands_.SetLoopControls(count);
  const int loop = commands_.LoopCount();
  const QSignalBlocker a(optLoopInfinite), b(optLoopTimes);
  if (loop != 0) {
    optLoopTimes->setChecked(true);
    SetQuietly(txtLoop, loop);
  } else {
    optLoopInfinite->setChecked(true);
  }
}

void TPropertyPanel::SetControlsEnabled(bool enabled) {
  pnlFrame_->setEnabled(enabled);
  pnlAnimation_->setEnabled(enabled);
}

void TPropertyPanel::ShowFrameProperties(int index, bool allSelected) {
  TGIFImage& image = *SharedImage();
  if (index < 0 || index >= image.Images().GetCount()) return;
  TGIFSubImage& frame = *image.Images().GetFrame(index);
  gif::TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
  const int delay = gce ? gce->GetDelay() : 0;
  {
    const QSignalBlocker block(cbDisposal);
    cbDisposal->setCurrentIndex(delay != 0 && gce ? gce->GetDisposal() : -1);
  }
  SetQuietly(txtDelay, delay);
  if (gce) ShowTransColor(gce->GetTransparentColor(), gce->GetTransparentColorIndex());
  {
    const QSignalBlocker block(cbFrames);
    cbFrames->clear();
    for (int i = 0; i < image.Images().GetCount(); ++i) {
      TGIFSubImage& f = *image.Images().GetFrame(i);
      if (f.IsEmpty()) continue;
      cbFrames->addItem(QStringLiteral("%1 %2: [%3 x %4]").arg(tr("Frame")).arg(i).arg(f.GetHeight()).arg(f.GetWidth()));
    }
    cbFrames->addItem(tr("Select All"));
    cbFrames->setCurrentIndex(allSelected ? cbFrames->count() - 1 : index);
  }
  SetLoopControls(-1);
}

}  // namespace movinta::editor
