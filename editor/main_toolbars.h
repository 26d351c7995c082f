// The main window's three toolbars (Standard, Frame, Animation) and the View > Toolbars items that
// show and hide them: where each lies among the toolbar rows, the rows rebuilt from stored places,
// and the flat or raised style of their buttons.
#pragma once

#include "editor/model/settings.h"

#include <QList>
#include <QPoint>

#include <array>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

namespace movinta::editor {

// The buttons the toolbars start with.
struct ToolbarButtons {
  QAction* New = nullptr;
  QAction* Open = nullptr;
  QMenu* RecentFiles = nullptr;  // dropped down by Open
  QAction* Save = nullptr;
  QAction* SaveAs = nullptr;
  QMenu* SaveAsFormats = nullptr;  // dropped down by Save As
  QAction* SaveAll = nullptr;
  QAction* Undo = nullptr;
  QAction* ImageBrowser = nullptr;
  QAction* Cascade = nullptr;
};

class TMainToolbars {
public:
  // Adds the toolbars to window and their items to menu.
  TMainToolbars(QMainWindow& window, QMenu& menu);

  // The toolbar with the tag: 0 Standard, 1 Frame, 2 Animation.
  QToolBar* Toolbar(int tag) const;
  // Where a toolbar lies among the toolbar rows below the menu bar, as the settings keep it.
  QPoint Place(int tag) const;
  // Puts the toolbars into rows and order by their stored places.
  void Arrange(const std::array<ToolbarPlacement, 3>& places);
  // The Standard toolbar's buttons and the Animation toolbar's; only the Standard toolbar shows.
  void Fill(const ToolbarButtons& buttons);
  // Flat buttons, or raised ones with an outset border.
  void ApplyStyle(bool flat);

  // View > Toolbars: the item's tag names its toolbar (0 Standard, 1 Animation, 2 Frame), which
  // follows the item's check.
  QList<QAction*> Items() const { return items_; }
  QToolBar* OfItem(const QAction* item) const;
  void ItemClicked(QAction* item);

private:
  QMainWindow& window_;
  QToolBar* standard_ = nullptr;
  QToolBar* animation_ = nullptr;
  QToolBar* frame_ = nullptr;
  QList<QAction*> items_;
};

}  // namespace movinta::editor
