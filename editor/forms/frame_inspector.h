// The frame inspector: a stay-on-top tool window showing the selected frame of the active document
// in three tabs (a property grid, the frame's local palette and the animation's comments) and
// making every change through the document's undo history.
#pragma once

#include "editor/forms/inspector_logic.h"
#include "editor/forms/kept_paint.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QAction;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTabBar;
class QTableWidget;
class QTreeWidget;

namespace movinta::editor {
class TMDIChild;
}

namespace movinta::editor::forms {

class TfrmPalette;
class PaletteGrid;

// What the inspector needs of the main window.
class IInspectorHost {
public:
  virtual ~IInspectorHost() = default;
  virtual TMDIChild* ActiveDocument() const = 0;
  // The main window's ShowFrame, which fills the inspector again.
  virtual void ShowFrame(int index) = 0;
  // Reads the active document's working copy back into the working image.
  virtual void ReloadActiveDocument() = 0;
  virtual void RepaintFrameStrip() {}
  virtual void PausePlayback() {}
  // The window was closed by the user: uncheck "&Frame Inspector".
  virtual void InspectorClosed() {}
};

class TfrmFloat : public QWidget {
  Q_OBJECT
public:
  explicit TfrmFloat(IInspectorHost* host, QWidget* parent = nullptr);
  ~TfrmFloat() override;

  // Fills the window for frame index of the document (the inspector's part of the main window's
  // frame-properties refresh): caption, grid values, palette, comments and frame combo.
  void ShowFrameProperties(TMDIChild* document, int index);
  void ClearInspector();
  // Back to the state with no document open.
  void ResetInspector();
  void CommitEdit();
  void LayoutPaletteGrid();
  void LoadPosition(const SettingsStore& store, const QRect& mainWindow);
  void SavePosition(SettingsStore& store, bool visible) const;

  // Handlers, public so the window can be driven directly.
  void gridSelectCell(int row, bool openDropDown = true);
  // After an undo: the row the undone caption names, its value as the frame now has it, no list.
  void ShowUndoneRow(int row);
  void SetValueText(int row, const QString& text);  // as typed into the value cell
  QString ValueText(int row) const;
  void ChooseDropDownItem(int item);
  void cbFramesChange(int comboIndex);
  void SelectColor(int index);
  void btnColorAddClick();
  void btnColorEditClick();
  void btnColorDeleteClick();
  void lvCommentsSelect(int item);
  void mmoCommentsExit();
  void btnAddCommentsClick();
  void btnRemoveCommentsClick();

  // Runs the colour dialog; true on OK. Replaceable for tests.
  std::function<bool(TfrmPalette&)> RunPalette;

  int SelectedRow = -1;
  int SelectedColorIndex = -1;
  bool HasSwatch = false;
  gif::TColor SwatchColor = 0;
  bool ReloadNeeded = false;
  QString EnteredValue;
  int ActiveTabIndex = -1;
  // The frame's local table, or null.
  gif::TGIFColorMap* Palette() const;
  int CurrentFrame() const;

  QComboBox* cbFrames = nullptr;
  QTabBar* tabImgInfo = nullptr;
  QStackedWidget* pages = nullptr;
  QTableWidget* grid = nullptr;
  QWidget* pnlPalettes = nullptr;
  PaletteGrid* grdPalette = nullptr;
  QPushButton *btnColorAdd = nullptr, *btnColorEdit = nullptr, *btnColorDelete = nullptr;
  QLabel* lblColor = nullptr;
  QMenu* popPalette = nullptr;
  QAction *mniPopEditColor = nullptr, *mniPopAddColor = nullptr, *mniPopDeleteColor = nullptr;
  QWidget* pnlComments = nullptr;
  QTreeWidget* lvComments = nullptr;
  QPlainTextEdit* mmoComments = nullptr;
  QPushButton *btnAddComments = nullptr, *btnRemoveComments = nullptr;
  QWidget* pnlHints = nullptr;
  QLabel *lblField = nullptr, *lblHint = nullptr;
  QListWidget* lbDrop = nullptr;

protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void Build();
  void FillGrid(gif::TGIFSubImage& frame);
  void FillComments();
  void UpdatePaletteButtons();
  void OpenDropDown(int row);
  void AfterPaletteEdit(const InspectorEdit& edit);
  void GridItemChanged(int row, int column);
  TMDIChild* Document() const;

  IInspectorHost* host_;
  int frame_ = 0;
  bool filling_ = false;
  bool selectedOnce_ = false;
  QString commentText_;  // the memo's text when its comment was selected
};

// The local palette as a grid of cells.
class PaletteGrid : public QWidget {
  Q_OBJECT
public:
  explicit PaletteGrid(TfrmFloat* owner);
  PaletteGridLayout Layout() const;
  int IndexAt(QPoint at) const;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

private:
  void PaintPalette(QPainter& p);
  TfrmFloat* owner_;
  TKeptPaint kept_;
};

}  // namespace movinta::editor::forms
