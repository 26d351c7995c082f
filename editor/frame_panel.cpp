#include "editor/frame_panel.h"

#include "editor/commands/frame_commands.h"
#include "editor/frame_strip.h"
#include "editor/model/document.h"
#include "editor/model/working_image.h"
#include "editor/property_panel.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

namespace movinta::editor {

TFramePanel::TFramePanel(TFrameCommands& commands, int frameSize) {
  bottom_ = new QWidget;
  bottom_->setObjectName(QStringLiteral("pnlFrameTab"));
  auto* layout = new QVBoxLayout(bottom_);
  layout->setContentsMargins(2, 2, 2, 2);
  tabs_ = new TPropertyPanel(commands, bottom_);
  strip_ = new TFrameStrip(commands, bottom_);
  strip_->SetFrameSize(frameSize);
  layout->addWidget(tabs_);
  layout->addWidget(strip_);
}

void TFramePanel::FrameCountChanged(int count) {
  // Empty frames lie behind the others and get no cell.
  columns_ = std::min(count, ShownFrameCount(*SharedImage()));
  if (strip_) strip_->SetColumnCount(columns_);
}

int TFramePanel::SelectionFirst() const { return strip_ ? strip_->SelectionFirst() : selected_; }
int TFramePanel::SelectionLast() const { return strip_ ? strip_->SelectionLast() : selected_; }

void TFramePanel::SetSelection(int first, int last) {
  selected_ = first;
  if (strip_) strip_->SetSelection(first, last);
}

void TFramePanel::RepaintCells() {
  if (strip_) strip_->RepaintCells();
}

bool TFramePanel::Loaded(const TMDIChild* document) {
  selected_ = 0;
  columns_ = ShownFrameCount(*SharedImage());
  if (strip_) {
    strip_->Reset();
    strip_->SetColumnCount(columns_);
    const int current = document && document->CurrentFrame < columns_ ? document->CurrentFrame : 0;
    if (columns_ > 0) strip_->SetSelection(current, current);
    selected_ = columns_ > 0 ? current : 0;
  }
  return columns_ > 0;
}

void TFramePanel::Reset() {
  if (tabs_) {
    tabs_->SetControlsEnabled(false);
    const QSignalBlocker frames(tabs_->cbFrames), loop(tabs_->txtLoop);
    tabs_->cbFrames->clear();
    tabs_->txtLoop->setValue(1);
  }
  columns_ = 0;
  selected_ = -1;
  if (strip_) strip_->Reset();
}

}  // namespace movinta::editor
