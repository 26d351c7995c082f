// Save As Flash and View Flash HTML as actions of the main window: the save dialog, the export
// over a private copy of the working image while the window is disabled, and the HTML snippet.
#pragma once

#include <QPointer>

class QAction;

namespace movinta::editor {

class TfrmMain;

struct FlashActions {
  QPointer<QAction> FileSaveAsFlash;
  QPointer<QAction> AnimationFlashHTML;
  // Enables both exactly while a document is active and the working image has frames.
  void Update(TfrmMain& main) const;
};

// Makes "Save As Macromedia Flash (.swf)..." (the main window puts it into Save As and Export) and
// adds "View Flash HTML" to the Animation menu and toolbar.
FlashActions BuildFlashActions(TfrmMain& main);

// The update handler the two actions share.
bool FileSaveAsFlashUpdate(TfrmMain& main);
void FileSaveAsFlashExecute(TfrmMain& main);
void AnimationFlashHTMLExecute(TfrmMain& main);

}  // namespace movinta::editor
