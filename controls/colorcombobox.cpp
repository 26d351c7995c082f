#include "controls/colorcombobox.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QStylePainter>

#include <algorithm>
#include <vector>

namespace movinta::controls {

QColor QColorFromTColor(int color) {
  const auto c = static_cast<unsigned>(color);
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

int TColorFromQColor(const QColor& color) { return color.red() | color.green() << 8 | color.blue() << 16; }

}  // namespace movinta::controls

namespace {

constexpr int kColorRole = Qt::UserRole;

class ColorItemDelegate : public QStyledItemDelegate {
public:
  ColorItemDelegate(TColorComboBox* combo) : QStyledItemDelegate(combo), combo_(combo) {}
  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    TColorComboBox::DrawItem(*p, option.rect, index.data(Qt::DisplayRole).toString(),
                             index.data(kColorRole).toInt(), combo_->ColorWidth(),
                             option.state & QStyle::State_Selected, option.palette);
  }

private:
  TColorComboBox* combo_;
};

}  // namespace

TColorComboBox::TColorComboBox(QWidget* parent) : QComboBox(parent) {
  setItemDelegate(new ColorItemDelegate(this));
  setMaxVisibleItems(8);
}

int TColorComboBox::ItemColor(int index) const { return itemData(index, kColorRole).toInt(); }

bool TColorComboBox::Greater(int index, const QString& name, int color) const {
  if (sortBy_ == ccsColor) return ItemColor(index) > color;
  return itemText(index).toLower().compare(name.toLower()) > 0;
}

void TColorComboBox::AddColor(const QString& name, int color) {
  int at = count();
  if (sortBy_ != ccsUnsorted)
    for (int i = 0; i < count(); ++i)
      if (Greater(i, name, color)) {
        at = i;
        break;
      }
  insertItem(at, name, color);
}

void TColorComboBox::AddStandardColors(int defaultColor) {
  static const struct {
    const char* name;
    int color;
  } kStandard[] = {{"Aqua", 0xFFFF00},   {"Black", 0x000000}, {"Blue", 0xFF0000},   {"Fuchsia", 0xFF00FF},
                   {"Gray", 0x808080},   {"Green", 0x008000}, {"Lime", 0x00FF00},   {"Maroon", 0x000080},
                   {"Navy", 0x800000},   {"Olive", 0x008080}, {"Purple", 0x800080}, {"Red", 0x0000FF},
                   {"Silver", 0xC0C0C0}, {"Teal", 0x808000},  {"White", 0xFFFFFF},  {"Yellow", 0x00FFFF}};
  AddColor(QStringLiteral("Default"), defaultColor);
  for (const auto& c : kStandard) AddColor(QString::fromLatin1(c.name), c.color);
}

int TColorComboBox::GetSelectedColor() const { return currentIndex() < 0 ? -1 : ItemColor(currentIndex()); }

void TColorComboBox::SelectColor(int color) {
  for (int i = 0; i < count(); ++i)
    if (ItemColor(i) == color) {
      setCurrentIndex(i);
      return;
    }
}

void TColorComboBox::SetColorWidth(int width) {
  if (width == colorWidth_ || width < 5) return;
  colorWidth_ = width;
  update();
  view()->viewport()->update();
}

void TColorComboBox::SetSortBy(TSortBy sortBy) {
  sortBy_ = sortBy;
  if (sortBy == ccsUnsorted) return;
  const int selected = GetSelectedColor();
  struct Item {
    QString name;
    int color;
  };
  std::vector<Item> items;
  for (int i = 0; i < count(); ++i) items.push_back({itemText(i), ItemColor(i)});
  // A stable sort gives the order the neighbour-exchanging sort gives.
  std::stable_sort(items.begin(), items.end(), [sortBy](const Item& a, const Item& b) {
    return sortBy == ccsColor ? a.color < b.color : a.name.toLower().compare(b.name.toLower()) < 0;
  });
  const QSignalBlocker block(this);
  clear();
  for (const Item& it : items) addItem(it.name, it.color);
  setCurrentIndex(-1);
  SelectColor(selected);
}

void TColorComboBox::DrawItem(QPainter& p, const QRect& r, const QString& name, int color, int colorWidth,
                              bool selected, const QPalette& pal) {
  p.save();
  p.fillRect(r, pal.color(selected ? QPalette::Highlight : QPalette::Base));
  const QColor pen = pal.color(selected ? QPalette::HighlightedText : QPalette::Text);
  // Swatch from (left + 1, top + 1) up to, not including, (left + width - 1, bottom).
  const QRect swatch(r.left() + 1, r.top() + 1, colorWidth - 2, r.height() - 2);
  p.fillRect(swatch, movinta::controls::QColorFromTColor(color));
  p.setPen(pen);
  p.drawRect(swatch.adjusted(0, 0, -1, -1));
  const QRect text(r.left() + colorWidth + 4, r.top() + 1, r.width() - colorWidth - 4, r.height() - 2);
  p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, name);
  p.restore();
}

void TColorComboBox::paintEvent(QPaintEvent*) {
  QStylePainter p(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  option.currentText.clear();
  option.currentIcon = QIcon();
  p.drawComplexControl(QStyle::CC_ComboBox, option);
  if (currentIndex() < 0) return;
  const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  DrawItem(p, field, currentText(), ItemColor(currentIndex()), colorWidth_, false, palette());
}
