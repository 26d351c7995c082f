// The image browser and the frame inspector: tool windows of the main window. The browser is the
// window with its caption, placement and the parts the main window's start-up touches; its contents
// join it later. The main window makes the inspector.
#pragma once

#include "editor/forms/frame_inspector.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QSplitter;

namespace movinta::editor {

class TfrmThumbWin : public QWidget {
  Q_OBJECT
public:
  explicit TfrmThumbWin(QWidget* parent = nullptr);

  // The folder tree beside the thumbnails.
  bool ExplorerVisible() const;
  void SetExplorerVisible(bool visible);
  int ExplorerWidth() const;
  void SetExplorerWidth(int width);
  // The folder shown.
  QString Folder() const { return folder_; }
  void SelectFolder(const QString& folder);
  void RefreshThumbnails() {}

private:
  QSplitter* splitter_;
  QWidget* tvShell_;
  QLabel* grdThumbs_;
  QString folder_;
};

extern QPointer<TfrmThumbWin> the_frmThumbWin;
extern QPointer<forms::TfrmFloat> the_frmFloat;

}  // namespace movinta::editor
