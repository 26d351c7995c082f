// Paints of widgets that draw the working image. Long work that pumps events may be changing that
// image meanwhile, so paints delivered by its pump show what the last paint outside one showed.
#pragma once

#include "editor/model/ui_services.h"

#include <QPainter>
#include <QPixmap>
#include <QRect>
#include <QWidget>

#include <functional>
#include <utility>

namespace movinta::editor {

class TKeptPaint {
public:
  // Paints area of widget through paint, keeping the picture; inside a pump, draws the kept one.
  void Paint(QWidget& widget, QPainter& p, const QRect& area, const std::function<void(QPainter&)>& paint) {
    if (BusyScope::Pumping()) {
      if (!kept_.isNull()) p.drawPixmap(at_, kept_);
      return;
    }
    const qreal ratio = widget.devicePixelRatioF();
    QPixmap picture(area.size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    {
      QPainter into(&picture);
      into.setFont(widget.font());
      into.translate(-area.topLeft());
      paint(into);
    }
    p.drawPixmap(area.topLeft(), picture);
    kept_ = std::move(picture);
    at_ = area.topLeft();
  }

private:
  QPixmap kept_;
  QPoint at_;
};

}  // namespace movinta::editor
