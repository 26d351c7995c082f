// The image browser: a tool window with a folder tree on the left and a grid of thumbnails of the
// image files in the selected folder. The main window's image-browser commands own the thumbnails;
// this window draws them, shows the selection in the status bar, starts drags and opens pictures.
#pragma once

#include "editor/commands/image_browser_commands.h"
#include "editor/model/registry.h"

#include <QAbstractScrollArea>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QSplitter;
class QToolButton;

namespace ptshell {
class TPTShellTree;
class TPTCustomShellTree;
class TPTTreeNode;
}  // namespace ptshell

namespace movinta::editor {

class TfrmThumbWin;

// The grid of thumbnails: cells of one size, a selected cell, drawn by the window.
class TThumbGrid : public QAbstractScrollArea {
  Q_OBJECT
public:
  explicit TThumbGrid(TfrmThumbWin& window);

  void SetLayout(const ThumbGridLayout& layout);
  ThumbGridLayout Layout() const { return layout_; }
  int ColCount() const { return layout_.ColCount; }
  int RowCount() const { return layout_.RowCount; }
  // The cell index under a viewport point, -1 outside the cells.
  int CellAt(const QPoint& point) const;
  QRect CellRect(int index) const;
  int Selected() const { return selected_; }
  void SetSelected(int index);
  // Set to 0: the image browser's thumbnail grid, which drops elsewhere recognise.
  int Tag = 0;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  void UpdateScrollBar();

  TfrmThumbWin& window_;
  ThumbGridLayout layout_;
  int selected_ = -1;
  QPoint pressAt_;
  bool dragArmed_ = false;
};

class TfrmThumbWin : public QWidget, public IThumbView {
  Q_OBJECT
public:
  // Without commands the window takes those of its parent (the main window) when it has them.
  explicit TfrmThumbWin(QWidget* parent = nullptr, TImageBrowserCommands* commands = nullptr);
  ~TfrmThumbWin() override;

  TImageBrowserCommands* Commands() const { return commands_; }

  // The folder tree beside the thumbnails.
  bool ExplorerVisible() const;
  void SetExplorerVisible(bool visible);
  int ExplorerWidth() const;
  void SetExplorerWidth(int width);
  // The folder shown.
  QString Folder() const { return TreeFolder(); }
  void SelectFolder(const QString& folder) { SelectTreeFolder(folder); }
  void RefreshThumbnails();

  // Puts the window at wanted, or as near as keeps it on the screens.
  void Place(const QRect& wanted);
  // The first place, below the main window, until the deferred start-up reads the stored one.
  void PlaceBelow(const QWidget& main);
  // Placement in the "ThumbNails" section: written when the program ends (visible: whether the
  // browser was shown, as the program hides it while closing), read at start-up.
  void SavePlacement(SettingsStore& store, bool visible) const;
  // Reads the stored placement; missing values keep the window's own (the width defaults to
  // defaultWidth). Returns the stored visibility.
  bool LoadPlacement(SettingsStore& store, int defaultWidth);

  // Handlers.
  void tvShellChange();
  void btnTVCloseClick();
  void grdThumbsSelectCell(int index);
  void grdThumbsMouseDown(Qt::MouseButton button, const QPoint& point);
  void grdThumbsDblClick();
  void grdThumbsDrawCell(QPainter& painter, int index, const QRect& rect);
  // The drag of a thumbnail: what goes with it. Replaceable so that tests see it without a drag loop.
  std::function<void(const QString& path)> StartDrag;

  // IThumbView
  bool BrowserVisible() const override { return isVisible(); }
  void SetBrowserVisible(bool visible) override { setVisible(visible); }
  QString TreeFolder() const override;
  void SelectTreeFolder(const QString& folder) override;
  void SetFolderLabel(const QString& text) override;
  int GridClientWidth() const override;
  int GridTextHeight() const override;
  void SetGridLayout(const ThumbGridLayout& layout) override;
  void ClearGrid() override;
  int SelectedThumb() const override;
  void RepaintGrid() override;

  QLabel* lblCurrFolder = nullptr;
  QToolButton* btnTVClose = nullptr;
  ptshell::TPTShellTree* tvShell = nullptr;
  QSplitter* vspThumbs = nullptr;
  TThumbGrid* grdThumbs = nullptr;

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  QString ProgramFolder() const;
  void SelectPath(const QString& path);
  // Scans the folder when the window shows and the folder is not the one shown.
  void ShowFolder(const QString& path);

  bool eventFilter(QObject* watched, QEvent* event) override;

  QPointer<TImageBrowserCommands> commands_;
  // The tree's width until the splitter first has its own size, which it cannot share out before.
  int explorerWidth_ = 161;
  bool splitterSized_ = false;
  bool explorerVisible_ = true;
  bool fallbackQueued_ = false;
};

extern QPointer<TfrmThumbWin> the_frmThumbWin;

}  // namespace movinta::editor
