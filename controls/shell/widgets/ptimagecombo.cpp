#include "controls/shell/widgets/ptimagecombo.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QStylePainter>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>

namespace ptshell {

namespace {

constexpr int kItemRole = Qt::UserRole + 1;

// Draws the drop-down list's items through the combo's own DrawItem.
class ImageComboDelegate : public QStyledItemDelegate {
 public:
  explicit ImageComboDelegate(TPTCustomImageCombo* combo) : QStyledItemDelegate(combo), Combo(combo) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    painter->save();
    Combo->DrawItem(*painter, index.row(), option.rect, selected, false);
    painter->restore();
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return QSize(option.rect.width(), Combo->ItemHeight());
  }

 private:
  TPTCustomImageCombo* Combo;
};

}  // namespace

// --- TPTCustomCombobox ---

TPTCustomCombobox::TPTCustomCombobox(QWidget* parent) : QComboBox(parent) {
  connect(this, qOverload<int>(&QComboBox::activated), this, [this](int) {
    Confirmed = true;
    if (OnSelEndOk) OnSelEndOk(this);
    SelEndOk();
  });
  connect(model(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
          [this](const QModelIndex&, int first, int last) { ItemsRemoving(first, last); });
  connect(model(), &QAbstractItemModel::modelAboutToBeReset, this, [this] {
    if (count() > 0) ItemsRemoving(0, count() - 1);
  });
}

void TPTCustomCombobox::SetItemHeight(int height) {
  if (height == ItemHeightValue) return;
  ItemHeightValue = height;
  ++HeightApplications;
  if (view()) view()->doItemsLayout();
  updateGeometry();
  update();
}

void TPTCustomCombobox::showPopup() {
  PopupOpen = true;
  Confirmed = false;
  QComboBox::showPopup();
}

void TPTCustomCombobox::hidePopup() {
  QComboBox::hidePopup();
  if (!PopupOpen) return;
  PopupOpen = false;
  if (OnCloseUp) OnCloseUp(this);
  // A choice from the list is reported just after the list closes; a list that
  // closes without one ends the selection as cancelled.
  QTimer::singleShot(0, this, [this] {
    if (!Confirmed && OnSelEndCancel) OnSelEndCancel(this);
    Confirmed = false;
  });
}

void TPTCustomCombobox::keyPressEvent(QKeyEvent* e) {
  if (ExtendedUI && !PopupOpen) {
    switch (e->key()) {
      case Qt::Key_Up:
      case Qt::Key_Down:
      case Qt::Key_PageUp:
      case Qt::Key_PageDown:
      case Qt::Key_Home:
      case Qt::Key_End:
        if (!(e->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier))) {
          showPopup();
          e->accept();
          return;
        }
        break;
      default:
        break;
    }
  }
  QComboBox::keyPressEvent(e);
}

void TPTCustomCombobox::wheelEvent(QWheelEvent* e) {
  if (ExtendedUI && !PopupOpen) {
    e->ignore();
    return;
  }
  QComboBox::wheelEvent(e);
}

void TPTCustomCombobox::ItemsRemoving(int first, int last) {
  if (!OnDeleteItem) return;
  for (int i = first; i <= last; ++i) {
    const QVariant data = itemData(i);
    if (data.isValid()) OnDeleteItem(this, data);
  }
}

// --- TPTImageComboItem ---

void TPTImageComboItem::SetImageIndex(int value) {
  ImageIndexValue = value;
  if (Combo) Combo->update();
}

void TPTImageComboItem::SetOverlayIndex(int value) {
  OverlayIndexValue = value;
  if (Combo) Combo->update();
}

void TPTImageComboItem::SetCaption(const QString& value) {
  CaptionValue = value;
  if (Combo) Combo->update();
}

// --- layout ---

TPTImageComboLayout ImageComboItemLayout(const QRect& rect, int indentLevel, int indentPixels, bool hasImages,
                                         int imageWidth, int imageHeight, int textWidth) {
  TPTImageComboLayout out;
  const int indent = indentLevel * indentPixels;
  const int bottom = rect.top() + rect.height();  // exclusive, as the item rectangle is measured
  out.ImagePos = QPoint(indent + rect.left() + 2, (rect.top() + bottom - imageHeight) / 2);
  const int textLeft = (hasImages ? imageWidth + 4 : 4) + indent + rect.left() + 1;
  out.TextRect = QRect(QPoint(textLeft, rect.top()), QPoint(textLeft + textWidth + 3 - 1, bottom - 1));
  return out;
}

// --- TPTCustomImageCombo ---

TPTCustomImageCombo::TPTCustomImageCombo(QWidget* parent) : TPTCustomCombobox(parent) {
  ExtendedUI = true;
  setItemDelegate(new ImageComboDelegate(this));
  connect(model(), &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex&, int first, int) {
    for (int i = first; i < count(); ++i)
      if (TPTImageComboItem* item = Items(i)) item->Index = i;
  });
  UpdateItemHeight();
}

TPTCustomImageCombo::~TPTCustomImageCombo() {
  // Every item object goes through DeleteItem while the combo is still whole.
  clear();
}

TPTImageComboItem* TPTCustomImageCombo::AddItem(const QString& caption, int imageIndex, int indent) {
  auto* item = new TPTImageComboItem(this, caption, imageIndex, indent);
  addItem(QString());
  item->Index = count() - 1;
  setItemData(item->Index, QVariant::fromValue<quintptr>(reinterpret_cast<quintptr>(item)), kItemRole);
  return item;
}

TPTImageComboItem* TPTCustomImageCombo::Items(int index) const {
  if (index < 0 || index >= count()) return nullptr;
  return reinterpret_cast<TPTImageComboItem*>(itemData(index, kItemRole).value<quintptr>());
}

void TPTCustomImageCombo::SetImages(const TPTImageList* images) {
  ImagesValue = images;
  update();
  UpdateItemHeight();
}

void TPTCustomImageCombo::SetIndentPixels(int value) {
  if (value == IndentPixelsValue) return;
  IndentPixelsValue = value;
  update();
}

void TPTCustomImageCombo::UpdateItemHeight() {
  if (!AutoItemHeight) return;
  int h = QFontMetrics(font()).height() + 2;
  if (ImagesValue) h = std::max(h, ImagesValue->Height());
  SetItemHeight(h);
}

void TPTCustomImageCombo::DeleteItem(TPTImageComboItem* item) {
  if (OnDeleteItem) OnDeleteItem(this, item);
  delete item;
}

void TPTCustomImageCombo::PrepareItem(TPTImageComboItem* item) {
  if (OnPrepareItem) OnPrepareItem(this, item);
}

void TPTCustomImageCombo::ItemsRemoving(int first, int last) {
  for (int i = first; i <= last; ++i) {
    TPTImageComboItem* item = Items(i);
    if (!item) continue;
    // Detach first so that nothing reaches a freed item while the row goes.
    setItemData(i, QVariant(), kItemRole);
    DeleteItem(item);
  }
}

void TPTCustomImageCombo::DrawItem(QPainter& painter, int index, const QRect& rect, bool selected, bool inEditField) {
  const QPalette& pal = palette();
  if (OnDrawItem) {
    OnDrawItem(this, painter, index, rect, selected);
    return;
  }
  TPTImageComboItem* item = Items(index);
  if (!item) {
    painter.fillRect(rect, pal.color(QPalette::Base));
    return;
  }
  PrepareItem(item);
  const int indent = inEditField ? 0 : item->Indent;
  painter.fillRect(rect, pal.color(QPalette::Base));
  const QColor highlight = pal.color(QPalette::Highlight);
  const QFontMetrics fm(font());
  const TPTImageComboLayout layout =
      ImageComboItemLayout(rect, indent, IndentPixelsValue, ImagesValue != nullptr,
                           ImagesValue ? ImagesValue->Width() : 0, ImagesValue ? ImagesValue->Height() : 0,
                           fm.horizontalAdvance(item->Caption()));
  if (ImagesValue)
    ImagesValue->Draw(painter, layout.ImagePos, item->ImageIndex(),
                      item->OverlayIndex() >= 0 ? item->OverlayIndex() + 1 : 0, selected, false, highlight);
  if (!item->Caption().isEmpty()) {
    if (selected) painter.fillRect(layout.TextRect, highlight);
    painter.setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter.setFont(font());
    painter.setClipRect(layout.TextRect);
    const QRect textArea = layout.TextRect.adjusted(1, 1, 0, 0);
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, item->Caption());
    painter.setClipping(false);
  }
}

QSize TPTCustomImageCombo::sizeHint() const {
  QSize s = QComboBox::sizeHint();
  return QSize(s.width(), std::max(s.height(), ItemHeight() + 6));
}

QSize TPTCustomImageCombo::minimumSizeHint() const {
  QSize s = QComboBox::minimumSizeHint();
  return QSize(s.width(), std::max(s.height(), ItemHeight() + 6));
}

void TPTCustomImageCombo::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionComboBox opt;
  initStyleOption(&opt);
  opt.currentText.clear();
  opt.currentIcon = QIcon();
  painter.drawComplexControl(QStyle::CC_ComboBox, opt);
  const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
  painter.save();
  painter.setClipRect(field);
  DrawItem(painter, currentIndex(), field, hasFocus() && currentIndex() >= 0, true);
  painter.restore();
}

void TPTCustomImageCombo::changeEvent(QEvent* e) {
  TPTCustomCombobox::changeEvent(e);
  if (e->type() == QEvent::FontChange && !InFontChange) {
    InFontChange = true;
    UpdateItemHeight();
    InFontChange = false;
  }
}

}  // namespace ptshell
