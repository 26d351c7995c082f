#include "editor/main_toolbars.h"

#include "editor/forms/guarded.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace movinta::editor {

TMainToolbars::TMainToolbars(QMainWindow& window, QMenu& menu) : window_(window) {
  standard_ = window.addToolBar(QStringLiteral("Standard Toolbar"));
  standard_->setObjectName(QStringLiteral("tbStandard"));
  animation_ = window.addToolBar(QStringLiteral("Animation Toolbar"));
  animation_->setObjectName(QStringLiteral("tbAnimation"));
  frame_ = window.addToolBar(QStringLiteral("Frame Toolbar"));
  frame_->setObjectName(QStringLiteral("tbFrame"));
  // The items' tags run Standard 0, Animation 1, Frame 2 (the toolbars' own: Standard 0, Frame 1,
  // Animation 2).
  const char* const toolbarNames[] = {"&Standard", "&Animation", "&Frame"};
  for (int tag = 0; tag < 3; ++tag) {
    QAction* item = menu.addAction(QString::fromLatin1(toolbarNames[tag]));
    item->setObjectName(QStringLiteral("mniViewTB%1").arg(tag));
    item->setProperty("tag", tag);
    item->setCheckable(true);
    item->setChecked(true);
    QObject::connect(item, &QAction::toggled, &window, Guarded([this, item] { ItemClicked(item); }));
    items_.append(item);
  }
}

void TMainToolbars::Fill(const ToolbarButtons& b) {
  standard_->addAction(b.New);
  standard_->addAction(b.Open);
  if (auto* button = qobject_cast<QToolButton*>(standard_->widgetForAction(b.Open))) {
    button->setMenu(b.RecentFiles);
    button->setPopupMode(QToolButton::MenuButtonPopup);
  }
  standard_->addAction(b.Save);
  standard_->addAction(b.SaveAs);
  if (auto* button = qobject_cast<QToolButton*>(standard_->widgetForAction(b.SaveAs))) {
    button->setObjectName(QStringLiteral("ToolButton2"));
    button->setMenu(b.SaveAsFormats);
    button->setPopupMode(QToolButton::MenuButtonPopup);
  }
  standard_->addAction(b.SaveAll);
  standard_->addSeparator();
  standard_->addAction(b.Undo);
  standard_->addSeparator();
  standard_->addAction(b.ImageBrowser);
  animation_->addAction(b.Cascade);
  animation_->hide();
  frame_->hide();
  items_[1]->setChecked(false);
  items_[2]->setChecked(false);
}

QToolBar* TMainToolbars::Toolbar(int tag) const {
  switch (tag) {
    case 0: return standard_;
    case 1: return frame_;
    case 2: return animation_;
  }
  return nullptr;
}

QPoint TMainToolbars::Place(int tag) const {
  // Measured from the top left of the toolbar rows, below the menu bar.
  const QWidget* menu = window_.menuWidget();
  const int rowsTop = menu && menu->isVisible() ? menu->geometry().bottom() + 1 : 0;
  const QToolBar* t = Toolbar(tag);
  return t ? QPoint(t->x(), t->y() - rowsTop) : QPoint();
}

void TMainToolbars::Arrange(const std::array<ToolbarPlacement, 3>& places) {
  // Toolbars whose tops lie within half a row of each other share a row; the rows go down by
  // their tops, the toolbars of a row right by their lefts. Equal places keep the present order.
  constexpr int kHalfRow = 13;
  std::vector<QToolBar*> order;
  for (QToolBar* t : window_.findChildren<QToolBar*>(Qt::FindDirectChildrenOnly))
    if (window_.toolBarArea(t) == Qt::TopToolBarArea) order.push_back(t);
  std::stable_sort(order.begin(), order.end(), [](QToolBar* a, QToolBar* b) {
    const QPoint pa = a->pos(), pb = b->pos();
    return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
  });
  auto placeOf = [&](QToolBar* t) {
    for (int tag = 0; tag < 3; ++tag)
      if (Toolbar(tag) == t) return places[static_cast<std::size_t>(tag)];
    return ToolbarPlacement{};
  };
  std::stable_sort(order.begin(), order.end(), [&](QToolBar* a, QToolBar* b) {
    const ToolbarPlacement pa = placeOf(a), pb = placeOf(b);
    if (std::abs(pa.Top - pb.Top) > kHalfRow) return pa.Top < pb.Top;
    return pa.Left < pb.Left;
  });
  int rowTop = 0;
  for (std::size_t i = 0; i < order.size(); ++i) {
    QToolBar* t = order[i];
    const bool hidden = t->isHidden();
    const int top = placeOf(t).Top;
    window_.removeToolBar(t);
    if (i > 0 && std::abs(top - rowTop) > kHalfRow) window_.addToolBarBreak(Qt::TopToolBarArea);
    if (i == 0 || std::abs(top - rowTop) > kHalfRow) rowTop = top;
    window_.addToolBar(Qt::TopToolBarArea, t);
    t->setHidden(hidden);
  }
}

void TMainToolbars::ApplyStyle(bool flat) {
  for (int tag = 0; tag < 3; ++tag)
    Toolbar(tag)->setStyleSheet(flat ? QString() : QStringLiteral("QToolButton { border: 1px outset gray; }"));
}

QToolBar* TMainToolbars::OfItem(const QAction* item) const {
  // The items' tags run Standard 0, Animation 1, Frame 2.
  static constexpr int kToolbarOfItem[] = {0, 2, 1};
  const int tag = item ? item->property("tag").toInt() : -1;
  return tag >= 0 && tag <= 2 ? Toolbar(kToolbarOfItem[tag]) : nullptr;
}

void TMainToolbars::ItemClicked(QAction* item) {
  // The item has toggled its check (or been set from the settings); its tag names the toolbar.
  if (QToolBar* toolbar = OfItem(item)) toolbar->setVisible(item->isChecked());
}

}  // namespace movinta::editor
