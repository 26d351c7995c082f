#include "controls/ptsplitter.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include <cmath>

namespace movinta::controls {

int PTRoundHalfEven(double value) {
  const double floor = std::floor(value);
  const double rest = value - floor;
  double result = floor;
  if (rest > 0.5 || (rest == 0.5 && std::fmod(floor, 2.0) != 0.0)) result += 1.0;
  return static_cast<int>(result);
}

int PTSplitterClampPosition(int position, int size, int min1, int min2) {
  if (position < min1) return min1;
  if (position > size - min2) return size - min2;
  return position;
}

int PTSplitterProportionalPosition(int size, double ratio) { return PTRoundHalfEven(size * ratio); }

double PTSplitterRatio(int position, int size) { return size == 0 ? 0.5 : double(position) / size; }

int PTSplitterDragCoordinate(int c, int offset, int size, int min1, int min2) {
  if (c - offset < min1) return min1 + offset;
  if (c - offset > size - min2) return size + offset - min2;
  return c;
}

PTSplitterGeometry PTSplitterLayout(TPTSplitterStyle style, QSize client, int position, int splitterWidth) {
  const int w = client.width(), h = client.height();
  auto span = [](int from, int to) { return std::max(0, to - from); };
  PTSplitterGeometry g;
  if (style == ptstVertical) {
    g.pane1 = QRect(0, 0, span(0, position), h);
    g.pane2 = QRect(position + splitterWidth, 0, span(position + splitterWidth, w), h);
    g.bar = QRect(position, 0, splitterWidth, h);
  } else {
    g.pane1 = QRect(0, 0, w, span(0, position));
    g.pane2 = QRect(0, position + splitterWidth, w, span(position + splitterWidth, h));
    g.bar = QRect(0, position, w, splitterWidth);
  }
  return g;
}

}  // namespace movinta::controls

namespace mc = movinta::controls;

TPTPane::TPTPane(int index, QWidget* parent) : TPTGroup(parent), index_(index) {
  SetFrameStyle(ptfsLowered);
  // Children of a pane keep the ordinary pointer, not the splitter's.
  setCursor(Qt::ArrowCursor);
}

namespace {

// The inverted checkerboard bar shown while a ghost drag runs.
class GhostBar : public QWidget {
public:
  explicit GhostBar(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.fillRect(rect(), QBrush(Qt::black, Qt::Dense4Pattern));
  }
};

}  // namespace

TPTSplitter::TPTSplitter(QWidget* parent) : QWidget(parent) {
  for (int i = 0; i < 2; ++i) panes_[i] = new TPTPane(i, this);
  ghost_ = new GhostBar(this);
  ghost_->hide();
  RenamePanes();
  connect(this, &QObject::objectNameChanged, this, &TPTSplitter::RenamePanes);
  setCursor(Qt::SplitHCursor);
  resize(200, 140);
  Layout();
}

void TPTSplitter::RenamePanes() {
  for (int i = 0; i < 2; ++i) {
    const QString name = objectName() + QStringLiteral("_pane") + QString::number(i + 1);
    if (panes_[i]->objectName() != name) panes_[i]->setObjectName(name);
  }
}

void TPTSplitter::SetStyle(TPTSplitterStyle style) {
  if (style_ == style) return;
  style_ = style;
  setCursor(style == ptstVertical ? Qt::SplitHCursor : Qt::SplitVCursor);
  Layout();
}

void TPTSplitter::SetSplitterWidth(int width) {
  if (splitterWidth_ == width) return;
  splitterWidth_ = width;
  Layout();
}

void TPTSplitter::SetPositionInternal(int position, bool updateRatio) {
  position = mc::PTSplitterClampPosition(position, Size(), panes_[0]->MinSize(), panes_[1]->MinSize());
  if (position == position_) return;
  position_ = position;
  Layout();
  if (updateRatio) ratio_ = mc::PTSplitterRatio(position_, Size());
  emit OnChange();
}

void TPTSplitter::Layout() {
  const mc::PTSplitterGeometry g = mc::PTSplitterLayout(style_, size(), position_, splitterWidth_);
  panes_[0]->setGeometry(g.pane1);
  panes_[1]->setGeometry(g.pane2);
}

void TPTSplitter::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (proportional_) SetPositionInternal(mc::PTSplitterProportionalPosition(Size(), ratio_), false);
  emit OnResize();
  Layout();
}

bool TPTSplitter::LiveDrag() const {
  switch (fullDragMode_) {
    case ptfdOff: return false;
    case ptfdOn: return true;
    case ptfdUser: break;
  }
  return style()->styleHint(QStyle::SH_Splitter_OpaqueResize, nullptr, this) != 0;
}

int TPTSplitter::Coordinate(const QMouseEvent* event) const {
  const QPoint p = event->position().toPoint();
  return style_ == ptstVertical ? p.x() : p.y();
}

void TPTSplitter::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  if (dragging_) {
    EndDrag();
    return;
  }
  dragButton_ = event->button();
  int c = Coordinate(event);
  grabOffset_ = c - position_;
  const int min1 = panes_[0]->MinSize(), min2 = panes_[1]->MinSize();
  if (position_ < min1)
    c = min1;
  else if (position_ > Size() - min2)
    c = Size() - min2;
  dragging_ = true;
  lastDrawn_ = -1;
  MoveTo(c);
}

void TPTSplitter::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return QWidget::mouseMoveEvent(event);
  const int c = mc::PTSplitterDragCoordinate(Coordinate(event), grabOffset_, Size(), panes_[0]->MinSize(),
                                             panes_[1]->MinSize());
  if (c != lastDrawn_) MoveTo(c);
}

void TPTSplitter::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != dragButton_) return QWidget::mouseReleaseEvent(event);
  const int c = mc::PTSplitterDragCoordinate(Coordinate(event), grabOffset_, Size(), panes_[0]->MinSize(),
                                             panes_[1]->MinSize());
  if (c != lastDrawn_) MoveTo(c);
  const int old = position_;
  position_ = lastDrawn_ - grabOffset_;
  EndDrag();
  Layout();
  ratio_ = mc::PTSplitterRatio(position_, Size());
  emit OnSplitterDrop(position_);
  if (position_ != old) emit OnChange();
}

void TPTSplitter::MoveTo(int c) {
  if (!LiveDrag()) {
    lastDrawn_ = c;
    ShowGhost(c);
  } else if (c >= 0) {
    lastDrawn_ = c;
    SetPositionInternal(c - grabOffset_, true);
  }
  emit OnSplitterDrag(lastDrawn_);
}

void TPTSplitter::ShowGhost(int c) {
  if (c < 0) {
    ghost_->hide();
    return;
  }
  const int edge = c - grabOffset_;
  ghost_->setGeometry(style_ == ptstVertical ? QRect(edge, 0, splitterWidth_, height())
                                             : QRect(0, edge, width(), splitterWidth_));
  ghost_->raise();
  ghost_->show();
}

void TPTSplitter::EndDrag() {
  ghost_->hide();
  dragging_ = false;
  dragButton_ = Qt::NoButton;
}

void TPTSplitter::CancelDrag() {
  if (dragging_) EndDrag();
}

void TPTSplitter::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) CancelDrag();
  QWidget::changeEvent(event);
}
