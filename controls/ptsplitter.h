// A two-pane splitter: panes side by side or stacked, a draggable bar between them, a position
// that can follow the control's size, minimum pane sizes (a negative one lets a pane vanish), and
// live or ghost-bar dragging.
#pragma once

#include "controls/ptframe.h"

#include <QRect>
#include <QSize>

enum TPTSplitterStyle { ptstVertical, ptstHorizontal };
enum TPTFullDragMode { ptfdOff, ptfdOn, ptfdUser };

namespace movinta::controls {

// Rounds to the nearest integer, halves to the even neighbour.
int PTRoundHalfEven(double value);

// Keeps a position inside the minimum sizes: below min1 it becomes min1, else above
// size - min2 it becomes size - min2.
int PTSplitterClampPosition(int position, int size, int min1, int min2);

// The position that keeps ratio of size.
int PTSplitterProportionalPosition(int size, double ratio);

// position / size, or 0.5 for a size of 0.
double PTSplitterRatio(int position, int size);

// The bar coordinate a drag may reach, given the grab offset (mouse minus bar edge at press).
int PTSplitterDragCoordinate(int coordinate, int offset, int size, int min1, int min2);

struct PTSplitterGeometry {
  QRect pane1, pane2, bar;
};
// Pane and bar rectangles for a client size; a pane that would have a negative extent gets 0.
PTSplitterGeometry PTSplitterLayout(TPTSplitterStyle style, QSize client, int position, int splitterWidth);

}  // namespace movinta::controls

// One pane of a splitter: a framed group that holds the controls placed on it.
class TPTPane : public TPTGroup {
  Q_OBJECT
public:
  TPTPane(int index, QWidget* parent);
  int MinSize() const { return minSize_; }
  void SetMinSize(int size) { minSize_ = size; }
  int Index() const { return index_; }

private:
  int minSize_ = 20;
  int index_;
};

class TPTSplitter : public QWidget {
  Q_OBJECT
public:
  explicit TPTSplitter(QWidget* parent = nullptr);

  TPTSplitterStyle Style() const { return style_; }
  void SetStyle(TPTSplitterStyle style);
  int Position() const { return position_; }
  void SetPosition(int position) { SetPositionInternal(position, true); }
  int SplitterWidth() const { return splitterWidth_; }
  void SetSplitterWidth(int width);
  bool Proportional() const { return proportional_; }
  void SetProportional(bool on) { proportional_ = on; }
  TPTFullDragMode FullDragMode() const { return fullDragMode_; }
  void SetFullDragMode(TPTFullDragMode mode) { fullDragMode_ = mode; }

  TPTPane* Pane(int index) const { return panes_[index == 0 ? 0 : 1]; }
  QColor Pane1Color() const { return panes_[0]->Color(); }
  void SetPane1Color(const QColor& c) { panes_[0]->SetColor(c); }
  QColor Pane2Color() const { return panes_[1]->Color(); }
  void SetPane2Color(const QColor& c) { panes_[1]->SetColor(c); }
  TPTFrameStyle Pane1FrameStyle() const { return panes_[0]->FrameStyle(); }
  void SetPane1FrameStyle(TPTFrameStyle s) { panes_[0]->SetFrameStyle(s); }
  TPTFrameStyle Pane2FrameStyle() const { return panes_[1]->FrameStyle(); }
  void SetPane2FrameStyle(TPTFrameStyle s) { panes_[1]->SetFrameStyle(s); }
  // Stored only; the next position change or drag applies it.
  int Pane1MinSize() const { return panes_[0]->MinSize(); }
  void SetPane1MinSize(int size) { panes_[0]->SetMinSize(size); }
  int Pane2MinSize() const { return panes_[1]->MinSize(); }
  void SetPane2MinSize(int size) { panes_[1]->SetMinSize(size); }

  bool Dragging() const { return dragging_; }
  // Ends a running drag without moving the panes (a popup, another window taking the mouse).
  void CancelDrag();
  // Whether a drag moves the panes at once; ptfdUser follows the style's opaque-resize hint.
  bool LiveDrag() const;

signals:
  void OnChange();
  void OnResize();
  void OnSplitterDrag(int position);
  void OnSplitterDrop(int position);

protected:
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  int Size() const { return style_ == ptstVertical ? width() : height(); }
  int Coordinate(const QMouseEvent* event) const;
  void SetPositionInternal(int position, bool updateRatio);
  void Layout();
  void MoveTo(int coordinate);
  void ShowGhost(int coordinate);
  void EndDrag();
  void RenamePanes();

  TPTPane* panes_[2];
  QWidget* ghost_;
  TPTSplitterStyle style_ = ptstVertical;
  int position_ = 65;
  int splitterWidth_ = 3;
  bool proportional_ = true;
  TPTFullDragMode fullDragMode_ = ptfdUser;
  double ratio_ = 65.0 / 200.0;
  bool dragging_ = false;
  Qt::MouseButton dragButton_ = Qt::NoButton;
  int lastDrawn_ = -1;
  int grabOffset_ = 0;
};
