#include "controls/shell/widgets/ptimagelist.h"

#include <QPainter>

namespace ptshell {

void TPTImageList::Draw(QPainter& painter, QPoint at, int index, int overlay, bool selected, bool cut,
                        const QColor& blend) const {
  QPixmap pm = Pixmap(index, overlay);
  if (pm.isNull()) return;
  if (cut) {
    painter.save();
    painter.setOpacity(0.5);
    painter.drawPixmap(at, pm);
    painter.restore();
    return;
  }
  painter.drawPixmap(at, pm);
  if (selected && blend.isValid()) {
    // Half the image's own colour, half the blend colour, as a selected image looks.
    QPixmap tint(pm.size());
    tint.fill(Qt::transparent);
    QPainter p(&tint);
    p.drawPixmap(0, 0, pm);
    p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    QColor c = blend;
    c.setAlpha(128);
    p.fillRect(tint.rect(), c);
    p.end();
    painter.drawPixmap(at, tint);
  }
}

int TPTPixmapImageList::Add(const QPixmap& pixmap) {
  Images.push_back(pixmap.size() == QSize(W, H) ? pixmap : pixmap.scaled(W, H));
  return Count() - 1;
}

int TPTPixmapImageList::AddOverlay(const QPixmap& pixmap) {
  Overlays.push_back(pixmap.size() == QSize(W, H) ? pixmap : pixmap.scaled(W, H));
  return static_cast<int>(Overlays.size());
}

QPixmap TPTPixmapImageList::Pixmap(int index, int overlay) const {
  if (index < 0 || index >= Count()) return QPixmap();
  if (overlay < 1 || overlay > static_cast<int>(Overlays.size())) return Images[static_cast<size_t>(index)];
  QPixmap out = Images[static_cast<size_t>(index)];
  QPainter p(&out);
  p.drawPixmap(0, 0, Overlays[static_cast<size_t>(overlay - 1)]);
  return out;
}

}  // namespace ptshell
