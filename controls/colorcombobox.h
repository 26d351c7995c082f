// An owner-drawn colour picker: each item is a name with a colour swatch. Colours are the
// editor's 32-bit values with red in the low byte (0x00BBGGRR).
#pragma once

#include <QComboBox>
#include <QPalette>

class QPainter;

enum TSortBy { ccsUnsorted, ccsColor, ccsText };

namespace movinta::controls {
QColor QColorFromTColor(int color);
int TColorFromQColor(const QColor& color);
}  // namespace movinta::controls

class TColorComboBox : public QComboBox {
  Q_OBJECT
public:
  explicit TColorComboBox(QWidget* parent = nullptr);

  void AddColor(const QString& name, int color);
  // "Default" with defaultColor, then the sixteen standard colours by name.
  void AddStandardColors(int defaultColor);
  // The selected item's colour, -1 when nothing is selected.
  int GetSelectedColor() const;
  // Selects the first item of exactly that colour; no match leaves the selection alone.
  void SelectColor(int color);
  int ItemColor(int index) const;

  int ColorWidth() const { return colorWidth_; }
  void SetColorWidth(int width);  // widths below 5 are ignored
  TSortBy SortBy() const { return sortBy_; }
  void SetSortBy(TSortBy sortBy);
  QString Version() const { return QStringLiteral("1.00.00"); }
  void SetVersion(const QString&) {}

  // Draws one item: the background (selection colour when selected), the swatch and the name.
  static void DrawItem(QPainter& painter, const QRect& rect, const QString& name, int color, int colorWidth,
                       bool selected, const QPalette& palette);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  bool Greater(int index, const QString& name, int color) const;
  int colorWidth_ = 18;
  TSortBy sortBy_ = ccsUnsorted;
};
