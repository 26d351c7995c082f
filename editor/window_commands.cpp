#include "editor/window_commands.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>
#include <cmath>

namespace movinta::editor {

namespace {
QList<QMdiSubWindow*> Windows(QMdiArea& area, bool minimized) {
  QList<QMdiSubWindow*> out;
  for (QMdiSubWindow* w : area.subWindowList(QMdiArea::CreationOrder))
    if (w->isVisible() && w->isMinimized() == minimized) out.append(w);
  return out;
}
}  // namespace

void TileChildren(QMdiArea& area, int mode) {
  const QList<QMdiSubWindow*> windows = Windows(area, false);
  const int n = static_cast<int>(windows.size());
  if (n == 0) return;
  const QRect space = area.viewport()->rect();
  // Up to three windows share one row (or column); more make a grid with the extra ones in the
  // last lines, as the system's tiling does.
  const int lines = n <= 3 ? 1 : static_cast<int>(std::floor(std::sqrt(static_cast<double>(n))));
  const int perLine = (n + lines - 1) / lines;
  for (int i = 0; i < n; ++i) {
    const int line = i / perLine;
    const int inLine = i % perLine;
    const int inThisLine = line == lines - 1 ? n - perLine * (lines - 1) : perLine;
    QRect r;
    if (mode == 0) {
      const int h = space.height() / lines;
      const int w = space.width() / inThisLine;
      r = QRect(space.left() + inLine * w, space.top() + line * h, w, h);
    } else {
      const int w = space.width() / lines;
      const int h = space.height() / inThisLine;
      r = QRect(space.left() + line * w, space.top() + inLine * h, w, h);
    }
    if (windows[i]->isMaximized()) windows[i]->showNormal();
    windows[i]->setGeometry(r);
  }
}

void CascadeChildren(QMdiArea& area) { area.cascadeSubWindows(); }

void MinimizeAllChildren(QMdiArea& area) {
  for (QMdiSubWindow* w : area.subWindowList(QMdiArea::CreationOrder)) w->showMinimized();
}

void ArrangeChildren(QMdiArea& area) {
  const QRect space = area.viewport()->rect();
  int x = space.left();
  int row = 0;
  for (QMdiSubWindow* w : Windows(area, true)) {
    const QSize s = w->size();
    if (x > space.left() && x + s.width() > space.right() + 1) {
      x = space.left();
      ++row;
    }
    w->move(x, space.bottom() + 1 - (row + 1) * s.height());
    x += s.width();
  }
}

}  // namespace movinta::editor
