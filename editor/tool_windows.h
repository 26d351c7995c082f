// The image browser and the frame inspector: tool windows of the main window. The main window makes
// the inspector; the main block makes the browser.
#pragma once

#include "editor/forms/frame_inspector.h"
#include "editor/thumb_window.h"

#include <QList>
#include <QObject>
#include <QPointer>

namespace movinta::editor {

extern QPointer<forms::TfrmFloat> the_frmFloat;

// Keeps the main window's tool windows (its Qt::Tool children) with it. A window manager takes a
// window for its owner's only when the owner is on the screen as the window maps, so a tool window is
// shown once the main window is there. The tool windows are minimised with the main window and come
// back when it is restored, and come back above it when a modal dialog closes.
class TToolWindowKeeper : public QObject {
  Q_OBJECT
public:
  explicit TToolWindowKeeper(QWidget& main);

  // Shows the tool window now, or as soon as the main window is on the screen.
  void Show(QWidget* tool);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  bool MainOnScreen() const;
  QList<QWidget*> ToolWindows() const;
  void ShowWaiting();
  void RaiseToolWindows();
  void MainStateChanged();

  QWidget& main_;
  QList<QPointer<QWidget>> waiting_;
  QList<QPointer<QWidget>> minimisedWithMain_;
  bool raisePosted_ = false;
};

}  // namespace movinta::editor
