#include "editor/tool_windows.h"

#include "editor/forms/guarded.h"

#include <QApplication>
#include <QEvent>
#include <QWindow>

#include <utility>

namespace movinta::editor {

QPointer<forms::TfrmFloat> the_frmFloat;

TToolWindowKeeper::TToolWindowKeeper(QWidget& main) : QObject(&main), main_(main) {
  main_.installEventFilter(this);
  // Modal dialogs may belong to anyone (message boxes, file dialogs, scripts' questions).
  qApp->installEventFilter(this);
}

bool TToolWindowKeeper::MainOnScreen() const { return main_.windowHandle() && main_.windowHandle()->isVisible(); }

QList<QWidget*> TToolWindowKeeper::ToolWindows() const {
  QList<QWidget*> tools;
  for (QWidget* child : main_.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (child->isWindow() && child->windowType() == Qt::Tool) tools.append(child);
  return tools;
}

void TToolWindowKeeper::Show(QWidget* tool) {
  if (!tool) return;
  if (MainOnScreen()) {
    tool->show();
    return;
  }
  if (!waiting_.contains(tool)) waiting_.append(tool);
}

void TToolWindowKeeper::ShowWaiting() {
  if (!MainOnScreen()) return;
  const QList<QPointer<QWidget>> waiting = std::exchange(waiting_, {});
  for (const QPointer<QWidget>& tool : waiting)
    if (tool) tool->show();
}

void TToolWindowKeeper::RaiseToolWindows() {
  raisePosted_ = false;
  for (QWidget* tool : ToolWindows())
    if (tool->isVisible() && !tool->isMinimized()) tool->raise();
}

void TToolWindowKeeper::MainStateChanged() {
  // Minimised rather than hidden: a window manager that takes a main window's tool windows down with
  // it may not bring the main window back once they have been withdrawn.
  if (main_.isMinimized()) {
    for (QWidget* tool : ToolWindows())
      if (tool->isVisible() && !tool->isMinimized()) {
        minimisedWithMain_.append(tool);
        tool->setWindowState(tool->windowState() | Qt::WindowMinimized);
      }
    return;
  }
  if (!main_.isVisible()) return;
  const QList<QPointer<QWidget>> minimised = std::exchange(minimisedWithMain_, {});
  for (const QPointer<QWidget>& tool : minimised)
    if (tool && tool->isVisible()) tool->setWindowState(tool->windowState() & ~Qt::WindowMinimized);
}

bool TToolWindowKeeper::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &main_) {
    // The main window's own window is mapped right after its show event.
    if (event->type() == QEvent::Show)
      QMetaObject::invokeMethod(this, Guarded([this] { ShowWaiting(); }), Qt::QueuedConnection);
    else if (event->type() == QEvent::WindowStateChange)
      MainStateChanged();
    return false;
  }
  if (event->type() == QEvent::Hide && watched->isWidgetType() && !raisePosted_) {
    auto* window = static_cast<QWidget*>(watched);
    if (window->isWindow() && window->isModal() && window != &main_) {
      // Raised once the dialog is gone.
      raisePosted_ = true;
      QMetaObject::invokeMethod(this, Guarded([this] { RaiseToolWindows(); }), Qt::QueuedConnection);
    }
  }
  return false;
}

}  // namespace movinta::editor
