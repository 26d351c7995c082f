#include "controls/enhcombo.h"

#include <QAbstractItemView>
#include <QFontMetrics>

#include <algorithm>

namespace movinta::controls {

int EnhComboDropDownWidth(int fixedWidth, const QList<int>& itemWidths) {
  if (fixedWidth >= 1) return fixedWidth;
  int widest = 0;
  for (int w : itemWidths) widest = std::max(widest, w);
  return widest + 8;
}

}  // namespace movinta::controls

TEnhCombo::TEnhCombo(QWidget* parent) : QComboBox(parent) {}

void TEnhCombo::showPopup() {
  emit OnDropDown();
  QComboBox::showPopup();
  // Items are measured in the owning window's font, as the list shows them.
  const QFontMetrics fm(window()->font());
  QList<int> widths;
  for (int i = 0; i < count(); ++i) widths.append(fm.horizontalAdvance(itemText(i)));
  droppedWidth_ = movinta::controls::EnhComboDropDownWidth(dropDownFixedWidth_, widths);
  // Like the native list, never narrower than the box itself.
  QWidget* popup = view()->window();
  popup->resize(std::max(droppedWidth_, width()), popup->height());
}
