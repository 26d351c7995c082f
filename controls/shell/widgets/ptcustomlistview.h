// TPTCustomListView: the list view the shell list is built on. One item model
// is shown in four view styles (large icons, small icons, list, report with a
// header); the base adds drawing events per item, context menus from the mouse,
// the Menu key and Shift+F10, a header that draws the sort arrow in one of four
// placements, and minimum and maximum column widths.
#pragma once

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QPoint>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "controls/shell/widgets/ptcustomdraw.h"
#include "controls/shell/widgets/ptimagelist.h"

class QAbstractItemView;
class QItemSelectionModel;
class QListView;
class QMenu;
class QStackedLayout;
class QTreeView;

namespace ptshell {

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
enum TPTLvHeaderSortDisplayMode { ptlvNone = 0, ptlvLeftAlign = 1, ptlvRightOfText = 2, ptlvRightAlign = 3 };

class TPTListItem {
 public:
  QString Caption;       // empty: asked from the owner when shown
  QStringList SubItems;  // an empty text is asked from the owner when shown
  int ImageIndex = -1;
  int OverlayIndex = -1;  // 0-based overlay image, -1 for none
  bool Cut = false;
  void* Data = nullptr;   // the owner's, freed by the owner when the item goes
  int Index = -1;         // position in the list
};

struct TPTListColumn {
  QString Caption;
  int Width = 50;
  Qt::Alignment Alignment = Qt::AlignLeft;
  int MinWidth = 0;
  int MaxWidth = 0;  // 0: no limit
};

// The width a column keeps at the end of a resize by the user.
int ClampColumnWidth(int width, int minWidth, int maxWidth);

// Where a header item's text and sort arrow go. `rect` is the item's rectangle.
struct TPTHeaderSortLayout {
  QRect TextRect;
  QRect ArrowBox;
  bool DrawArrow = false;
};
TPTHeaderSortLayout HeaderSortLayout(TPTLvHeaderSortDisplayMode mode, const QRect& rect, Qt::Alignment alignment,
                                     bool isSortColumn, int textWidth);

class TPTCustomListView;

class TPTListItemModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit TPTListItemModel(TPTCustomListView* owner);
  ~TPTListItemModel() override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  QStringList mimeTypes() const override;
  Qt::DropActions supportedDropActions() const override;

  std::vector<TPTListItem*> Items;  // owned
  std::vector<TPTListColumn> Columns;

 private:
  friend class TPTCustomListView;
  TPTCustomListView* Owner;
};

class TPTSortHeader : public QHeaderView {
  Q_OBJECT
 public:
  explicit TPTSortHeader(TPTCustomListView* owner);

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  TPTCustomListView* Owner;
  int Tracked = -1;
};

class TPTCustomListView : public QWidget {
  Q_OBJECT
 public:
  explicit TPTCustomListView(QWidget* parent = nullptr);
  ~TPTCustomListView() override;

  // --- items ---
  int ItemCount() const { return static_cast<int>(Model->Items.size()); }
  TPTListItem* Item(int index) const;
  TPTListItem* AddItem();
  // Appends many items at once (the caller fills them before).
  void AddItems(std::vector<std::unique_ptr<TPTListItem>> items);
  void DeleteItem(TPTListItem* item);
  void DeleteItems(const std::vector<TPTListItem*>& items);
  void ClearItems();
  // Re-orders the items; selection and focus stay with their items.
  void SortItems(const std::function<bool(const TPTListItem*, const TPTListItem*)>& less);
  void UpdateItem(TPTListItem* item);
  void BeginUpdate();
  void EndUpdate();
  // The preferred growth of the item storage.
  void SetAllocBy(int count);
  int AllocBy() const { return AllocByValue; }

  // --- columns ---
  void SetColumns(const std::vector<TPTListColumn>& columns);
  int ColumnCount() const { return static_cast<int>(Model->Columns.size()); }
  const TPTListColumn& Column(int index) const { return Model->Columns.at(static_cast<size_t>(index)); }
  int ColumnWidth(int index) const;
  void SetColumnWidth(int index, int width);
  void SetColumnLimits(int index, int minWidth, int maxWidth);

  // --- selection and focus ---
  bool IsSelected(const TPTListItem* item) const;
  void SetSelected(TPTListItem* item, bool selected);
  TPTListItem* Selected() const;  // the first selected item
  std::vector<TPTListItem*> SelectedItems() const;
  int SelCount() const;
  TPTListItem* ItemFocused() const;
  void SetItemFocused(TPTListItem* item);
  void SelectAllItems();
  void ClearSelection();
  TPTListItem* ItemAt(const QPoint& clientPoint) const;
  // The icon rectangle of an item in client co-ordinates.
  QRect ItemIconRect(const TPTListItem* item) const;
  void MakeVisible(const TPTListItem* item);

  // --- editing ---
  void EditCaption(TPTListItem* item);
  bool IsEditing() const;
  bool ReadOnly = false;

  // --- views ---
  TViewStyle ViewStyle() const { return ViewStyleValue; }
  virtual void SetViewStyle(TViewStyle style);
  QAbstractItemView* ActiveView() const;
  QListView* IconView() const { return ListViewWidget; }
  QTreeView* ReportView() const { return ReportViewWidget; }
  TPTListItemModel* ItemModel() const { return Model; }
  QItemSelectionModel* Selection() const { return SelectionModel; }
  TPTSortHeader* HeaderHandle() const { return Header; }
  bool Focused() const;
  void SetFocusToList();

  const TPTImageList* SmallImages = nullptr;
  const TPTImageList* LargeImages = nullptr;

  // --- header sort ---
  int SortColumn() const { return SortColumnValue; }
  void SetSortColumn(int column);
  uint8_t SortDirection() const { return SortDirectionValue; }
  void SetSortDirection(uint8_t direction);
  TPTLvHeaderSortDisplayMode HeaderSortDisplayMode() const { return HeaderSortDisplayModeValue; }
  void SetHeaderSortDisplayMode(TPTLvHeaderSortDisplayMode mode);
  bool DrawHeaderSort = true;
  void UpdateHeaderFormats();

  // --- context menus ---
  QMenu* PopupMenu = nullptr;  // not owned
  bool MenuShown = false;
  bool DragStarted = false;
  void ShowContextMenuAt(const QPoint& clientPoint);
  virtual void ShowContextMenu(const QPoint& clientPoint);
  virtual void DoItemContextMenu(TPTListItem* item, const QPoint& point, QMenu*& menu);
  static std::function<void(QWidget* owner, QMenu* menu, const QPoint& globalPoint)>& MenuPopper;

  // --- drawing ---
  virtual TPTLvCustomDraw* CreateCustomDraw(TPTCustomDrawInfo* notification, uint32_t* result);
  virtual TPTLvCustomDraw* CustomDrawNotify(TPTCustomDrawInfo* notification, uint32_t& result, TPTListItem* item);
  virtual bool HasCustomDrawEvents() const { return OnCustomDrawLv || OnCustomDrawLvEx; }
  uint32_t NotifyItemPaint(TPTCustomDrawInfo& info, TPTListItem* item);
  TPTLvCustomDraw* CustomDrawObject() const { return CustomDraw.get(); }

  // --- what the owner answers for the views ---
  virtual QString ItemCaption(TPTListItem* item);
  virtual QString ItemSubText(TPTListItem* item, int column);
  virtual int ItemImage(TPTListItem* item);
  virtual bool CanEditCaption(TPTListItem* item) { return !ReadOnly; }
  // The edit of a caption ended with `text`; true keeps the new caption.
  virtual bool CaptionEdited(TPTListItem* item, QString& text);
  // A caption editor closed, committed or not.
  virtual void EditEnded() {}
  // Before an item object is freed.
  virtual void ItemDeleting(TPTListItem* item);
  virtual void ColumnClick(int column);
  // The inner views' input, first offered to the list.
  virtual bool ViewKeyPress(QKeyEvent* e);
  virtual void ViewDoubleClick(TPTListItem* item);
  virtual void ViewStartDrag(Qt::MouseButton button);
  virtual bool ViewDragEnter(QDragEnterEvent* e);
  virtual bool ViewDragMove(QDragMoveEvent* e);
  virtual void ViewDragLeave(QDragLeaveEvent* e);
  virtual bool ViewDrop(QDropEvent* e);
  virtual bool ViewWheel(QWheelEvent* e);
  void ViewContextMenu(QContextMenuEvent* e);
  void ViewMouseRelease(QMouseEvent* e);
  void ViewFocusIn();

  std::function<void(TPTCustomListView* sender, TPTListItem* item)> OnGetImageIndex;
  std::function<void(TPTCustomListView* sender, TPTListItem* item, const QPoint& point, QMenu*& menu)>
      OnItemContextMenu;
  std::function<void(TPTCustomListView* sender, TPTLvCustomDraw* draw, TPTListItem* item)> OnCustomDrawLv;
  std::function<void(TPTCustomListView* sender, TPTLvCustomDraw* draw, TPTListItem* item)> OnCustomDrawLvEx;
  std::function<void(TPTCustomListView* sender, TPTListItem* item, QString& text)> OnEdited;
  std::function<void(TPTCustomListView* sender, TPTListItem* item)> OnDeletion;

 signals:
  void SelectionChanged();
  void FocusEntered();

 protected:
  QModelIndex IndexOf(const TPTListItem* item, int column = 0) const;
  void Reindex(size_t from = 0);

 private:
  friend class TPTSortHeader;
  void ApplyViewStyle();
  TPTListItemModel* Model;
  QItemSelectionModel* SelectionModel;
  QStackedLayout* Stack;
  QListView* ListViewWidget;
  QTreeView* ReportViewWidget;
  TPTSortHeader* Header;
  TViewStyle ViewStyleValue = vsIcon;
  int SortColumnValue = -1;
  uint8_t SortDirectionValue = 0;
  TPTLvHeaderSortDisplayMode HeaderSortDisplayModeValue = ptlvRightOfText;
  int HeaderUpdateLock = 0;
  int AllocByValue = 256;
  int UpdateCount = 0;
  std::unique_ptr<TPTLvCustomDraw> CustomDraw;
};

}  // namespace ptshell
