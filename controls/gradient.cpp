#include "controls/gradient.h"

#include <QFontMetrics>
#include <QIcon>
#include <QPainter>

#include <algorithm>
#include <cstdint>

namespace movinta::controls {

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const std::int64_t p = std::int64_t{a} * b;
  const std::int64_t half = (c < 0 ? -std::int64_t{c} : c) / 2;
  const bool negative = (p < 0) != (c < 0);
  const std::int64_t magnitude = ((p < 0 ? -p : p) + half) / (c < 0 ? -std::int64_t{c} : c);
  return static_cast<int>(negative ? -magnitude : magnitude);
}

QList<QColor> GradientBandColors(const QColor& top, const QColor& bottom, int n) {
  QList<QColor> out;
  if (n < 1) return out;
  // A single band has nothing to blend to: it shows the top colour.
  if (n == 1) return {QColor(top.red(), top.green(), top.blue())};
  auto blend = [n](int i, int a, int b) { return MulDiv(n - 1 - i, a, n - 1) + MulDiv(i, b, n - 1); };
  for (int i = 0; i < n; ++i)
    out.append(QColor(blend(i, top.red(), bottom.red()), blend(i, top.green(), bottom.green()),
                      blend(i, top.blue(), bottom.blue())));
  return out;
}

}  // namespace movinta::controls

namespace mc = movinta::controls;

TGradient::TGradient(QWidget* parent)
    : QWidget(parent), colorTop_(palette().color(QPalette::Dark)), colorBottom_(palette().color(QPalette::Button)) {
  // The bands cover the whole client area.
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(100, 40);
}

void TGradient::SetColorTop(const QColor& color) {
  if (colorTop_ == color) return;
  colorTop_ = color;
  palette_.clear();
  update();
}

void TGradient::SetColorBottom(const QColor& color) {
  if (colorBottom_ == color) return;
  colorBottom_ = color;
  palette_.clear();
  update();
}

void TGradient::SetNumColors(int count) {
  count = std::clamp(count, kMinColors, kMaxColors);
  if (numColors_ == count) return;
  numColors_ = count;
  palette_.clear();
  update();
}

void TGradient::SetOrientation(TGradientOrientation orientation) {
  if (orientation_ == orientation) return;
  orientation_ = orientation;
  update();
}

const QList<QColor>& TGradient::GetPalette() const {
  if (palette_.isEmpty()) palette_ = mc::GradientBandColors(colorTop_, colorBottom_, numColors_);
  return palette_;
}

void TGradient::PaintGradient(QPainter& p) {
  const QList<QColor>& colors = GetPalette();
  const int n = int(colors.size());
  const bool across = orientation_ == goHorizontal;
  const int extent = across ? width() : height();
  int from = 0;
  for (int k = 1; k <= n; ++k) {
    const int to = mc::GradientBandEnd(extent, k, n);
    const QRect band = across ? QRect(from, 0, to - from, height()) : QRect(0, from, width(), to - from);
    if (!band.isEmpty()) p.fillRect(band, colors[k - 1]);
    from = to;
  }
}

void TGradient::paintEvent(QPaintEvent*) {
  QPainter p(this);
  PaintGradient(p);
}

TGradientLabel::TGradientLabel(QWidget* parent) : TGradient(parent) { Loaded(); }

void TGradientLabel::Loaded() { resize(width(), fontMetrics().height() + 8); }

void TGradientLabel::SetCaption(const QString& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  update();
}

void TGradientLabel::SetImageIndex(int index) {
  if (imageIndex_ == index) return;
  imageIndex_ = index;
  update();
}

void TGradientLabel::SetImageList(TImageList* list) {
  if (imageList_ == list) return;
  imageList_ = list;
  update();
}

void TGradientLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  PaintGradient(p);
  QRect textRect = rect();
  if (imageList_ && imageIndex_ != -1) {
    const QPixmap image = imageList_->Image(imageIndex_);
    if (!image.isNull()) {
      const QSize size = image.deviceIndependentSize().toSize();
      const int y = (rect().top() + rect().bottom() + 1 - size.height()) / 2;
      const QPixmap shown =
          isEnabled() ? image : QIcon(image).pixmap(size, devicePixelRatioF(), QIcon::Disabled);
      p.drawPixmap(2, y, shown);
      textRect.setLeft(textRect.left() + size.width() + 4);
    }
  }
  if (caption_.isEmpty()) return;
  const QRect r = textRect.adjusted(2, 2, -2, -2);
  p.setPen(palette().color(QPalette::WindowText));
  p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
             fontMetrics().elidedText(caption_, Qt::ElideRight, std::max(0, r.width())));
}
