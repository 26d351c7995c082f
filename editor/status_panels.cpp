#include "editor/status_panels.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

#include <algorithm>
#include <utility>

namespace movinta::editor {

namespace {

// The image's progress in the status bar's bar and hint panel. Frames render, and report their
// progress, while other widgets paint; the bar therefore never repaints at once, which would
// paint inside another widget's paint, but asks for a repaint like every other widget. Work that
// reports inside other work (a frame converted while many are pasted) leaves the outer work's
// bar as it is.
class StatusPanelProgress : public IProgress {
public:
  StatusPanelProgress(QProgressBar* bar, QLabel* text) : bar_(bar), text_(text) {}
  void Progress(int stage, int percent, const QString& message) override {
    const bool outermost = stage == 0 ? depth_++ == 0 : stage == 1 ? depth_ <= 1 : depth_ == 0 || --depth_ == 0;
    if (bar_ && outermost) Show(stage, percent, message);
    BusyScope::KeepPainted();
  }
  void SetBusy(bool busy) override {
    if (busy) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
      return;
    }
    QApplication::restoreOverrideCursor();
    // Work that stopped without reporting its end leaves no bar behind it.
    if (std::exchange(depth_, 0) > 0 && bar_) Show(2, 0, QString());
  }

private:
  void Show(int stage, int percent, const QString& message) {
    bar_->setUpdatesEnabled(false);
    if (stage == 0) {
      // Without a measure the bar only moves to show that the work goes on.
      bar_->setRange(0, percent < 0 ? 0 : 100);
      bar_->setValue(0);
      bar_->show();
      if (text_) text_->setText(message);
    } else if (stage == 1) {
      bar_->setValue(std::clamp(percent, 0, 100));
    } else {
      bar_->setRange(0, 100);
      bar_->setValue(0);
      bar_->hide();
      if (text_) text_->clear();
    }
    bar_->setUpdatesEnabled(true);
    bar_->update();
  }

  QPointer<QProgressBar> bar_;
  QPointer<QLabel> text_;
  int depth_ = 0;  // starts not yet ended
};

}  // namespace

TStatusPanels::TStatusPanels(QStatusBar& bar) : bar_(&bar) {
  bar.setObjectName(QStringLiteral("StatusBar"));
  panel0_ = new QLabel;
  panel0_->setFixedWidth(20);
  auto* host = new QWidget;
  host->setFixedWidth(225);
  panel1_ = new QLabel(host);
  panel1_->setGeometry(0, 0, 225, 20);
  prgBar_ = new QProgressBar(host);
  prgBar_->setObjectName(QStringLiteral("prgBar"));
  prgBar_->setRange(0, 100);
  prgBar_->setTextVisible(false);
  prgBar_->setGeometry(0, 2, 225, 16);
  prgBar_->hide();
  host->setMinimumHeight(20);
  panel2_ = new QLabel;
  panel2_->setMinimumWidth(50);
  bar.addWidget(panel0_);
  bar.addWidget(host);
  bar.addWidget(panel2_, 1);
  progress_ = std::make_unique<StatusPanelProgress>(prgBar_, panel2_);
}

TStatusPanels::~TStatusPanels() = default;

QLabel* TStatusPanels::Panel(int panel) const {
  return panel == 0 ? panel0_ : panel == 1 ? panel1_ : panel == 2 ? panel2_ : nullptr;
}

void TStatusPanels::SetText(const QString& text, int panel) {
  QLabel* label = Panel(panel);
  if (!label) return;
  label->setText(text);
  // A text set while another widget paints waits for the next paint: painting at once there would
  // paint the window inside its own paint.
  if (BusyScope::Painting())
    label->update();
  else
    label->repaint();
}

QString TStatusPanels::Text(int panel) const {
  const QLabel* label = Panel(panel);
  return label ? label->text() : QString();
}

void TStatusPanels::ShowSteps(int position, int maximum) {
  if (maximum < 0) {
    prgBar_->hide();
    prgBar_->setRange(0, 100);
    prgBar_->setValue(0);
  } else {
    prgBar_->setRange(0, std::max(0, maximum));
    prgBar_->setValue(position);
    prgBar_->show();
  }
  if (bar_) bar_->repaint();
}

}  // namespace movinta::editor
