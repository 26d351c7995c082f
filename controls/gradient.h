// A colour gradient in bands, and a section header drawn on it with an image and a caption.
#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

enum TGradientOrientation { goHorizontal, goVertical };

namespace movinta::controls {

// a * b / c rounded to the nearest integer, halves away from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);

// The band colours from top to bottom: a straight blend, one band being the top colour.
QList<QColor> GradientBandColors(const QColor& top, const QColor& bottom, int bands);

// Where band k (1-based) of n ends along a client extent.
inline int GradientBandEnd(int extent, int k, int n) { return MulDiv(extent, k, n); }

}  // namespace movinta::controls

// Images shown by controls that reference a list by index; not owned by them.
class TImageList : public QObject {
  Q_OBJECT
public:
  explicit TImageList(QObject* parent = nullptr) : QObject(parent) {}
  void Add(const QPixmap& image) { images_.append(image); }
  int Count() const { return int(images_.size()); }
  QPixmap Image(int index) const { return index >= 0 && index < Count() ? images_[index] : QPixmap(); }

private:
  QList<QPixmap> images_;
};

class TGradient : public QWidget {
  Q_OBJECT
public:
  static constexpr int kMinColors = 1, kMaxColors = 255;
  explicit TGradient(QWidget* parent = nullptr);

  QColor ColorTop() const { return colorTop_; }
  void SetColorTop(const QColor& color);
  QColor ColorBottom() const { return colorBottom_; }
  void SetColorBottom(const QColor& color);
  int NumColors() const { return numColors_; }
  void SetNumColors(int count);  // kept within 1..255
  TGradientOrientation Orientation() const { return orientation_; }
  void SetOrientation(TGradientOrientation orientation);
  // One colour per band, built when missing.
  const QList<QColor>& GetPalette() const;

protected:
  void paintEvent(QPaintEvent* event) override;
  void PaintGradient(class QPainter& painter);

private:
  QColor colorTop_, colorBottom_;
  int numColors_ = 64;
  TGradientOrientation orientation_ = goHorizontal;
  mutable QList<QColor> palette_;
};

class TGradientLabel : public TGradient {
  Q_OBJECT
public:
  explicit TGradientLabel(QWidget* parent = nullptr);
  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int index);
  TImageList* ImageList() const { return imageList_; }
  void SetImageList(TImageList* list);
  // Fits the height to the font: text height of "Pq" + 8.
  void Loaded();

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QString caption_;
  int imageIndex_ = -1;
  QPointer<TImageList> imageList_;
};
