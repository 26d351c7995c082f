#include "controls/ptframe.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

namespace movinta::controls {

QMargins PTFrameInsets(TPTFrameStyle style, int captionHeight) {
  switch (style) {
    case ptfsGroup: return {2, captionHeight > 0 ? captionHeight : 2, 2, 2};
    case ptfsLowered:
    case ptfsRaised: return {2, 2, 2, 2};
    case ptfsDint:
    case ptfsBump:
    case ptfsSingle: return {1, 1, 1, 1};
    case ptfsHorzLine: return {0, 2, 0, 0};
    case ptfsHorzEdge: return {0, 2, 0, 2};
    case ptfsVertLine: return {2, 0, 0, 0};
    case ptfsVertEdge: return {2, 0, 2, 0};
    case ptfsNone: break;
  }
  return {};
}

namespace {

void HLine(QPainter& p, int x0, int x1, int y, const QColor& c) {
  if (x1 >= x0) p.fillRect(QRect(x0, y, x1 - x0 + 1, 1), c);
}
void VLine(QPainter& p, int x, int y0, int y1, const QColor& c) {
  if (y1 >= y0) p.fillRect(QRect(x, y0, 1, y1 - y0 + 1), c);
}

// One ring of a 3-D edge over the inclusive box (l, t)-(r, b): the top-left colour owns the
// top-left corner, the bottom-right colour the other three.
void Ring(QPainter& p, int l, int t, int r, int b, const QColor& topLeft, const QColor& bottomRight) {
  HLine(p, l, r - 1, t, topLeft);
  VLine(p, l, t, b - 1, topLeft);
  VLine(p, r, t, b, bottomRight);
  HLine(p, l, r, b, bottomRight);
}

void Box(QPainter& p, int l, int t, int r, int b, const QColor& c) { Ring(p, l, t, r, b, c, c); }

}  // namespace

void PTDrawFrame(QPainter& p, const QRect& area, TPTFrameStyle style, const QPalette& pal, const QColor& fill,
                 const QString& caption, bool enabled) {
  const QColor shadow = pal.color(QPalette::Dark), highlight = pal.color(QPalette::Light),
               face = pal.color(QPalette::Button), dark = pal.color(QPalette::Shadow),
               frame = pal.color(QPalette::WindowText);
  // The last row and column of the area are the frame's far edges.
  const int l = area.left(), t = area.top(), r = area.right(), b = area.bottom();
  switch (style) {
    case ptfsNone: break;
    case ptfsLowered:
      Ring(p, l, t, r, b, shadow, highlight);
      Ring(p, l + 1, t + 1, r - 1, b - 1, dark, face);
      break;
    case ptfsRaised:
      Ring(p, l, t, r, b, highlight, dark);
      Ring(p, l + 1, t + 1, r - 1, b - 1, face, shadow);
      break;
    case ptfsDint: Ring(p, l, t, r, b, shadow, highlight); break;
    case ptfsBump: Ring(p, l, t, r, b, highlight, shadow); break;
    case ptfsSingle: Box(p, l, t, r, b, frame); break;
    case ptfsHorzEdge:
      HLine(p, l, r, b - 1, shadow);
      HLine(p, l, r, b, highlight);
      [[fallthrough]];
    case ptfsHorzLine:
      HLine(p, l, r, t, shadow);
      HLine(p, l, r, t + 1, highlight);
      break;
    case ptfsVertEdge:
      VLine(p, r - 1, t, b, shadow);
      VLine(p, r, t, b, highlight);
      [[fallthrough]];
    case ptfsVertLine:
      VLine(p, l, t, b, shadow);
      VLine(p, l + 1, t, b, highlight);
      break;
    case ptfsGroup: {
      if (fill.isValid()) p.fillRect(area, fill);
      const QFontMetrics fm(p.font());
      const int h = caption.isEmpty() ? 2 : fm.height();
      const int top = t + h / 2 - 1;
      Box(p, l + 1, top + 1, r, b, highlight);
      Box(p, l, top, r - 1, b - 1, shadow);
      if (caption.isEmpty()) break;
      const QString text = fm.elidedText(caption, Qt::ElideRight, std::max(0, area.width() - 16));
      const QRect textRect(l + 8, t, std::min(fm.horizontalAdvance(text), std::max(0, area.width() - 16)), h);
      const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
      if (fill.isValid()) p.fillRect(textRect, fill);
      if (enabled) {
        p.setPen(pal.color(QPalette::Active, QPalette::WindowText));
        p.drawText(textRect, flags, text);
      } else {
        p.setPen(highlight);
        p.drawText(textRect.translated(1, 1), flags, text);
        p.setPen(shadow);
        p.drawText(textRect, flags, text);
      }
      break;
    }
  }
}

void PTDrawCaption(QPainter& p, const QRect& area, const QString& caption, Qt::Alignment alignment, int frameSpace,
                   const QColor& textColor) {
  if (caption.isEmpty()) return;
  const QRect r = area.adjusted(frameSpace, 0, -frameSpace, 0);
  const QString text = p.fontMetrics().elidedText(caption, Qt::ElideRight, std::max(0, r.width()));
  p.setPen(textColor);
  p.drawText(r, int(alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

}  // namespace movinta::controls

using movinta::controls::PTDrawCaption;
using movinta::controls::PTDrawFrame;

PTFramedWidget::PTFramedWidget(TPTFrameStyle style, QWidget* parent)
    : QWidget(parent), frameStyle_(style), color_(palette().color(QPalette::Button)) {
  resize(64, 48);
}

void PTFramedWidget::SetAlignment(Qt::Alignment alignment) {
  if (alignment_ == alignment) return;
  alignment_ = alignment;
  update();
}

void PTFramedWidget::SetDefaultDrawing(bool on) {
  if (defaultDrawing_ == on) return;
  defaultDrawing_ = on;
  update();
}

void PTFramedWidget::SetFrameSpace(int space) {
  if (frameSpace_ == space) return;
  frameSpace_ = space;
  update();
}

void PTFramedWidget::SetFrameStyle(TPTFrameStyle style) {
  if (frameStyle_ == style) return;
  frameStyle_ = style;
  FrameChanged();
}

void PTFramedWidget::SetCaption(const QString& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  FrameChanged();
}

void PTFramedWidget::SetColor(const QColor& color) {
  if (color_ == color) return;
  color_ = color;
  update();
}

QMargins PTFramedWidget::FrameInsets() const {
  return movinta::controls::PTFrameInsets(frameStyle_, caption_.isEmpty() ? 0 : fontMetrics().height());
}

void PTFramedWidget::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) FrameChanged();
  QWidget::changeEvent(event);
}

TPTGroup::TPTGroup(QWidget* parent) : PTFramedWidget(ptfsGroup, parent) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  FrameChanged();
}

void TPTGroup::SetBorderWidth(int width) {
  if (borderWidth_ == width) return;
  borderWidth_ = width;
  FrameChanged();
}

void TPTGroup::FrameChanged() {
  const QMargins m = FrameInsets() + QMargins(borderWidth_, borderWidth_, borderWidth_, borderWidth_);
  setContentsMargins(m);  // relays out the children when it changes
  update();
}

void TPTGroup::changeEvent(QEvent* event) {
  // Enabling or disabling a group gives every child the same state, as the form expects.
  if (event->type() == QEvent::EnabledChange) {
    for (QObject* child : children())
      if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow()) w->setEnabled(isEnabled());
    update();
  }
  PTFramedWidget::changeEvent(event);
}

void TPTGroup::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // Without default drawing the background is left to OnPaint.
  if (Color().isValid() && DefaultDrawing()) p.fillRect(rect(), Color());
  PTDrawFrame(p, rect(), FrameStyle(), palette(), Color(), Caption(), isEnabled());
  if (DefaultDrawing() && FrameStyle() != ptfsGroup)
    PTDrawCaption(p, contentsRect(), Caption(), Alignment(), FrameSpace(), palette().color(QPalette::WindowText));
  emit OnPaint(&p);
}

TPTFrame::TPTFrame(QWidget* parent) : PTFramedWidget(ptfsLowered, parent) {}

void TPTFrame::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (Color().isValid() && DefaultDrawing()) p.fillRect(rect(), Color());
  PTDrawFrame(p, rect(), FrameStyle(), palette(), Color(), Caption(), isEnabled());
  if (DefaultDrawing() && FrameStyle() != ptfsGroup)
    PTDrawCaption(p, rect(), Caption(), Alignment(), FrameSpace(), palette().color(QPalette::WindowText));
  emit OnPaint(&p);
}
