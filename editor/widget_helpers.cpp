#include "editor/widget_helpers.h"

#include "editor/forms/guarded.h"
#include "editor/model/text_helpers.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>

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

void SetDocumentDependent(QAction* item, bool dependent) {
  if (item) item->setProperty(kHelpContextProperty, dependent ? 1 : -1);
}

bool IsDocumentDependent(const QAction* item) { return item && item->property(kHelpContextProperty).toInt() == 1; }

namespace {
void EnableDocumentItems(const QList<QAction*>& items, bool enabled) {
  for (QAction* item : items) {
    if (IsDocumentDependent(item)) item->setEnabled(enabled);
    if (const QMenu* sub = item->menu()) EnableDocumentItems(sub->actions(), enabled);
  }
}
}  // namespace

void EnableDocumentItems(const QMenuBar& bar, bool enabled) { EnableDocumentItems(bar.actions(), enabled); }

QAction* AddMenuItem(QMenu* parent, const QString& caption, const std::function<void()>& handler,
                     const QString& hint) {
  if (!parent) return nullptr;
  QAction* item = parent->addAction(caption);
  item->setStatusTip(hint);
  if (handler) QObject::connect(item, &QAction::triggered, parent, Guarded(handler));
  return item;
}

void SetPanelEnabled(QWidget* panel, bool enabled) {
  if (!panel) return;
  for (QWidget* control : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) control->setEnabled(enabled);
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

QRect ScreensArea() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableVirtualGeometry() : QRect(0, 0, 640, 480);
}

QRect KeptOnScreens(const QRect& wanted, const QRect& area) {
  auto side = [](int value, int room) { return std::clamp(value, std::min(kMinimumWindowSide, room), room); };
  const int width = side(wanted.width(), area.width()), height = side(wanted.height(), area.height());
  const int left = std::clamp(wanted.left(), area.left(), area.left() + area.width() - width);
  const int top = std::clamp(wanted.top(), area.top(), area.top() + area.height() - height);
  return QRect(left, top, width, height);
}

}  // namespace movinta::editor
