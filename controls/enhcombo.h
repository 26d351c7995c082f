// A combo box whose drop-down list may be wider than the box: fixed, or fitted to the widest item.
#pragma once

#include <QComboBox>
#include <QList>

namespace movinta::controls {
// The drop-down width: fixedWidth when 1 or more, else the widest item + 8.
int EnhComboDropDownWidth(int fixedWidth, const QList<int>& itemWidths);
}  // namespace movinta::controls

class TEnhCombo : public QComboBox {
  Q_OBJECT
public:
  explicit TEnhCombo(QWidget* parent = nullptr);
  int DropDownFixedWidth() const { return dropDownFixedWidth_; }
  void SetDropDownFixedWidth(int width) { dropDownFixedWidth_ = width; }
  // The width the list got at the last drop-down.
  int DroppedWidth() const { return droppedWidth_; }
  void showPopup() override;

signals:
  void OnDropDown();

private:
  int dropDownFixedWidth_ = 0;
  int droppedWidth_ = 0;
};
