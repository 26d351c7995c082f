// The window of one open animation inside the main window's MDI area: the frame shown in a
// scroll box, and a status bar with the modified mark. The document itself is the model's
// TMDIChild; the window only shows it and forwards its close request.
#pragma once

#include "editor/model/document.h"
#include "gif/gifimage.h"

#include <QImage>
#include <QWidget>

#include <functional>

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QLabel;
class QMimeData;
class QMouseEvent;
class QScrollArea;
class QStatusBar;

namespace movinta::editor {

class TfrmMain;

// Renders frame index of image at its own size; transparent pixels become clear. Raises
// std::bad_alloc when the picture cannot be made.
QImage RenderFrame(TGIFImage& image, int index);

// Bytes a shown frame of this size is charged at: the picture and the 32-bit copy drawing it takes.
std::uint64_t ShownFrameCost(int width, int height);

// Tells the user why a picture could not be made, once for each reason until a frame shows again;
// call it inside a catch block. Safe in paint code: the message comes from the event loop.
void TellPictureNotMade() noexcept;

// The animation's screen with one frame on it, in its place: the screen in the frame background
// colour, the frame at its offset with a dotted outline.
class FrameView : public QWidget {
  Q_OBJECT
public:
  using QWidget::QWidget;
  void SetFrame(const QImage& image, QSize screen, QPoint offset, bool drawTransparent, QColor background);
  // Lets go of the picture before a new one is made.
  void DropPicture() { frame_ = QImage(); }
  QSize sizeHint() const override;
  // Where the frame lies on the screen.
  QRect FrameRect() const { return QRect(offset_, frame_.size()); }
  const QImage& Picture() const { return frame_; }
  // The data of a drag of the picture, which starts once the left button has moved it 10 pixels;
  // null for no drag.
  std::function<QMimeData*()> DragData;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

private:
  QPoint pressAt_;
  bool dragArmed_ = false;
  QImage frame_;
  QSize screen_{1, 1};
  QPoint offset_;
  bool drawTransparent_ = false;
  QColor background_ = Qt::white;
};

class TMDIChildWindow : public QWidget {
  Q_OBJECT
public:
  TMDIChildWindow(TfrmMain& main, TMDIChild* document, QWidget* parent = nullptr);

  TMDIChild* Document() const { return document_; }
  // The document is gone: the window holds no pointer to it any more.
  void Detach() { document_ = nullptr; }
  void ShowFrame(int index);
  void UpdateState();
  FrameView* View() const { return pb_; }
  // Status panel 2: the size of the animation, or what plays.
  QString StatusText() const;
  void SetStatusText(const QString& text);

  // A frame dragged from the strip, or from the picture of the document the strip shows, may be
  // dropped here when this is another document than that one and nothing plays.
  bool AcceptsFrameDrop(const QMimeData* data) const;
  // Inserts the dragged frame into this document after its selection and brings it forward.
  bool DropFrame(const QMimeData* data);

protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  TfrmMain& main_;
  TMDIChild* document_;
  QScrollArea* sbox_;
  FrameView* pb_;
  gif::TGIFMemoryCharge shownCharge_;
  QStatusBar* statusBar_;
  QLabel* panel0_;
  QLabel* panel1_;
  QLabel* panel2_;
};

}  // namespace movinta::editor
