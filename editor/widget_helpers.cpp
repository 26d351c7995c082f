#include "editor/widget_helpers.h"

#include "editor/model/text_helpers.h"

#include <QAction>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>

namespace movinta::editor {

int FindMenuItemByCaption(const QMenu* menu, const QString& text) {
  if (!menu) return -1;
  const QList<QAction*> actions = menu->actions();
  for (int i = 0; i < actions.size(); ++i) {
    QString caption = actions[i]->text();
    caption.remove(QLatin1Char('&'));
    if (caption.contains(text) || actions[i]->text().contains(text)) return i;
  }
  return -1;
}

void CenterInScrollBox(QScrollArea* box, QWidget* control) {
  if (!box || !control) return;
  box->horizontalScrollBar()->setValue(0);
  box->verticalScrollBar()->setValue(0);
  box->setAlignment(Qt::AlignCenter);
}

void SetRedraw(QWidget* box, bool suspend) {
  if (!box) return;
  box->setUpdatesEnabled(!suspend);
  if (!suspend) box->update();
}

int CenterTextX(const QRect& rect, const QFontMetrics& metrics, const QString& text) {
  return CenterOffset(rect.left(), rect.right() + 1, metrics.horizontalAdvance(text));
}

int CenterTextY(const QRect& rect, const QFontMetrics& metrics, const QString& text) {
  (void)text;
  return CenterOffset(rect.top(), rect.bottom() + 1, metrics.height());
}

}  // namespace movinta::editor
