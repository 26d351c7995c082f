#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QTest>
#include <QTreeView>
#include <QListView>
#include <memory>
#include <set>
#include <string>

#include "controls/shell/widgets/ptcustomdraw.h"
#include "controls/shell/widgets/ptcustomlistview.h"
#include "controls/shell/widgets/ptcustomtreeview.h"
#include "controls/shell/widgets/ptimagecombo.h"

using namespace ptshell;

namespace {

QPixmap Solid(QColor c, int size = 16) {
  QPixmap pm(size, size);
  pm.fill(c);
  return pm;
}

// Records the menus the controls pop up instead of showing them.
struct MenuRecorder {
  struct Shown {
    QWidget* owner;
    QMenu* menu;
    QPoint at;
  };
  std::vector<Shown> shown;
  std::function<void(QWidget*, QMenu*, const QPoint&)> oldTree, oldList;
  MenuRecorder() {
    oldTree = TPTCustomTreeView::MenuPopper;
    oldList = TPTCustomListView::MenuPopper;
    auto rec = [this](QWidget* o, QMenu* m, const QPoint& p) { shown.push_back({o, m, p}); };
    TPTCustomTreeView::MenuPopper = rec;
    TPTCustomListView::MenuPopper = rec;
  }
  ~MenuRecorder() {
    TPTCustomTreeView::MenuPopper = oldTree;
    TPTCustomListView::MenuPopper = oldList;
  }
};

TEST(ImageComboLayout, PlacesImageAndCaptionByIndent) {
  struct Case {
    int indent;
    bool images;
    QPoint image;
    int textLeft, textRight;
  } cases[] = {
      // rect (10, 0) 200 x 20, 12 pixels per level, 16 x 16 images, caption 30 wide
      {0, true, {12, 2}, 31, 64},
      {2, true, {36, 2}, 55, 88},
      {0, false, {12, 10}, 15, 48},  // no images: the caption starts 5 pixels after the indent
      {3, false, {48, 10}, 51, 84},
  };
  for (const Case& c : cases) {
    const TPTImageComboLayout l = ImageComboItemLayout(QRect(10, 0, 200, 20), c.indent, 12, c.images,
                                                       c.images ? 16 : 0, c.images ? 16 : 0, 30);
    if (c.images) {
      EXPECT_EQ(l.ImagePos, c.image) << c.indent;
    }
    EXPECT_EQ(l.TextRect.left(), c.textLeft) << c.indent << c.images;
    EXPECT_EQ(l.TextRect.right() + 1, c.textRight) << c.indent << c.images;
    EXPECT_EQ(l.TextRect.top(), 0);
    EXPECT_EQ(l.TextRect.bottom() + 1, 20);
  }
}

TEST(ImageCombo, OwnsItemsAndDeletesEachOnce) {
  std::vector<QString> deleted;
  {
    TPTCustomImageCombo combo;
    combo.OnDeleteItem = [&](TPTCustomImageCombo*, TPTImageComboItem* item) { deleted.push_back(item->Caption()); };
    for (const char* name : {"a", "b", "c", "d"}) combo.AddItem(name, 0, 0);
    EXPECT_EQ(combo.Items(2)->Index, 2);
    combo.removeItem(1);
    ASSERT_EQ(deleted, std::vector<QString>{"b"});
    EXPECT_EQ(combo.Items(1)->Caption(), "c");
    EXPECT_EQ(combo.Items(1)->Index, 1);
    combo.ClearItems();
    EXPECT_EQ(deleted.size(), 4u);
    combo.AddItem("e", 0, 0);
  }
  // Destroying the combo deletes what was left.
  EXPECT_EQ(deleted.back(), "e");
  EXPECT_EQ(deleted.size(), 5u);
}

TEST(ImageCombo, ItemHeightFollowsFontAndImages) {
  TPTCustomImageCombo combo;
  const int fontHeight = QFontMetrics(combo.font()).height() + 2;
  EXPECT_EQ(combo.ItemHeight(), fontHeight);
  TPTPixmapImageList tall(16, fontHeight + 10);
  combo.SetImages(&tall);
  EXPECT_EQ(combo.ItemHeight(), fontHeight + 10);
  const int applied = combo.ItemHeightApplications();
  combo.SetItemHeight(combo.ItemHeight());
  EXPECT_EQ(combo.ItemHeightApplications(), applied);
  QFont big = combo.font();
  big.setPointSize(big.pointSize() * 4);
  combo.setFont(big);
  EXPECT_EQ(combo.ItemHeight(), std::max(QFontMetrics(big).height() + 2, fontHeight + 10));
}

TEST(ImageCombo, DrawsOverlayOnlyWhenSetAndNoIndentInEditField) {
  TPTPixmapImageList images(16, 16);
  images.Add(Solid(Qt::red));
  QPixmap overlay(16, 16);
  overlay.fill(Qt::transparent);
  {
    QPainter p(&overlay);
    p.fillRect(0, 8, 8, 8, Qt::blue);
  }
  images.AddOverlay(overlay);
  TPTCustomImageCombo combo;
  combo.SetImages(&images);
  TPTImageComboItem* item = combo.AddItem("x", 0, 2);
  auto render = [&](bool editField) {
    QImage img(200, 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    combo.DrawItem(p, 0, QRect(0, 0, 200, 20), false, editField);
    return img;
  };
  // Indent 2 x 12: the image starts at 26; its lower left quarter is where the overlay goes.
  QImage plain = render(false);
  EXPECT_EQ(QColor(plain.pixel(26 + 2, 2 + 12)), QColor(Qt::red));
  item->SetOverlayIndex(0);
  QImage withOverlay = render(false);
  EXPECT_EQ(QColor(withOverlay.pixel(26 + 2, 2 + 12)), QColor(Qt::blue));
  EXPECT_EQ(QColor(withOverlay.pixel(26 + 12, 2 + 2)), QColor(Qt::red));
  QImage edit = render(true);
  EXPECT_EQ(QColor(edit.pixel(2 + 12, 2 + 2)), QColor(Qt::red));
  EXPECT_EQ(QColor(edit.pixel(26 + 15, 2 + 2)), QColor(Qt::white));
}

TEST(CustomDraw, ApplyAnswersByStage) {
  TPTCustomDrawInfo info;
  uint32_t result = 99;
  QFont control("Sans", 10);
  {
    info.Stage = dsPrePaint;
    TPTTvCustomDraw tv(&info, control, &result);
    tv.Apply();
    EXPECT_EQ(result, CDRF_NOTIFYITEMDRAW);
    TPTLvCustomDraw lv(&info, control, &result);
    lv.Apply();
    EXPECT_EQ(result, 0u);
  }
  info.Stage = dsItemPrePaint;
  info.CurrentFont = control;
  info.TextColor = Qt::black;
  {
    TPTLvCustomDraw d(&info, control, &result);
    d.Apply();
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(info.TextColor, QColor(Qt::black));
  }
  {
    TPTLvCustomDraw d(&info, control, &result);
    QFont bold = control;
    bold.setBold(true);
    d.SetFont(bold);
    d.SetFontColor(Qt::red);
    d.SetBrushColor(Qt::yellow);
    d.Apply();
    EXPECT_EQ(result, CDRF_NEWFONT);
    EXPECT_TRUE(info.CurrentFont.bold());
    EXPECT_EQ(info.TextColor, QColor(Qt::red));
    EXPECT_EQ(info.TextBkColor, QColor(Qt::yellow));
  }
  {
    // A colour alone needs no new font.
    TPTLvCustomDraw d(&info, info.CurrentFont, &result);
    d.SetFontColor(Qt::green);
    d.Apply();
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(info.TextColor, QColor(Qt::green));
  }
  {
    TPTLvCustomDraw d(&info, control, &result);
    d.SetFontColor(Qt::blue);
    d.SkipDefault = true;
    d.Apply();
    EXPECT_EQ(result, CDRF_SKIPDEFAULT);
    EXPECT_EQ(info.TextColor, QColor(Qt::green));
  }
}

TEST(CustomDraw, EventsRunInOrderSharingOneWrapper) {
  struct Case {
    int stage;
    bool everyStage, itemPrePaint;
    const char* calls;  // e: every-stage event with the item, E: without it, i: item pre-paint event
    int wrappers;
  };
  const Case cases[] = {
      {dsPrePaint, true, true, "E", 1},        {dsItemPrePaint, true, true, "ei", 1},
      {dsItemPostPaint, true, true, "e", 1},   {dsItemPrePaint, false, true, "i", 1},
      {dsItemPostPaint, false, true, "", 0},   {dsPostPaint, false, false, "", 0},
  };
  const QFont control("Sans", 10);
  int item = 0;
  for (const Case& c : cases) {
    TPTCustomDrawInfo info;
    info.Stage = c.stage;
    info.TextColor = Qt::black;
    uint32_t result = 0;
    std::string calls;
    int wrappers = 0;
    std::unique_ptr<TPTLvCustomDraw> draw(RunCustomDrawEvents<TPTLvCustomDraw>(
        info, &item, c.everyStage, c.itemPrePaint,
        [&] {
          ++wrappers;
          return new TPTLvCustomDraw(&info, control, &result);
        },
        [&](TPTLvCustomDraw* d, int* it) {
          calls += it == &item ? "e" : "E";
          d->SetFontColor(Qt::red);
        },
        [&](TPTLvCustomDraw* d, int* it) {
          calls += it == &item ? "i" : "?";
          EXPECT_EQ(d->Font().Color, QColor(c.everyStage ? Qt::red : Qt::black)) << "one wrapper for both";
        }));
    EXPECT_EQ(calls, c.calls) << c.stage;
    EXPECT_EQ(wrappers, c.wrappers) << c.stage;
    EXPECT_EQ(draw != nullptr, c.wrappers != 0) << c.stage;
    const bool applied = c.everyStage && c.stage == dsItemPrePaint;
    EXPECT_EQ(info.TextColor, QColor(applied ? Qt::red : Qt::black)) << c.stage;
  }
}

TEST(HeaderSortLayout, PlacesTheArrowByMode) {
  // A header item at (100, 0), 120 x 20: the text area runs from 106 to 214 (exclusive).
  const QRect item(100, 0, 120, 20);
  struct Case {
    TPTLvHeaderSortDisplayMode mode;
    Qt::Alignment align;
    bool sort;
    bool arrow;
    int boxLeft;      // -1: not checked
    int textLeft, textRight;
  } cases[] = {
      {ptlvNone, Qt::AlignLeft, true, false, -1, 106, 214},
      {ptlvLeftAlign, Qt::AlignLeft, true, true, 106, 121, 214},
      {ptlvLeftAlign, Qt::AlignLeft, false, false, -1, 106, 214},
      {ptlvRightOfText, Qt::AlignLeft, true, true, 106 + 40 + 5, 106, 214},
      {ptlvRightOfText, Qt::AlignLeft, false, false, -1, 106, 214},
      {ptlvRightOfText, Qt::AlignRight, true, true, 214 - 5 - 10, 106, 214 - 5 - 10 - 4},
      {ptlvRightAlign, Qt::AlignLeft, true, true, 199, 106, 195},
      {ptlvRightAlign, Qt::AlignLeft, false, false, -1, 106, 214},
  };
  for (const Case& c : cases) {
    const TPTHeaderSortLayout l = HeaderSortLayout(c.mode, item, c.align, c.sort, 40);
    EXPECT_EQ(l.DrawArrow, c.arrow) << c.mode << " " << c.sort;
    if (c.boxLeft >= 0) {
      EXPECT_EQ(l.ArrowBox.left(), c.boxLeft) << c.mode;
      // s = (2 + 18) / 2 = 10; top = (20 - 9) / 2 - 1 = 4; bottom = top + s - 1 (exclusive)
      EXPECT_EQ(l.ArrowBox.width(), 10);
      EXPECT_EQ(l.ArrowBox.top(), 4);
      EXPECT_EQ(l.ArrowBox.bottom() + 1, 13);
    }
    EXPECT_EQ(l.TextRect.left(), c.textLeft) << c.mode;
    EXPECT_EQ(l.TextRect.right() + 1, c.textRight) << c.mode;
  }
  // A column not wider than twice the arrow box shows none.
  EXPECT_FALSE(HeaderSortLayout(ptlvRightAlign, QRect(0, 0, 20, 20), Qt::AlignLeft, true, 5).DrawArrow);
  EXPECT_TRUE(HeaderSortLayout(ptlvRightAlign, QRect(0, 0, 21, 20), Qt::AlignLeft, true, 5).DrawArrow);
}

TEST(ColumnWidth, ClampsToLimitsAtTheEndOfATrack) {
  const struct {
    int width, min, max, expected;
  } cases[] = {{50, 0, 0, 50}, {10, 30, 0, 30}, {30, 30, 0, 30}, {500, 30, 200, 200},
               {200, 30, 200, 200}, {150, 30, 200, 150}, {0, 0, 0, 0}};
  for (const auto& c : cases) EXPECT_EQ(ClampColumnWidth(c.width, c.min, c.max), c.expected) << c.width;
}

TEST(TreeViewBase, ContextMenuFromKeysAndRightClickShowsOnce) {
  MenuRecorder rec;
  TPTCustomTreeView tree;
  tree.resize(200, 200);
  QMenu own;
  tree.PopupMenu = &own;
  auto* a = new TPTTreeNode;
  a->SetText("a");
  auto* b = new TPTTreeNode;
  b->SetText("b");
  tree.addTopLevelItem(a);
  tree.addTopLevelItem(b);
  tree.show();
  // Without a selection the menu shows at the client origin.
  tree.SetSelected(nullptr);
  QTest::keyClick(&tree, Qt::Key_Menu);
  ASSERT_EQ(rec.shown.size(), 1u);
  EXPECT_EQ(rec.shown[0].at, tree.viewport()->mapToGlobal(QPoint(0, 0)));
  tree.SetSelected(b);
  QTest::keyClick(&tree, Qt::Key_F10, Qt::ShiftModifier);
  ASSERT_EQ(rec.shown.size(), 2u);
  EXPECT_EQ(rec.shown[1].at, tree.viewport()->mapToGlobal(tree.NodeTextRect(b).center()));
  // Plain F10 is no menu key.
  QTest::keyClick(&tree, Qt::Key_F10);
  EXPECT_EQ(rec.shown.size(), 2u);

  // A handler may replace the menu for a node.
  QMenu special;
  TPTTreeNode* asked = nullptr;
  tree.OnNodeContextMenu = [&](TPTCustomTreeView*, TPTTreeNode* node, const QPoint&, QMenu*& menu) {
    asked = node;
    if (node == a) menu = &special;
  };
  const QPoint onA = tree.visualItemRect(a).center();
  QContextMenuEvent click(QContextMenuEvent::Mouse, onA, tree.viewport()->mapToGlobal(onA));
  QApplication::sendEvent(tree.viewport(), &click);
  ASSERT_EQ(rec.shown.size(), 3u);
  EXPECT_EQ(asked, a);
  EXPECT_EQ(rec.shown[2].menu, &special);
  EXPECT_TRUE(tree.MenuShown);
  QTest::mouseRelease(tree.viewport(), Qt::RightButton, {}, onA);
  EXPECT_EQ(rec.shown.size(), 3u);
  EXPECT_FALSE(tree.MenuShown);
}

TEST(TreeViewBase, AsksImagesOnlyForNodesDrawn) {
  TPTPixmapImageList images(16, 16);
  images.Add(Solid(Qt::red));
  TPTCustomTreeView tree;
  tree.Images = &images;
  tree.resize(200, 60);
  std::set<QString> asked;
  tree.OnGetImageIndex = [&](TPTCustomTreeView*, TPTTreeNode* node) { asked.insert(node->Text()); };
  for (int i = 0; i < 200; ++i) {
    auto* n = new TPTTreeNode;
    n->SetText(QString::number(i));
    tree.addTopLevelItem(n);
  }
  tree.grab();
  EXPECT_TRUE(asked.count("0"));
  EXPECT_FALSE(asked.count("199"));
  EXPECT_LT(asked.size(), 20u);
}

TEST(ListViewBase, ViewStylesShareItemsSelectionAndSortKeepsIt) {
  TPTCustomListView list;
  list.resize(300, 200);
  list.SetColumns({{"Name", 100}, {"Size", 60, Qt::AlignRight}});
  std::vector<std::unique_ptr<TPTListItem>> items;
  for (const char* name : {"delta", "alpha", "charlie", "bravo"}) {
    auto it = std::make_unique<TPTListItem>();
    it->Caption = name;
    it->SubItems = {QString::number(std::strlen(name))};
    items.push_back(std::move(it));
  }
  list.AddItems(std::move(items));
  TPTListItem* charlie = list.Item(2);
  list.SetSelected(charlie, true);
  list.SetItemFocused(charlie);
  for (TViewStyle s : {vsSmallIcon, vsList, vsReport, vsIcon}) {
    list.SetViewStyle(s);
    EXPECT_EQ(list.ActiveView()->model(), list.ItemModel());
    EXPECT_EQ(list.Selected(), charlie) << s;
  }
  list.SortItems([](const TPTListItem* a, const TPTListItem* b) { return a->Caption < b->Caption; });
  EXPECT_EQ(list.Item(0)->Caption, "alpha");
  EXPECT_EQ(charlie->Index, 2);
  EXPECT_EQ(list.Selected(), charlie);
  EXPECT_EQ(list.ItemFocused(), charlie);
  EXPECT_EQ(list.SelCount(), 1);
  // Deleting around the selection keeps it too.
  std::vector<QString> gone;
  list.OnDeletion = [&](TPTCustomListView*, TPTListItem* item) { gone.push_back(item->Caption); };
  list.DeleteItems({list.Item(0), list.Item(3)});
  EXPECT_EQ(gone.size(), 2u);
  EXPECT_EQ(list.ItemCount(), 2);
  EXPECT_EQ(list.Selected(), charlie);
  EXPECT_EQ(charlie->Index, 1);
  list.OnDeletion = nullptr;
}

TEST(ListViewBase, MenuKeyShowsMenuAtFocusedSelectedItem) {
  MenuRecorder rec;
  TPTCustomListView list;
  list.resize(300, 200);
  list.SetViewStyle(vsReport);
  list.SetColumns({{"Name", 100}});
  QMenu own;
  list.PopupMenu = &own;
  TPTListItem* a = list.AddItem();
  a->Caption = "a";
  TPTListItem* b = list.AddItem();
  b->Caption = "b";
  list.show();
  TPTListItem* menuItem = nullptr;
  list.OnItemContextMenu = [&](TPTCustomListView*, TPTListItem* item, const QPoint&, QMenu*&) { menuItem = item; };
  list.SetSelected(b, true);
  list.SetItemFocused(b);
  QTest::keyClick(list.ActiveView(), Qt::Key_Menu);
  ASSERT_EQ(rec.shown.size(), 1u);
  EXPECT_EQ(menuItem, b);
  EXPECT_EQ(rec.shown[0].at, list.mapToGlobal(list.ItemIconRect(b).center()));
  // Focused but not selected: the first selected item's place.
  list.SetSelected(a, true);
  list.SetSelected(b, false);
  QTest::keyClick(list.ActiveView(), Qt::Key_F10, Qt::ShiftModifier);
  ASSERT_EQ(rec.shown.size(), 2u);
  EXPECT_EQ(rec.shown[1].at, list.mapToGlobal(list.ItemIconRect(a).center()));
}

}  // namespace
