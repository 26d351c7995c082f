// The strip of frame cells at the bottom of the main window: one cell per frame of the working
// image with its picture scaled to fit, its index, size and delay; a selected frame or range
// (Ctrl+click); dragging a frame along the strip to move it, or onto a document window.
#pragma once

#include "editor/commands/frame_commands.h"

#include <QImage>
#include <QPoint>
#include <QScrollArea>

#include <functional>

class QMimeData;

namespace movinta::editor {

inline constexpr const char* kFrameStripMimeType = "application/x-movinta-frame-strip";
// A thumbnail dragged from the image browser: its file's path.
inline constexpr const char* kThumbnailMimeType = "application/x-movinta-thumbnail";
// A frame dragged from a document's picture: the document's file name and the frame's index.
inline constexpr const char* kDocumentFrameMimeType = "application/x-movinta-document-frame";

// The data of a drag from a document's picture: the document and frame, and the picture itself,
// which other programs take.
QMimeData* NewDocumentFrameDrag(const QString& fileName, int index, const QImage& picture);
// True when data is a drag of the frame the active document shows.
bool HoldsShownFrame(const QMimeData* data, const TFrameCommands& commands);

class FrameCells;

class TFrameStrip : public QScrollArea {
  Q_OBJECT
public:
  explicit TFrameStrip(TFrameCommands& commands, QWidget* parent = nullptr);

  // High enough for a row of cells; it may be made lower, and then scrolls.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  // FrameSize: the largest side of a cell's picture (80 to 160).
  void SetFrameSize(int size);
  int FrameSize() const { return frameSize_; }
  int CellWidth() const { return frameSize_ + 38; }
  int CellHeight() const { return frameSize_ + 62; }
  // Strip of one empty cell, nothing selected.
  void Reset();
  void SetColumnCount(int count);
  int ColumnCount() const { return columns_; }
  // The cell under a point of the strip's contents, -1 for none.
  int CellAt(const QPoint& contentsPoint) const;

  int SelectedFrame() const { return selected_; }
  int SelectionFirst() const { return std::min(first_, last_); }
  int SelectionLast() const { return std::max(first_, last_); }
  void SetSelection(int first, int last);
  bool SpansAll() const { return columns_ > 1 && SelectionFirst() == 0 && SelectionLast() == columns_ - 1; }
  void SelectAll();
  void RepaintCells();

  // A thumbnail of the image browser dropped on the strip, with its file's path.
  std::function<void(const QString& path)> ThumbnailDropped;

  // The picture size a frame of width x height gets in a cell.
  static QSize PictureSize(int width, int height, int frameSize);
  // The clock beside a cell's delay, and where it lies in the cell at cellRect.
  static const QImage& DelayGlyph();
  static QPoint DelayGlyphAt(const QRect& cellRect) { return {cellRect.left() + 5, cellRect.bottom() - 19}; }

signals:
  // A cell was clicked or chosen: the window shows it.
  void frameSelected(int index);
  void selectionChanged();

private:
  friend class FrameCells;
  void CellPressed(int cell, Qt::KeyboardModifiers modifiers);

  TFrameCommands& commands_;
  FrameCells* cells_;
  int frameSize_ = 160;
  int columns_ = 0;
  int selected_ = -1, first_ = -1, last_ = -1;
};

}  // namespace movinta::editor
