// TPTCustomTreeView: the tree view the shell tree is built on. It adds drawing
// events that may change a node's font and colours (TPTTvCustomDraw), nodes
// whose images are asked for only when they are first drawn, and context menus
// per node, from the mouse, the Menu key and Shift+F10.
#pragma once

#include <QPoint>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "controls/shell/widgets/ptcustomdraw.h"
#include "controls/shell/widgets/ptimagelist.h"

class QMenu;

namespace ptshell {

class TPTCustomTreeView;

class TPTTreeNode : public QTreeWidgetItem {
 public:
  TPTTreeNode() : QTreeWidgetItem(UserType) {}
  QString Text() const { return text(0); }
  void SetText(const QString& t) { setText(0, t); }
  TPTTreeNode* Parent() const { return static_cast<TPTTreeNode*>(parent()); }
  TPTTreeNode* Child(int i) const { return static_cast<TPTTreeNode*>(child(i)); }
  int Count() const { return childCount(); }
  // The expand button, shown before the children are known.
  bool HasChildren() const { return childIndicatorPolicy() == ShowIndicator || childCount() > 0; }
  void SetHasChildren(bool value) {
    setChildIndicatorPolicy(value ? ShowIndicator : DontShowIndicatorWhenChildless);
  }
  bool Expanded() const { return isExpanded(); }
  void SetExpanded(bool value) { setExpanded(value); }
  TPTCustomTreeView* TreeView() const;
  bool IsSelected() const { return isSelected(); }

  int ImageIndex = 0;
  int SelectedIndex = 0;
  int OverlayIndex = -1;  // 0-based overlay image, -1 for none
  bool Cut = false;       // drawn dimmed
  void* Data = nullptr;   // the owner's, freed by the owner
};

class TPTCustomTreeView : public QTreeWidget {
  Q_OBJECT
 public:
  explicit TPTCustomTreeView(QWidget* parent = nullptr);
  ~TPTCustomTreeView() override;

  TPTTreeNode* NodeFromItem(QTreeWidgetItem* item) const { return static_cast<TPTTreeNode*>(item); }
  TPTTreeNode* Selected() const;
  void SetSelected(TPTTreeNode* node);
  TPTTreeNode* TopNode() const { return NodeFromItem(topLevelItem(0)); }
  int NodeCount() const { return topLevelItemCount(); }
  TPTTreeNode* NodeAt(const QPoint& clientPoint) const { return NodeFromItem(itemAt(clientPoint)); }
  // The text area of a node in client (viewport) co-ordinates.
  QRect NodeTextRect(TPTTreeNode* node) const;
  // Scrolls the node and its name into view (scrollToItem would pass by the sideways part).
  void MakeVisible(TPTTreeNode* node);
  void BeginUpdate();
  void EndUpdate();
  bool IsEditing() const { return state() == EditingState; }
  // Starts editing a node's label (when CanEdit allows it).
  void EditText(TPTTreeNode* node);
  bool ReadOnly = false;
  virtual bool CanEdit(TPTTreeNode* node) { return !ReadOnly; }
  // A label edit ended with `text`; true keeps the (possibly changed) text.
  virtual bool NodeEdited(TPTTreeNode* node, QString& text) { return true; }

  const TPTImageList* Images = nullptr;
  QMenu* PopupMenu = nullptr;  // not owned
  bool MenuShown = false;
  TPTTreeNode* DropHilited = nullptr;  // drawn as selected while a drag is over it

  // The node's images, asked when it is drawn; the defaults fire the events.
  virtual int GetImageIndex(TPTTreeNode* node);
  virtual int GetSelectedIndex(TPTTreeNode* node);

  virtual TPTTvCustomDraw* CreateCustomDraw(TPTCustomDrawInfo* notification, uint32_t* result);
  // Answers one paint notification; the shell tree replaces it.
  virtual TPTTvCustomDraw* CustomDrawNotify(TPTCustomDrawInfo* notification, uint32_t& result, TPTTreeNode* node);
  void ShowContextMenuAtSelection();
  void ShowContextMenu(TPTTreeNode* node, const QPoint& clientPoint);
  virtual void DoNodeContextMenu(TPTTreeNode* node, const QPoint& clientPoint, QMenu*& menu);

  // Shows a menu at a screen point. Tests and callers without a desktop replace it.
  static std::function<void(QWidget* owner, QMenu* menu, const QPoint& globalPoint)>& MenuPopper;

  std::function<void(TPTCustomTreeView* sender, TPTTreeNode* node)> OnGetImageIndex;
  std::function<void(TPTCustomTreeView* sender, TPTTreeNode* node)> OnGetSelectedIndex;
  std::function<void(TPTCustomTreeView* sender, TPTTreeNode* node, const QPoint& point, QMenu*& menu)>
      OnNodeContextMenu;
  std::function<void(TPTCustomTreeView* sender, TPTTvCustomDraw* draw, TPTTreeNode* node)> OnCustomDrawTv;
  std::function<void(TPTCustomTreeView* sender, TPTTvCustomDraw* draw, TPTTreeNode* node)> OnCustomDrawTvEx;

  // The wrapper of the notification being handled.
  TPTTvCustomDraw* CustomDrawObject() const { return CustomDraw.get(); }
  // Runs one item's paint notification (the item delegate calls it).
  uint32_t NotifyItemPaint(TPTCustomDrawInfo& info, TPTTreeNode* node);
  virtual bool HasCustomDrawEvents() const { return OnCustomDrawTv || OnCustomDrawTvEx; }

 protected:
  // The one column is as wide as the widest node shown with its indentation, and never narrower than
  // the view; making a node visible also scrolls sideways to its name.
  int sizeHintForColumn(int column) const override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  void keyPressEvent(QKeyEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  // Menu key or Shift+F10.
  static bool IsContextMenuKey(const QKeyEvent* e);

 private:
  void NotifyControlPaint(int stage, QPainter* painter);
  std::unique_ptr<TPTTvCustomDraw> CustomDraw;
  int UpdateCount = 0;
};

}  // namespace ptshell
