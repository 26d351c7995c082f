#include "controls/colorcombobox.h"
#include "controls/enhcombo.h"
#include "controls/gradient.h"
#include "controls/listboxhrz.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QScrollBar>

namespace mc = movinta::controls;

namespace {

TEST(EnhCombo, DropDownWidthIsFixedOrFitsTheWidestItem) {
  const struct {
    int fixed;
    QList<int> widths;
    int expected;
  } cases[] = {{0, {100, 105}, 113}, {300, {100, 105}, 300}, {1, {500}, 1}, {-4, {10}, 18}, {0, {}, 8}};
  for (const auto& c : cases) EXPECT_EQ(mc::EnhComboDropDownWidth(c.fixed, c.widths), c.expected) << c.fixed;
}

TEST(EnhCombo, DroppedListTakesTheWidth) {
  QWidget form;
  auto* combo = new TEnhCombo(&form);
  combo->addItems({"short", "a considerably longer item text"});
  combo->resize(60, combo->sizeHint().height());
  form.show();
  int dropDowns = 0;
  QObject::connect(combo, &TEnhCombo::OnDropDown, [&] { ++dropDowns; });

  combo->showPopup();
  const QFontMetrics fm(form.font());
  EXPECT_EQ(combo->DroppedWidth(), fm.horizontalAdvance("a considerably longer item text") + 8);
  EXPECT_GE(combo->view()->window()->width(), combo->DroppedWidth());
  combo->hidePopup();

  combo->SetDropDownFixedWidth(300);
  combo->showPopup();
  EXPECT_EQ(combo->DroppedWidth(), 300);
  EXPECT_EQ(combo->view()->window()->width(), 300);
  combo->hidePopup();
  EXPECT_EQ(dropDowns, 2);
}

TEST(Gradient, MulDivRoundsHalvesAwayFromZeroAndFailsOnZero) {
  const struct {
    int a, b, c, expected;
  } cases[] = {{5, 3, 2, 8}, {-5, 3, 2, -8}, {10, 1, 4, 3}, {1, 1, 0, -1}, {7, 255, 7, 255}, {1, 255, 2, 128}};
  for (const auto& c : cases) EXPECT_EQ(mc::MulDiv(c.a, c.b, c.c), c.expected) << c.a << "*" << c.b << "/" << c.c;
}

TEST(Gradient, BandColoursBlendFromTopToBottom) {
  const QColor black(0, 0, 0), white(255, 255, 255), red(200, 10, 0);
  EXPECT_EQ(mc::GradientBandColors(red, white, 1), QList<QColor>{red});
  EXPECT_EQ(mc::GradientBandColors(red, white, 2), (QList<QColor>{red, white}));
  EXPECT_EQ(mc::GradientBandColors(black, white, 3),
            (QList<QColor>{black, QColor(128, 128, 128), white}));
  EXPECT_EQ(mc::GradientBandColors(black, white, 64).size(), 64);
}

TEST(Gradient, PaintsBandsAlongTheOrientation) {
  const QColor top(255, 0, 0), bottom(0, 0, 255);
  const struct {
    int bands;
    TGradientOrientation orientation;
    QPoint early, late;
    QColor earlyColor, lateColor;
  } cases[] = {
      {2, goHorizontal, {49, 20}, {50, 20}, top, bottom},
      {2, goVertical, {50, 19}, {50, 20}, top, bottom},
      {1, goHorizontal, {0, 0}, {99, 39}, top, top},
      {4, goHorizontal, {24, 20}, {75, 20}, top, bottom},
  };
  for (const auto& c : cases) {
    TGradient gradient;
    gradient.SetColorTop(top);
    gradient.SetColorBottom(bottom);
    gradient.SetNumColors(c.bands);
    gradient.SetOrientation(c.orientation);
    ASSERT_EQ(gradient.size(), QSize(100, 40));
    const QImage image = gradient.grab().toImage();
    EXPECT_EQ(image.pixelColor(c.early), c.earlyColor) << c.bands;
    EXPECT_EQ(image.pixelColor(c.late), c.lateColor) << c.bands;
  }
}

TEST(GradientLabel, FitsItsHeightAndDrawsTheImageAtTheLeft) {
  TImageList images;
  QPixmap green(16, 16);
  green.fill(QColor(0, 255, 0));
  images.Add(green);
  TGradientLabel label;
  EXPECT_EQ(label.height(), label.fontMetrics().height() + 8);
  label.resize(200, 30);
  label.SetColorTop(Qt::white);
  label.SetColorBottom(Qt::white);
  label.SetImageList(&images);
  label.SetImageIndex(0);
  label.SetCaption("Section");
  const QImage image = label.grab().toImage();
  EXPECT_EQ(image.pixelColor(2, 7), QColor(0, 255, 0));  // (30 - 16) / 2 = 7
  EXPECT_EQ(image.pixelColor(17, 22), QColor(0, 255, 0));
  EXPECT_EQ(image.pixelColor(1, 15), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(18, 15), QColor(Qt::white));
  label.SetImageIndex(-1);
  EXPECT_EQ(label.grab().toImage().pixelColor(5, 15), QColor(Qt::white));
}

QStringList Names(const TColorComboBox& combo) {
  QStringList out;
  for (int i = 0; i < combo.count(); ++i) out << combo.itemText(i);
  return out;
}

TEST(ColorComboBox, SortsByTextOrColourAsItemsComeAndOnRequest) {
  TColorComboBox byText;
  byText.SetSortBy(ccsText);
  byText.AddStandardColors(0x123456);
  EXPECT_EQ(Names(byText).mid(0, 5), (QStringList{"Aqua", "Black", "Blue", "Default", "Fuchsia"}));
  EXPECT_EQ(byText.count(), 17);

  TColorComboBox combo;
  combo.AddStandardColors(0x123456);
  EXPECT_EQ(Names(combo).mid(0, 3), (QStringList{"Default", "Aqua", "Black"}));
  combo.SelectColor(0x0000FF);
  ASSERT_EQ(combo.currentText(), "Red");
  combo.SetSortBy(ccsColor);
  EXPECT_EQ(Names(combo).mid(0, 4), (QStringList{"Black", "Maroon", "Red", "Green"}));
  EXPECT_EQ(combo.currentText(), "Red");  // the selection follows its colour
  for (int i = 1; i < combo.count(); ++i) EXPECT_LE(combo.ItemColor(i - 1), combo.ItemColor(i));
  combo.AddColor("Dim", 0x000010);
  EXPECT_EQ(combo.itemText(1), "Dim");
}

TEST(ColorComboBox, SelectsByColourAndReportsNoneAsMinusOne) {
  TColorComboBox combo;
  EXPECT_EQ(combo.GetSelectedColor(), -1);
  combo.AddStandardColors(0x00FFFF);  // "Default" shares its colour with "Yellow"
  combo.SelectColor(0x00FFFF);
  EXPECT_EQ(combo.currentText(), "Default");
  combo.SelectColor(0x010203);
  EXPECT_EQ(combo.currentText(), "Default");
  combo.SelectColor(0x800000);
  EXPECT_EQ(combo.GetSelectedColor(), 0x800000);
  EXPECT_EQ(combo.currentText(), "Navy");
  combo.setCurrentIndex(-1);
  EXPECT_EQ(combo.GetSelectedColor(), -1);

  combo.SetColorWidth(4);
  EXPECT_EQ(combo.ColorWidth(), 18);
  combo.SetColorWidth(5);
  EXPECT_EQ(combo.ColorWidth(), 5);
  EXPECT_EQ(combo.Version(), "1.00.00");
}

TEST(ColorComboBox, DrawsASwatchLeftOfTheName) {
  QImage image(120, 16, QImage::Format_RGB32);
  image.fill(Qt::black);
  QPalette pal;
  pal.setColor(QPalette::Base, Qt::white);
  pal.setColor(QPalette::Text, Qt::black);
  {
    QPainter p(&image);
    TColorComboBox::DrawItem(p, image.rect(), QString(), 0x0000FF, 18, false, pal);
  }
  EXPECT_EQ(image.pixelColor(0, 8), QColor(Qt::white));   // the margin left of the swatch
  EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::black));   // the swatch outline
  EXPECT_EQ(image.pixelColor(8, 8), QColor(255, 0, 0));   // filled with the item's colour
  EXPECT_EQ(image.pixelColor(16, 14), QColor(Qt::black));
  EXPECT_EQ(image.pixelColor(17, 8), QColor(Qt::white));  // swatch ends before left + width - 1
}

TEST(ListBoxHrz, ExtentFollowsTheWidestItem) {
  TListBoxHrz list;
  const QFontMetrics fm(list.font());
  auto w = [&](const char* s) { return fm.horizontalAdvance(s) + 26; };
  list.addItem("abc");
  EXPECT_EQ(list.CurrentWidth(), w("abc"));
  list.addItem("a");
  EXPECT_EQ(list.CurrentWidth(), w("abc"));
  list.insertItem(0, "a much longer line of text");
  EXPECT_EQ(list.CurrentWidth(), w("a much longer line of text"));
  delete list.takeItem(0);
  EXPECT_EQ(list.CurrentWidth(), w("abc"));
  list.clear();
  EXPECT_EQ(list.CurrentWidth(), 0);

  list.SetTabWidth(8);
  list.addItem("abc");
  EXPECT_EQ(list.CurrentWidth(), w("abc") + 8);
  delete list.takeItem(0);
  EXPECT_EQ(list.CurrentWidth(), 8);  // the tab width stays after the last item goes
}

TEST(ListBoxHrz, ScrollsOverTheExtent) {
  TListBoxHrz list;
  list.resize(100, 80);
  list.show();
  list.addItem(QString(80, 'W'));
  QApplication::processEvents();
  EXPECT_EQ(list.horizontalScrollBar()->maximum(), list.CurrentWidth() - list.viewport()->width());
}

}  // namespace
