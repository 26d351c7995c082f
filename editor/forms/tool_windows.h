// The image browser and the frame inspector: tool windows of the main window. Here they are the
// windows with their captions, placement and the parts the main window's start-up touches; their
// contents join them later.
#pragma once

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

class TfrmFloat : public QWidget {
  Q_OBJECT
public:
  explicit TfrmFloat(QWidget* parent = nullptr);
};

extern QPointer<TfrmThumbWin> the_frmThumbWin;
extern QPointer<TfrmFloat> the_frmFloat;

}  // namespace movinta::editor
