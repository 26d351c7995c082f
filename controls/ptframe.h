// Framed group panels: a container (TPTGroup) whose children sit inside one of eleven frame
// styles, and a plain framed area with a caption (TPTFrame). The frame sits in the widget's
// contents margins: children placed through a layout (or inside contentsRect()) sit inside the
// frame and move when the style, caption or font changes it.
#pragma once

#include <QColor>
#include <QMargins>
#include <QWidget>

class QPainter;

enum TPTFrameStyle {
  ptfsNone,
  ptfsGroup,
  ptfsLowered,
  ptfsRaised,
  ptfsDint,
  ptfsBump,
  ptfsSingle,
  ptfsHorzLine,
  ptfsHorzEdge,
  ptfsVertLine,
  ptfsVertEdge,
};

namespace movinta::controls {

// The inset of the content for a style. captionHeight is the caption font's text height when
// there is a caption and 0 when there is none (the group style then takes 2 at the top).
QMargins PTFrameInsets(TPTFrameStyle style, int captionHeight);

// Draws the frame of a style into area. The group style also fills area with fill (when valid)
// and draws its caption; the other styles draw lines only. Colours come from the palette:
// Dark the shadow, Light the highlight, Button the face, Shadow the dark shadow and
// WindowText the window frame.
void PTDrawFrame(QPainter& painter, const QRect& area, TPTFrameStyle style, const QPalette& palette,
                 const QColor& fill, const QString& caption, bool enabled);

// Draws a single-line caption vertically centred in area less frameSpace at both sides,
// ended with an ellipsis when too long. alignment is Qt::AlignLeft, AlignRight or AlignHCenter.
void PTDrawCaption(QPainter& painter, const QRect& area, const QString& caption, Qt::Alignment alignment,
                   int frameSpace, const QColor& textColor);

}  // namespace movinta::controls

// The properties both framed controls share. An invalid Color means no background fill.
class PTFramedWidget : public QWidget {
  Q_OBJECT
public:
  Qt::Alignment Alignment() const { return alignment_; }
  void SetAlignment(Qt::Alignment alignment);
  bool DefaultDrawing() const { return defaultDrawing_; }
  void SetDefaultDrawing(bool on);
  int FrameSpace() const { return frameSpace_; }
  void SetFrameSpace(int space);
  TPTFrameStyle FrameStyle() const { return frameStyle_; }
  void SetFrameStyle(TPTFrameStyle style);
  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  QColor Color() const { return color_; }
  void SetColor(const QColor& color);

  // The content inset of the current style, caption and font.
  QMargins FrameInsets() const;

signals:
  // After the default drawing, with the painter still open on the control.
  void OnPaint(QPainter* painter);

protected:
  PTFramedWidget(TPTFrameStyle style, QWidget* parent);
  virtual void FrameChanged() { update(); }
  void changeEvent(QEvent* event) override;

private:
  Qt::Alignment alignment_ = Qt::AlignHCenter;
  bool defaultDrawing_ = true;
  int frameSpace_ = 2;
  TPTFrameStyle frameStyle_;
  QString caption_;
  QColor color_;
};

// A container drawing its frame around its children.
class TPTGroup : public PTFramedWidget {
  Q_OBJECT
public:
  explicit TPTGroup(QWidget* parent = nullptr);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int width);

protected:
  void FrameChanged() override;
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

private:
  int borderWidth_ = 0;
};

// A framed area with an optional caption and no children of its own.
class TPTFrame : public PTFramedWidget {
  Q_OBJECT
public:
  explicit TPTFrame(QWidget* parent = nullptr);

protected:
  void paintEvent(QPaintEvent* event) override;
};
