// The image lists the tree, list and combo controls draw from: icons addressed
// by index with optional overlay images, drawn normal, selected or cut (dimmed).
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QPoint>
#include <vector>

class QPainter;

namespace ptshell {

class TPTImageList {
 public:
  virtual ~TPTImageList() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual int Count() const = 0;
  // The image at `index` with `overlay` (a 1-based overlay image, 0 for none)
  // painted over it; a null pixmap for an index out of range.
  virtual QPixmap Pixmap(int index, int overlay) const = 0;

  // Draws at the top-left `at`; a selected image is blended with `blend`, a
  // cut one drawn dimmed.
  void Draw(QPainter& painter, QPoint at, int index, int overlay = 0, bool selected = false, bool cut = false,
            const QColor& blend = QColor()) const;
};

// An image list of its own pixmaps, all scaled to one size.
class TPTPixmapImageList : public TPTImageList {
 public:
  TPTPixmapImageList(int width, int height) : W(width), H(height) {}
  int Add(const QPixmap& pixmap);
  int AddOverlay(const QPixmap& pixmap);  // returns the overlay number, from 1
  int Width() const override { return W; }
  int Height() const override { return H; }
  int Count() const override { return static_cast<int>(Images.size()); }
  QPixmap Pixmap(int index, int overlay) const override;

 private:
  int W, H;
  std::vector<QPixmap> Images;
  std::vector<QPixmap> Overlays;
};

}  // namespace ptshell
