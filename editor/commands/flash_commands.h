// Save As Flash and View Flash HTML: the save dialog, the export over a private copy of the working
// image while the main window is disabled, and the HTML snippet.
#pragma once

#include "editor/model/document.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <utility>

class QAction;
class QMenu;
class QToolBar;

namespace movinta::editor {

class TFlashCommands {
public:
  // window parents the dialogs and is disabled while an export runs.
  TFlashCommands(TDocuments& documents, QWidget* window) : documents_(documents), window_(window) {}

  // Status panels of the main window; unset does nothing.
  std::function<void(const QString& text, int panel)> SetStatusText;

  // Makes "Save As Macromedia Flash (.swf)..." (the main window puts it into Save As and Export)
  // and adds "View Flash HTML" to the Animation menu and toolbar, when given.
  void BuildActions(QMenu* animation, QToolBar* toolbar);
  QPointer<QAction> FileSaveAsFlash;
  QPointer<QAction> AnimationFlashHTML;
  // Enables both exactly while a document is active and the working image has frames.
  void Update() const;

  // The update handler the two actions share.
  bool FileSaveAsFlashUpdate() const;
  void FileSaveAsFlashExecute();
  void AnimationFlashHTMLExecute();

private:
  TDocuments& documents_;
  QPointer<QWidget> window_;
};

}  // namespace movinta::editor
