// Combo boxes of the shell controls: TPTCustomCombobox adds a settable item
// height and events for closing up, ending a selection and deleting an item's
// data; TPTCustomImageCombo draws each item itself with an image, an optional
// overlay and an indent level, the way the look-in box shows a folder chain.
#pragma once

#include <QComboBox>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

#include "controls/shell/widgets/ptimagelist.h"

namespace ptshell {

class TPTCustomCombobox : public QComboBox {
  Q_OBJECT
 public:
  explicit TPTCustomCombobox(QWidget* parent = nullptr);

  int ItemHeight() const { return ItemHeightValue; }
  // A different height is applied at once; the same height changes nothing.
  virtual void SetItemHeight(int height);
  // How often a new item height was applied (each would recreate a native combo).
  int ItemHeightApplications() const { return HeightApplications; }

  void showPopup() override;
  void hidePopup() override;
  bool PopupShown() const { return PopupOpen; }

  // The extended keyboard interface: in the closed combo the arrow and paging
  // keys open the list instead of choosing the next entry, and the wheel
  // chooses nothing; an entry is chosen by Enter or a click in the open list.
  bool ExtendedUI = false;

  std::function<void(TPTCustomCombobox* sender, const QVariant& data)> OnDeleteItem;
  std::function<void(TPTCustomCombobox* sender)> OnCloseUp;
  std::function<void(TPTCustomCombobox* sender)> OnSelEndCancel;
  std::function<void(TPTCustomCombobox* sender)> OnSelEndOk;

 protected:
  // The user confirmed an entry of the list (after OnSelEndOk).
  virtual void SelEndOk() {}
  // Items are about to go: their data is handed out before they are removed.
  virtual void ItemsRemoving(int first, int last);
  void keyPressEvent(QKeyEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

  int ItemHeightValue = 0;
  int HeightApplications = 0;

 private:
  bool PopupOpen = false;
  bool Confirmed = false;
};

class TPTCustomImageCombo;

class TPTImageComboItem {
 public:
  TPTImageComboItem(TPTCustomImageCombo* combo, const QString& caption, int imageIndex, int indent)
      : Combo(combo), Indent(indent), ImageIndexValue(imageIndex), CaptionValue(caption) {}
  virtual ~TPTImageComboItem() = default;

  int ImageIndex() const { return ImageIndexValue; }
  int OverlayIndex() const { return OverlayIndexValue; }
  const QString& Caption() const { return CaptionValue; }
  // Each setter repaints the combo.
  void SetImageIndex(int value);
  void SetOverlayIndex(int value);
  void SetCaption(const QString& value);

  TPTCustomImageCombo* Combo;
  int Index = -1;
  int Indent = 0;
  // What the owner attaches (the shell combo's folder data); owned with the item.
  std::shared_ptr<void> Data;

 private:
  int ImageIndexValue;
  int OverlayIndexValue = -1;
  QString CaptionValue;
};

// Where DrawItem puts an item's parts in its rectangle.
struct TPTImageComboLayout {
  QPoint ImagePos;  // top-left of the image (meaningful with images)
  QRect TextRect;   // the clip of the caption; it is drawn 1 pixel right of and below its corner
};
TPTImageComboLayout ImageComboItemLayout(const QRect& rect, int indentLevel, int indentPixels, bool hasImages,
                                         int imageWidth, int imageHeight, int textWidth);

class TPTCustomImageCombo : public TPTCustomCombobox {
  Q_OBJECT
 public:
  explicit TPTCustomImageCombo(QWidget* parent = nullptr);
  ~TPTCustomImageCombo() override;

  TPTImageComboItem* AddItem(const QString& caption, int imageIndex, int indent);
  TPTImageComboItem* Items(int index) const;
  int ItemCount() const { return count(); }
  // Removes every item, deleting each through DeleteItem.
  void ClearItems() { clear(); }

  const TPTImageList* Images() const { return ImagesValue; }
  // Not owned; the combo recomputes its item height from it.
  void SetImages(const TPTImageList* images);
  int IndentPixels() const { return IndentPixelsValue; }
  void SetIndentPixels(int value);
  bool AutoItemHeight = true;
  // Recomputes the item height from the font and the images.
  void UpdateItemHeight();

  // Draws one item; `inEditField` is the closed combo's own field, drawn without indent.
  virtual void DrawItem(QPainter& painter, int index, const QRect& rect, bool selected, bool inEditField);

  std::function<void(TPTCustomImageCombo* sender, TPTImageComboItem* item)> OnDeleteItem;
  std::function<void(TPTCustomImageCombo* sender, TPTImageComboItem* item)> OnPrepareItem;
  // When set, draws every item instead of DrawItem's own drawing.
  std::function<void(TPTCustomImageCombo* sender, QPainter& painter, int index, const QRect& rect, bool selected)>
      OnDrawItem;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  virtual void DeleteItem(TPTImageComboItem* item);
  virtual void PrepareItem(TPTImageComboItem* item);
  void ItemsRemoving(int first, int last) override;
  void paintEvent(QPaintEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  friend class TPTImageComboItem;
  const TPTImageList* ImagesValue = nullptr;
  int IndentPixelsValue = 12;
  bool InFontChange = false;
};

}  // namespace ptshell
